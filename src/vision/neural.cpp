#include "vision/neural.h"

#include "vision/tfjsmodels.h"
#include "vision/tfjsnet.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cmath>

namespace mendral::neural {

namespace {

// Scene prints: centernet's backbone at 256 × 256 (25 ms; larger inputs cost more and did not
// separate scenes better).
constexpr int sceneInputSize = 256;
// People: peaks of centernet's person heatmap at 512 × 512, its native size.
constexpr int peopleInputSize = 512;
constexpr float personThreshold = 0.30f;
// Face prints, placed on the grouping's distance scale (see faceDistanceScale below).
constexpr float faceDistanceScale = 0.95f;

struct Models {
    std::shared_ptr<tfjs::NetPool> scene, people, face;
};

std::shared_ptr<tfjs::NetPool> pool(std::optional<tfjs::GraphSpec> spec)
{
    return spec ? tfjs::NetPool::create(spec->graph, spec->outputs) : nullptr;
}

Models &models()
{
    static Models m = [] {
        const QString dir = modelDirectory();
        Models loaded;
        loaded.scene = pool(tfjs::sceneGraph(dir, sceneInputSize));
        loaded.people = pool(tfjs::peopleGraph(dir, peopleInputSize));
        loaded.face = pool(tfjs::faceGraph(dir));
        return loaded;
    }();
    return m;
}

bool holdsModels(const QString &dir)
{
    return QFileInfo::exists(QDir(dir).filePath(tfjs::centernetFile))
        || QFileInfo::exists(QDir(dir).filePath(tfjs::faceNetManifestFile));
}

QString executableDirectory()
{
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalPath();
}

} // namespace

QString modelDirectory()
{
    const QString fromEnvironment = qEnvironmentVariable("MENDRAL_MODELS");
    if (!fromEnvironment.isEmpty())
        return fromEnvironment;
    const QString beside = QDir(executableDirectory()).filePath(QStringLiteral("models"));
    if (holdsModels(beside))
        return beside;
    QString data = qEnvironmentVariable("XDG_DATA_HOME");
    if (data.isEmpty())
        data = QDir::homePath() + QStringLiteral("/.local/share");
    return data + QStringLiteral("/Mendral/models");
}

bool modelsAvailable()
{
    const Models &m = models();
    return m.scene && m.people && m.face;
}

std::optional<std::vector<float>> scenePrint(const QImage &image)
{
    const auto &net = models().scene;
    if (!net || image.isNull())
        return std::nullopt;
    const auto out = net->run(tfjs::centernetBlob(image, sceneInputSize));
    if (!out || out->empty())
        return std::nullopt;
    const cv::Mat &m = out->front();
    return normalised(std::vector<float>(m.ptr<float>(), m.ptr<float>() + m.total()));
}

std::optional<int> countPeople(const QImage &image)
{
    const auto &net = models().people;
    if (!net || image.isNull())
        return std::nullopt;
    const auto out = net->run(tfjs::centernetBlob(image, peopleInputSize));
    if (!out || out->empty() || out->front().dims != 4)
        return std::nullopt;
    // NCHW: class 0 (person) is the first plane. A person is a local maximum of its 3 × 3
    // neighbourhood above the threshold, as centernet decodes its own detections.
    const cv::Mat &heat = out->front();
    const int h = heat.size[2], w = heat.size[3];
    const float *p = heat.ptr<float>();
    int count = 0;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const float v = p[y * w + x];
            if (!(v >= personThreshold))
                continue;
            bool peak = true;
            for (int dy = -1; dy <= 1 && peak; ++dy)
                for (int dx = -1; dx <= 1; ++dx) {
                    const int yy = y + dy, xx = x + dx;
                    if ((dy || dx) && yy >= 0 && yy < h && xx >= 0 && xx < w) {
                        const float n = p[yy * w + xx];
                        // Ties go to the first in reading order, so a flat top counts once.
                        if (n > v || (n == v && (dy < 0 || (dy == 0 && dx < 0)))) {
                            peak = false;
                            break;
                        }
                    }
                }
            count += peak;
        }
    }
    return count;
}

std::optional<std::vector<float>> facePrint(const QImage &faceCrop)
{
    const auto &net = models().face;
    if (!net || faceCrop.isNull())
        return std::nullopt;
    const auto chip = alignedFaceChip(faceCrop);
    if (!chip)
        return std::nullopt;
    const auto out = net->run(tfjs::faceNetBlob(*chip));
    if (!out || out->empty())
        return std::nullopt;
    const cv::Mat &m = out->front();
    const auto unit = normalised(std::vector<float>(m.ptr<float>(), m.ptr<float>() + m.total()));
    if (!unit)
        return std::nullopt;
    return scaleDistances(*unit, faceDistanceScale);
}

} // namespace mendral::neural

// Per-call times of each neural net, and how far apart the prints of the same and of different
// scenes and faces lie. Photos: the arguments, or the system's wallpapers and the sample photos
// next to the models (faces are taken from files in a "samples" folder). Times are printed with
// their ratio to a baseline measured in the same run (scaling a 2400-pixel image to 256
// pixels). With MENDRAL_BENCH_FACES set to a folder, the face crops are saved there to look at.

#include "vision/facedetector.h"
#include "vision/neural.h"
#include "vision/tfjsmodels.h"
#include "vision/tfjsnet.h"

#include <opencv2/dnn.hpp>
#include <opencv2/imgproc.hpp>

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QTransform>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <vector>

using namespace mendral;

namespace {

double medianMs(int runs, const std::function<void()> &work)
{
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        work();
        ms.push_back(t.nsecsElapsed() / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

float distance(const std::vector<float> &a, const std::vector<float> &b)
{
    double dot = 0;
    for (size_t i = 0; i < std::min(a.size(), b.size()); ++i)
        dot += double(a[i]) * b[i];
    return float(std::sqrt(std::max(0.0, 2 - 2 * dot)));
}

QImage exposed(const QImage &image, double factor)
{
    QImage out = image.convertToFormat(QImage::Format_RGB888);
    for (int y = 0; y < out.height(); ++y) {
        uchar *line = out.scanLine(y);
        for (int x = 0; x < out.width() * 3; ++x)
            line[x] = uchar(std::clamp(std::lround(line[x] * factor), 0L, 255L));
    }
    return out;
}

// Shifted, cropped, zoomed, re-exposed and mirrored copies.
std::vector<QImage> variants(const QImage &image)
{
    const int w = image.width(), h = image.height();
    return {image.copy(w / 20, h / 20, w * 9 / 10, h * 9 / 10),
            image.copy(0, 0, w * 9 / 10, h * 9 / 10),
            image.copy(w / 8, h / 8, w * 3 / 4, h * 3 / 4),
            exposed(image, 1.35),
            exposed(image, 0.7),
            image.mirrored(true, false)};
}

struct Stats {
    std::vector<float> same, different;
    void print(const char *what) const
    {
        auto show = [](const char *label, std::vector<float> v) {
            if (v.empty())
                return std::printf("  %-9s none\n", label), void();
            std::sort(v.begin(), v.end());
            std::printf("  %-9s n=%-5zu min %.3f  p10 %.3f  median %.3f  p90 %.3f  max %.3f\n", label,
                        v.size(), v.front(), v[v.size() / 10], v[v.size() / 2],
                        v[v.size() * 9 / 10], v.back());
        };
        std::printf("%s distances\n", what);
        show("same", same);
        show("different", different);
    }
};

QStringList defaultPhotos()
{
    QStringList files;
    for (const QString &dir : {QStringLiteral("/usr/share/backgrounds/mate/nature"),
                               QStringLiteral("/usr/lib/python3/dist-packages/skimage/data"),
                               neural::modelDirectory() + "/samples"})
        for (const QString &f : QDir(dir).entryList({"*.jpg", "*.jpeg", "*.png"}, QDir::Files))
            files << dir + "/" + f;
    // Plasma's wallpapers come in many sizes of one picture: take the largest of each.
    const QDir plasma(QStringLiteral("/usr/share/wallpapers"));
    for (const QString &name : plasma.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QDir images(plasma.filePath(name + "/contents/images"));
        const QStringList sizes = images.entryList({"*.jpg", "*.png"}, QDir::Files, QDir::Size);
        if (!sizes.isEmpty())
            files << images.filePath(sizes.first());
    }
    return files;
}

QImage faceCrop(const QImage &image, const QRectF &box, double factor, double shift)
{
    const double side = factor * std::max(box.width(), box.height());
    const QPointF c = box.center() + QPointF(shift * side, shift * side);
    return image.copy(QRectF(c.x() - side / 2, c.y() - side / 2, side, side).toAlignedRect());
}

// A face crop as it reaches the program, and altered copies of it.
std::vector<QImage> faceVariants(const QImage &image, const QRectF &box)
{
    const QImage plain = faceCrop(image, box, 1.18, 0);
    return {faceCrop(image, box, 1.18, 0.06), faceCrop(image, box, 1.18, -0.06),
            faceCrop(image, box, 1.35, 0), faceCrop(image, box, 1.05, 0),
            exposed(plain, 1.3), exposed(plain, 0.75), plain.mirrored(true, false)};
}

// A descriptor of a face crop; the comparison runs several.
struct FacePrinter {
    const char *name;
    std::function<std::optional<std::vector<float>>(const QImage &)> print;
};

std::optional<std::vector<float>> runNet(const std::shared_ptr<tfjs::NetPool> &net,
                                         const cv::Mat &blob)
{
    if (!net || blob.empty())
        return std::nullopt;
    QString error;
    const auto out = net->run(blob, &error);
    if (!out) {
        static bool told = false;
        if (!told)
            std::printf("run failed: %s\n", qPrintable(error));
        told = true;
        return std::nullopt;
    }
    const cv::Mat &m = out->front();
    return neural::normalised(std::vector<float>(m.ptr<float>(), m.ptr<float>() + m.total()));
}

cv::Mat rgbBlob(const QImage &image, int side)
{
    const QImage rgb = image.scaled(side, side, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                           .convertToFormat(QImage::Format_RGB888);
    const cv::Mat mat(rgb.height(), rgb.width(), CV_8UC3, const_cast<uchar *>(rgb.constBits()),
                      size_t(rgb.bytesPerLine()));
    return cv::dnn::blobFromImage(mat, 1.0, cv::Size(), cv::Scalar(), false, false, CV_32F);
}

void compareFaces(const std::vector<QImage> &photos)
{
    const QString dir = neural::modelDirectory();
    std::shared_ptr<tfjs::NetPool> faceNet, faceres;
    if (auto graphDef = tfjs::faceGraph(dir))
        faceNet = tfjs::NetPool::create(graphDef->graph, graphDef->outputs);
    QString error;
    if (auto graphDef = tfjs::faceresGraph(dir, &error))
        faceres = tfjs::NetPool::create(graphDef->graph, graphDef->outputs, &error);
    if (!faceres)
        std::printf("faceres not loaded: %s\n", qPrintable(error));
    const std::vector<FacePrinter> printers = {
        {"face-api net, aligned chip",
         [&](const QImage &crop) -> std::optional<std::vector<float>> {
             const auto chip = neural::alignedFaceChip(crop);
             return chip ? runNet(faceNet, tfjs::faceNetBlob(*chip)) : std::nullopt;
         }},
        {"face-api net, plain crop",
         [&](const QImage &crop) { return runNet(faceNet, tfjs::faceNetBlob(crop)); }},
        {"faceres, aligned chip",
         [&](const QImage &crop) -> std::optional<std::vector<float>> {
             const auto chip = neural::alignedFaceChip(crop);
             return chip ? runNet(faceres, rgbBlob(*chip, 224)) : std::nullopt;
         }},
        {"faceres, plain crop", [&](const QImage &crop) { return runNet(faceres, rgbBlob(crop, 224)); }},
    };

    struct Face {
        QImage crop;
        std::vector<QImage> variants;
    };
    std::vector<Face> faces;
    for (const QImage &photo : photos)
        for (const DetectedFace &f : detectFaces(photo))
            faces.push_back({faceCrop(photo, f.box, 1.18, 0), faceVariants(photo, f.box)});
    std::printf("%zu faces\n", faces.size());
    if (!faces.empty()) {
        const QImage &crop = faces.front().crop;
        const auto chip = neural::alignedFaceChip(crop);
        const double align = medianMs(9, [&] { (void)neural::alignedFaceChip(crop); });
        std::printf("landmarks + aligned chip: %.1f ms\n", align);
        if (chip) {
            const double net = medianMs(9, [&] { (void)runNet(faceNet, tfjs::faceNetBlob(*chip)); });
            const double res = medianMs(9, [&] { (void)runNet(faceres, rgbBlob(*chip, 224)); });
            std::printf("face-api recognition net: %.1f ms a face\nfaceres: %.1f ms a face\n", net,
                        res);
        }
    }
    if (qEnvironmentVariableIsSet("MENDRAL_BENCH_FACES"))
        for (size_t i = 0; i < faces.size(); ++i)
            faces[i].crop.save(qEnvironmentVariable("MENDRAL_BENCH_FACES") + QString("/face%1.png").arg(i));
    for (const FacePrinter &printer : printers) {
        Stats stats;
        std::vector<std::optional<std::vector<float>>> prints;
        std::vector<double> ms;
        for (const Face &face : faces) {
            QElapsedTimer t;
            t.start();
            prints.push_back(printer.print(face.crop));
            ms.push_back(t.nsecsElapsed() / 1e6);
            for (const QImage &v : face.variants) {
                const auto other = printer.print(v);
                if (prints.back() && other)
                    stats.same.push_back(distance(*prints.back(), *other));
            }
        }
        std::vector<std::pair<float, std::pair<size_t, size_t>>> closest;
        for (size_t i = 0; i < prints.size(); ++i)
            for (size_t j = i + 1; j < prints.size(); ++j)
                if (prints[i] && prints[j]) {
                    stats.different.push_back(distance(*prints[i], *prints[j]));
                    closest.push_back({stats.different.back(), {i, j}});
                }
        std::sort(closest.begin(), closest.end());
        std::printf("closest pairs of different faces (face numbers):");
        for (size_t i = 0; i < std::min<size_t>(4, closest.size()); ++i)
            std::printf(" %zu-%zu %.3f", closest[i].second.first, closest[i].second.second,
                        closest[i].first);
        std::printf("\n");
        std::sort(ms.begin(), ms.end());
        std::printf("%s: %.1f ms a face (median, landmarks included when aligned)\n", printer.name,
                    ms.empty() ? 0.0 : ms[ms.size() / 2]);
        stats.print(printer.name);
        // Share of pairs on the right side of the grouping's face gates (same person below
        // 0.20, different people from 0.38) when every distance is multiplied by k.
        for (float k : {0.8f, 0.85f, 0.9f, 0.95f, 1.0f, 1.05f, 1.1f}) {
            const auto below = [&](const std::vector<float> &v, float limit) {
                return v.empty() ? 0.0
                                 : 100.0 * double(std::count_if(v.begin(), v.end(), [&](float d) {
                                       return d * k < limit;
                                   })) / double(v.size());
            };
            std::printf("  k=%.2f: same below 0.20: %5.1f %%   different from 0.38: %5.1f %%\n",
                        k, below(stats.same, 0.20f), 100.0 - below(stats.different, 0.38f));
        }
    }
}

} // namespace

int main(int argc, char **argv)
{
    QStringList files;
    for (int i = 1; i < argc; ++i)
        files << QString::fromLocal8Bit(argv[i]);
    if (files.isEmpty())
        files = defaultPhotos();
    std::printf("models: %s (%s)\n", qPrintable(neural::modelDirectory()),
                neural::modelsAvailable() ? "all loaded" : "incomplete");

    std::vector<QImage> photos;
    std::vector<QString> labels;
    for (const QString &f : files) {
        QImage image(f);
        if (image.isNull())
            continue;
        const QStringList parts = f.split('/');
        const int contents = int(parts.indexOf("contents"));
        labels.push_back(contents > 0 ? parts[contents - 1] : QFileInfo(f).baseName());
        photos.push_back(image.scaled(900, 900, Qt::KeepAspectRatio, Qt::SmoothTransformation)
                             .convertToFormat(QImage::Format_RGB888));
    }
    std::printf("%zu photos\n", photos.size());
    if (photos.empty())
        return 1;

    const QImage big = photos[0].scaled(2400, 1600);
    const double baseline = medianMs(9, [&] { (void)big.scaled(256, 256, Qt::IgnoreAspectRatio,
                                                                 Qt::SmoothTransformation); });
    const double sceneMs = medianMs(9, [&] { (void)neural::scenePrint(photos[0]); });
    const double peopleMs = medianMs(5, [&] { (void)neural::countPeople(photos[0]); });
    std::printf("baseline (scale 2400 px to 256): %.2f ms\n", baseline);
    std::printf("scene print: %.1f ms (%.1f x baseline)\n", sceneMs, sceneMs / baseline);
    std::printf("people count: %.1f ms (%.1f x baseline)\n", peopleMs, peopleMs / baseline);

    // Scenes: each photo against its own altered copies, and against every other photo.
    Stats scenes;
    std::vector<std::vector<float>> prints;
    for (const QImage &p : photos) {
        const auto print = neural::scenePrint(p.copy(
            (p.width() - std::min(p.width(), p.height())) / 2,
            (p.height() - std::min(p.width(), p.height())) / 2, std::min(p.width(), p.height()),
            std::min(p.width(), p.height())));
        prints.push_back(print.value_or(std::vector<float>{}));
        for (const QImage &v : variants(p)) {
            const int s = std::min(v.width(), v.height());
            const auto other =
                neural::scenePrint(v.copy((v.width() - s) / 2, (v.height() - s) / 2, s, s));
            if (print && other)
                scenes.same.push_back(distance(*print, *other));
        }
    }
    for (size_t i = 0; i < prints.size(); ++i)
        for (size_t j = i + 1; j < prints.size(); ++j)
            if (!prints[i].empty() && !prints[j].empty())
                scenes.different.push_back(distance(prints[i], prints[j]));
    scenes.print("scene print");

    std::printf("people per photo:");
    for (size_t i = 0; i < photos.size(); ++i)
        std::printf(" %s=%d", qPrintable(labels[i]),
                    neural::countPeople(photos[i]).value_or(-1));
    std::printf("\n");

    std::vector<QImage> portraits;
    for (const QString &f : files)
        if (f.contains("/samples/"))
            portraits.push_back(QImage(f).convertToFormat(QImage::Format_RGB888));
    compareFaces(portraits);
    return 0;
}

// Face prints on a benchmark card (bench/quality/card.sh): every frame of its scenes of people
// is analysed as the analysis does it (the 2400-pixel rendition, faces of more than 0.12 % of
// the frame, the largest six, a crop 1.18 times the face's longest normalised side) and the
// prints are compared: frames of one scene (the same people; the grouping's farthest face,
// split by whether the face counts agree, and each face to its nearest), and frames of scenes
// made from different photos (different people). Usage: bench_facecard TRUTH.json. Settings:
// MENDRAL_BENCH_METHODS (comma-separated chip preparations to run, default all),
// MENDRAL_BENCH_PAD=black|edge (keep the face in the middle of a crop that reaches past the
// frame), MENDRAL_BENCH_DROP_CLIPPED (no print for such faces), MENDRAL_BENCH_BOXES (list the
// faces of every frame), MENDRAL_BENCH_CHIPS=DIR (save the chips).

#include "analysis/thumbnail.h"
#include "facebench.h"
#include "vision/facedetector.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <map>

using namespace mendral;
using namespace mendral::facebench;

namespace {

constexpr int kLongSide = 2400;

// The analysis's face crop. MENDRAL_BENCH_PAD=black or =edge keeps the face in the middle of a
// crop that reaches past the frame, filling the outside with black or the edge pixels;
// otherwise the crop is cut at the frame's edge as the analysis cuts it.
QImage cropFor(const QImage &image, const QRect &px)
{
    const QString pad = qEnvironmentVariable("MENDRAL_BENCH_PAD");
    if (pad == "black")
        return image.copy(px);
    if (pad == "edge") {
        const QRect inside = px.intersected(image.rect());
        const QImage part = image.copy(inside).convertToFormat(QImage::Format_RGB888);
        QImage out(px.size(), QImage::Format_RGB888);
        cv::Mat dst = wrap(out);
        cv::copyMakeBorder(wrap(part), dst, inside.top() - px.top(), px.bottom() - inside.bottom(),
                           inside.left() - px.left(), px.right() - inside.right(), cv::BORDER_REPLICATE);
        return out;
    }
    return image.copy(px.intersected(image.rect()));
}

// One frame of a card: its scene, source photo, blur and the chips of the faces the analysis
// keeps (the largest six above 0.12 % of the frame, cut as the analysis cuts them).
struct CardFrame {
    int scene = 0;
    QString source, file;
    double blur = 0;
    int found = 0;
    std::vector<std::optional<QImage>> chips;
    std::vector<bool> clipped; // the crop reached past the frame's edge
    std::vector<QRectF> boxes;
};

std::vector<CardFrame> loadCard(const QString &truthPath)
{
    QFile file(truthPath);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QJsonObject truth = QJsonDocument::fromJson(file.readAll()).object();
    const QString root = truth.value("root").toString();
    std::map<int, QString> peopleScenes;
    for (const QJsonValue &v : truth.value("scenes").toArray())
        if (v.toObject().value("people").toBool())
            peopleScenes[v.toObject().value("id").toInt()] =
                QFileInfo(v.toObject().value("source").toString()).fileName();
    std::vector<CardFrame> frames;
    for (const QJsonValue &v : truth.value("photos").toArray()) {
        const QJsonObject p = v.toObject();
        const int scene = p.value("scene").toInt(-1);
        if (!peopleScenes.count(scene) || p.value("badlyExposed").toBool())
            continue;
        const QImage image = Analyzer::thumbnailImage(root + "/" + p.value("file").toString(), kLongSide);
        if (image.isNull())
            continue;
        CardFrame frame{scene, peopleScenes[scene], p.value("file").toString(),
                        p.value("blurSigma").toDouble(), 0, {}, {}, {}};
        std::vector<DetectedFace> faces = detectFaces(image);
        frame.found = int(faces.size());
        const double frameArea = double(image.width()) * image.height();
        for (const DetectedFace &f : faces) {
            const QRectF inside = f.box.intersected(QRectF(image.rect()));
            if (inside.width() * inside.height() / frameArea <= 0.0012 || frame.chips.size() == 6)
                continue;
            // The analysis's square of 1.18 times the longest normalised side.
            const double s = 1.18 * std::max(inside.width() / image.width(), inside.height() / image.height());
            const double cx = inside.center().x() / image.width(), cy = inside.center().y() / image.height();
            const QRectF r((cx - s / 2) * image.width(), (cy - s / 2) * image.height(),
                           s * image.width(), s * image.height());
            const QRect px(int(std::floor(r.left())), int(std::floor(r.top())),
                           int(std::ceil(r.right())) - int(std::floor(r.left())),
                           int(std::ceil(r.bottom())) - int(std::floor(r.top())));
            if (px.width() < 48 || px.height() < 48)
                continue;
            frame.chips.push_back(neural::alignedFaceChip(cropFor(image, px)));
            if (qEnvironmentVariableIsSet("MENDRAL_BENCH_CHIPS") && frame.chips.back())
                frame.chips.back()->save(qEnvironmentVariable("MENDRAL_BENCH_CHIPS") + "/"
                                         + QFileInfo(frame.file).baseName()
                                         + QString("_%1.png").arg(frame.chips.size() - 1));
            frame.clipped.push_back(!image.rect().contains(px));
            if (frame.clipped.back() && qEnvironmentVariableIsSet("MENDRAL_BENCH_BOXES"))
                std::printf("  %s: image %dx%d box %.0f,%.0f %.0fx%.0f crop %d,%d %dx%d\n",
                            qPrintable(QFileInfo(frame.file).fileName()), image.width(), image.height(),
                            f.box.x(), f.box.y(), f.box.width(), f.box.height(), px.x(), px.y(),
                            px.width(), px.height());
            frame.boxes.push_back(QRectF(f.box.x() / image.width(), f.box.y() / image.height(),
                                         f.box.width() / image.width(), f.box.height() / image.height()));
        }
        frames.push_back(std::move(frame));
    }
    return frames;
}

void showBoxes(const std::vector<CardFrame> &frames)
{
    for (const CardFrame &f : frames) {
        std::printf("  scene %d %s blur %.1f:", f.scene, qPrintable(QFileInfo(f.file).fileName()), f.blur);
        for (size_t k = 0; k < f.boxes.size(); ++k)
            std::printf(" [%.2f,%.2f %.3f%s]", f.boxes[k].x(), f.boxes[k].y(), f.boxes[k].width(),
                        f.clipped[k] ? " clipped" : "");
        std::printf("\n");
    }
}

float farthestOf(const std::vector<std::vector<float>> &a, const std::vector<std::vector<float>> &b)
{
    float worst = 0;
    for (const auto &x : a) {
        float best = 2;
        for (const auto &y : b)
            best = std::min(best, distance(x, y));
        worst = std::max(worst, best);
    }
    return worst;
}

// The farthest face as above, but when the counts differ, the worst face of the side with more
// faces is excused (a face the other frame missed or left out of the picture).
float farthestExcusingOne(const std::vector<std::vector<float>> &a, const std::vector<std::vector<float>> &b)
{
    const auto &more = a.size() >= b.size() ? a : b;
    const auto &fewer = a.size() >= b.size() ? b : a;
    std::vector<float> nearest;
    for (const auto &x : more)
        nearest.push_back(farthestOf({x}, fewer));
    std::sort(nearest.begin(), nearest.end());
    if (more.size() != fewer.size())
        nearest.pop_back();
    return std::max(nearest.empty() ? 0.0f : nearest.back(), farthestOf(fewer, more));
}

// Frames of one scene against each other (the same people) and frames of scenes made from
// different source photos (different people, but for one woman in sample1 and sample3).
void cardReport(const std::vector<CardFrame> &frames, tfjs::NetPool &net)
{
    int found = 0, kept = 0, chips = 0;
    for (const CardFrame &f : frames) {
        found += f.found, kept += int(f.chips.size());
        chips += int(std::count_if(f.chips.begin(), f.chips.end(), [](auto &c) { return bool(c); }));
    }
    std::printf("card: %zu frames of people, %d faces found, %d kept, %d aligned\n", frames.size(),
                found, kept, chips);
    const QString only = qEnvironmentVariable("MENDRAL_BENCH_METHODS");
    for (const Method &m : chipMethods()) {
        if (!only.isEmpty() && !only.split(',').contains(QString(m.name)))
            continue;
        std::vector<std::vector<std::vector<float>>> prints(frames.size());
        std::vector<std::vector<size_t>> index(frames.size());
        // MENDRAL_BENCH_DROP_CLIPPED: faces whose crop reaches past the frame get no print.
        const bool drop = qEnvironmentVariableIsSet("MENDRAL_BENCH_DROP_CLIPPED");
        for (size_t i = 0; i < frames.size(); ++i)
            for (size_t k = 0; k < frames[i].chips.size(); ++k)
                if (drop && frames[i].clipped[k])
                    continue;
                else if (auto p = printOf(net, frames[i].chips[k], m)) {
                    prints[i].push_back(std::move(*p));
                    index[i].push_back(k);
                }
        const bool first = std::string(m.name) == "chip as cut";
        Summary sameEqual, sameUnequal, sameFaces, sameExcused;
        std::vector<float> differentExcused;
        size_t printed = 0, withoutPrints = 0;
        for (const auto &p : prints)
            printed += p.size(), withoutPrints += p.empty();
        std::vector<float> different, differentFaces;
        for (size_t i = 0; i < frames.size(); ++i)
            for (size_t j = i + 1; j < frames.size(); ++j) {
                if (prints[i].empty() || prints[j].empty())
                    continue;
                const float dmax = std::max(farthestOf(prints[i], prints[j]), farthestOf(prints[j], prints[i]));
                const float excused = farthestExcusingOne(prints[i], prints[j]);
                if (frames[i].scene == frames[j].scene) {
                    sameExcused.add(excused);
                    if (prints[i].size() == prints[j].size()) {
                        sameEqual.add(dmax);
                        for (size_t a = 0; a < prints[i].size(); ++a) {
                            sameFaces.add(farthestOf({prints[i][a]}, prints[j]));
                            const size_t k = index[i][a];
                            if (first && sameFaces.v.back() >= 0.30f)
                                std::printf("  far: %s (blur %.1f) face %zu at %.2f,%.2f side %.3f%s"
                                            " vs %s (blur %.1f): %.3f\n",
                                            qPrintable(QFileInfo(frames[i].file).fileName()), frames[i].blur, k,
                                            frames[i].boxes[k].x(), frames[i].boxes[k].y(),
                                            frames[i].boxes[k].width(),
                                            frames[i].clipped[k] ? " CLIPPED" : "",
                                            qPrintable(QFileInfo(frames[j].file).fileName()), frames[j].blur,
                                            sameFaces.v.back());
                        }
                    } else {
                        sameUnequal.add(dmax);
                    }
                } else if (frames[i].source != frames[j].source) {
                    different.push_back(dmax);
                    differentExcused.push_back(excused);
                    const bool sharedWoman = QStringList{frames[i].source, frames[j].source}.contains("sample1.jpg")
                        && QStringList{frames[i].source, frames[j].source}.contains("sample3.jpg");
                    if (!sharedWoman)
                        for (const auto &x : prints[i])
                            differentFaces.push_back(farthestOf({x}, prints[j]));
                }
            }
        std::printf("\n%s (%zu prints; %zu frames without)\n", m.name, printed, withoutPrints);
        sameEqual.show("same scene, equal counts");
        sameUnequal.show("same scene, counts differ");
        sameFaces.show("same scene, per face");
        sameExcused.show("same scene, one excused");
        for (auto *v : {&different, &differentExcused, &differentFaces}) {
            std::sort(v->begin(), v->end());
            std::printf("    %-24s n=%-5zu min %.3f  p1 %.3f  p10 %.3f  <0.38: %zd  <0.20: %zd\n",
                        v == &different ? "other people, dmax" : v == &differentExcused ? "other people, one excused" : "other people, per face", v->size(),
                        v->empty() ? 0 : v->front(), v->empty() ? 0 : (*v)[v->size() / 100],
                        v->empty() ? 0 : (*v)[v->size() / 10],
                        std::count_if(v->begin(), v->end(), [](float d) { return d < 0.38f; }),
                        std::count_if(v->begin(), v->end(), [](float d) { return d < 0.20f; }));
        }
    }
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::printf("usage: bench_facecard TRUTH.json\n");
        return 2;
    }
    const auto net = faceNet();
    if (!net) {
        std::printf("face model missing (%s)\n", qPrintable(neural::modelDirectory()));
        return 1;
    }
    const std::vector<CardFrame> frames = loadCard(QString::fromLocal8Bit(argv[1]));
    if (qEnvironmentVariableIsSet("MENDRAL_BENCH_BOXES"))
        showBoxes(frames);
    cardReport(frames, *net);
    return 0;
}

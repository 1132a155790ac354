// Time of the eye check's five landmark fits of a face: run together in one call, against dlib's
// own predictor fitting the same five boxes on the same crops (the baseline, measured in the
// same run), and against one call a box. The faces are those the detector finds in the group
// test photos (tests/vision/fetch-test-photos.sh) at the analysis size; the points of every way
// must be equal.
//
//   bench_landmarks [ROUNDS]     (default 5; the best round of each way is printed)

#include "vision/testphotos.h"

#include "../support/benchtime.h"
#include "vision/facedetector.h"
#include "vision/dlibimage.h"
#include "vision/faceshape.h"
#include "vision/facevision.h"

#include <dlib/image_processing/shape_predictor.h>
#include <dlib/serialize.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <array>
#include <cstdio>

using namespace mendral;

namespace {

struct Face {
    QImage grey;
    std::array<QRectF, 5> boxes;
};

// dlib's predictor on the crop that faceShape68 reads, enlarged as it enlarges it.
std::optional<FaceShape> dlibFit(const dlib::shape_predictor &predictor, const QImage &grey, const QRectF &box)
{
    const double scale = 240.0 / std::max(box.width(), box.height());
    const QRect area = faceShapeArea(box).intersected(grey.rect());
    const int w = std::max(1, int(std::lround(area.width() * scale)));
    const int h = std::max(1, int(std::lround(area.height() * scale)));
    const QImage crop = grey.copy(area).scaled(w, h, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const double sx = double(crop.width()) / area.width(), sy = double(crop.height()) / area.height();
    const dlib::full_object_detection d = predictor(
        toDlibGrey(crop),
        dlib::rectangle(std::lround((box.left() - area.left()) * sx), std::lround((box.top() - area.top()) * sy),
                        std::lround((box.right() - area.left()) * sx) - 1,
                        std::lround((box.bottom() - area.top()) * sy) - 1));
    FaceShape points;
    for (unsigned long i = 0; i < 68; ++i)
        points[i] = QPointF(area.left() + (d.part(i).x() + 0.5) / sx, area.top() + (d.part(i).y() + 0.5) / sy);
    return points;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 5;
    if (!faceShapeModelAvailable()) {
        std::fprintf(stderr, "bench_landmarks: the landmark model is missing\n");
        return 1;
    }
    std::vector<Face> faces;
    const QStringList names = QDir(test::testPhotoDirectory() + "/faces").entryList({"sample*.jpg"}, QDir::Files, QDir::Name);
    for (const QString &name : names) {
        const QImage photo = test::testPhoto("faces/" + name);
        const QImage grey = photo.convertToFormat(QImage::Format_Grayscale8);
        for (const DetectedFace &face : detectFaces(photo))
            faces.push_back({grey, eyeFitBoxes(face.box)});
    }
    if (faces.empty()) {
        std::fprintf(stderr, "bench_landmarks: %s\n", qPrintable(test::missingPhotosReason()));
        return 1;
    }

    dlib::shape_predictor predictor;
    dlib::deserialize(QFile::encodeName(faceShapeModelPath()).toStdString()) >> predictor;
    bool same = true;
    bench::Time bestDlib{1e9, 1e9}, bestApart{1e9, 1e9}, bestTogether{1e9, 1e9};
    for (int r = 0; r < rounds; ++r) {
        std::vector<std::optional<FaceShape>> own, apart, together;
        const bench::Time d = bench::timeOnce([&] {
            for (const Face &f : faces)
                for (const QRectF &box : f.boxes)
                    own.push_back(dlibFit(predictor, f.grey, box));
        });
        const bench::Time a = bench::timeOnce([&] {
            for (const Face &f : faces)
                for (const QRectF &box : f.boxes)
                    apart.push_back(faceShape68(f.grey, box));
        });
        const bench::Time t = bench::timeOnce([&] {
            for (const Face &f : faces)
                for (std::optional<FaceShape> &shape : faceShapes68(f.grey, f.boxes))
                    together.push_back(std::move(shape));
        });
        same = same && own == apart && apart == together;
        bestDlib = {std::min(bestDlib.wall, d.wall), std::min(bestDlib.cpu, d.cpu)};
        bestApart = {std::min(bestApart.wall, a.wall), std::min(bestApart.cpu, a.cpu)};
        bestTogether = {std::min(bestTogether.wall, t.wall), std::min(bestTogether.cpu, t.cpu)};
    }
    const double n = double(faces.size());
    std::printf("faces: %zu from %lld photos, best of %d rounds, points %s\n", faces.size(),
                qlonglong(names.size()), rounds, same ? "equal" : "DIFFERENT");
    std::printf("dlib's predictor, five fits (baseline): %.2f ms CPU a face\n", 1000 * bestDlib.cpu / n);
    std::printf("faceShape68, one call a fit:            %.2f ms CPU a face, ratio %.2f\n", 1000 * bestApart.cpu / n,
                bestApart.cpu / bestDlib.cpu);
    std::printf("faceShapes68, five fits together:       %.2f ms CPU a face, ratio %.2f\n", 1000 * bestTogether.cpu / n,
                bestTogether.cpu / bestDlib.cpu);
    return same ? 0 : 1;
}

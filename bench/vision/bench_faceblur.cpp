// How far defocus moves face prints, next to the distance between different people. Each group
// photo (the arguments, or faces/sample1…6.jpg of the test photos) is brought to the analysis
// size (2400 pixels long) and blurred by Gaussians of 0.09 % to 0.21 % of its long side, as the
// out-of-focus frames of a burst are. It prints how many faces the HOG detector still finds
// per blur; for every face found in the sharp photo, the distance between its sharp print and
// the blurred one (the blurred face cut at the box found in the blurred photo, as the analysis
// does), also with the sharp face's box and landmarks (to tell misalignment from changed
// pixels); and the distances between different people; each for several ways of preparing the
// 150-pixel chip before the network. bench_facecard measures the same on a benchmark card.

#include "facebench.h"
#include "vision/facedetector.h"
#include "vision/faceshape.h"

#include <dlib/image_processing/full_object_detection.h>
#include <dlib/image_transforms.h>
#include <dlib/matrix.h>
#include <dlib/pixel.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImageReader>

#include <map>

using namespace mendral;
using namespace mendral::facebench;

namespace {

constexpr double kBlurs[] = {0.0009, 0.0012, 0.0015, 0.0018, 0.0021}; // × long side
constexpr int kLongSide = 2400;
constexpr double kCropToBox = 1.18;

// The chip as alignedFaceChip() cuts it, but from given landmarks (crop coordinates).
QImage chipFrom(const QImage &crop, const FaceShape &shape)
{
    const double side = std::min(crop.width(), crop.height()) / kCropToBox;
    const QRectF box(crop.width() / 2.0 - side / 2, crop.height() / 2.0 - side / 2, side, side);
    std::vector<dlib::point> parts;
    for (const QPointF &p : shape)
        parts.emplace_back(std::lround(p.x()), std::lround(p.y()));
    const dlib::full_object_detection detection(
        dlib::rectangle(long(box.left()), long(box.top()), long(box.right()), long(box.bottom())),
        parts);
    const QImage rgb = crop.convertToFormat(QImage::Format_RGB888);
    dlib::matrix<dlib::rgb_pixel> image(rgb.height(), rgb.width());
    for (int y = 0; y < rgb.height(); ++y)
        for (int x = 0; x < rgb.width(); ++x) {
            const uchar *p = rgb.constScanLine(y) + 3 * x;
            image(y, x) = dlib::rgb_pixel(p[0], p[1], p[2]);
        }
    dlib::matrix<dlib::rgb_pixel> chip;
    dlib::extract_image_chip(image, dlib::get_face_chip_details(detection, 150, 0.25), chip);
    QImage out(int(chip.nc()), int(chip.nr()), QImage::Format_RGB888);
    for (int y = 0; y < out.height(); ++y)
        for (int x = 0; x < out.width(); ++x) {
            uchar *p = out.scanLine(y) + 3 * x;
            p[0] = chip(y, x).red, p[1] = chip(y, x).green, p[2] = chip(y, x).blue;
        }
    return out;
}

std::optional<FaceShape> shapeOf(const QImage &crop)
{
    const double side = std::min(crop.width(), crop.height()) / kCropToBox;
    return faceShape68(crop, QRectF(crop.width() / 2.0 - side / 2,
                                    crop.height() / 2.0 - side / 2, side, side));
}

// The square the analysis cuts around a face box, clipped to the image.
QImage faceCrop(const QImage &image, const QRectF &box)
{
    const double side = kCropToBox * std::max(box.width(), box.height());
    const QRectF square(box.center().x() - side / 2, box.center().y() - side / 2, side, side);
    return image.copy(square.toAlignedRect().intersected(image.rect()));
}

double overlap(const QRectF &a, const QRectF &b)
{
    const QRectF i = a.intersected(b);
    const double inter = i.width() * i.height();
    return inter / (a.width() * a.height() + b.width() * b.height() - inter);
}

// One face's chips: [0] sharp, [1 + k] at blur k (cut at the blurred photo's box, blurred
// landmarks); fromSharpShape[k]: same blurred pixels but the sharp photo's box and landmarks.
struct Face {
    int photo = 0;
    double side = 0; // face box side in pixels at kLongSide
    std::vector<std::optional<QImage>> chips;
    std::vector<std::optional<QImage>> fromSharpShape;
};

QStringList defaultPhotos()
{
    const QString env = qEnvironmentVariable("MENDRAL_TEST_PHOTOS");
    const QString dir = (env.isEmpty() ? QDir::homePath() + "/.cache/mendral/test-photos" : env)
        + "/faces";
    QStringList files;
    for (int i = 1; i <= 6; ++i)
        files << dir + QString("/sample%1.jpg").arg(i);
    return files;
}

} // namespace

int main(int argc, char **argv)
{
    QStringList files;
    for (int i = 1; i < argc; ++i)
        files << QString::fromLocal8Bit(argv[i]);
    if (files.isEmpty())
        files = defaultPhotos();

    const auto net = faceNet();
    if (!net || !faceShapeModelAvailable()) {
        std::printf("face models missing (%s)\n", qPrintable(neural::modelDirectory()));
        return 1;
    }
    const int blurs = int(std::size(kBlurs));

    std::vector<Face> faces;
    std::printf("faces found (sharp, then per blur %%:");
    for (double b : kBlurs)
        std::printf(" %.2f", b * 100);
    std::printf(")\n");
    for (int p = 0; p < files.size(); ++p) {
        QImageReader reader(files[p]);
        reader.setAutoTransform(true);
        QImage photo = reader.read();
        if (photo.isNull())
            continue;
        photo = photo.scaled(kLongSide, kLongSide, Qt::KeepAspectRatio, Qt::SmoothTransformation)
                    .convertToFormat(QImage::Format_RGB888);
        const std::vector<DetectedFace> sharp = detectFaces(photo);
        const size_t first = faces.size();
        for (const DetectedFace &f : sharp) {
            Face face;
            face.photo = p;
            face.side = std::max(f.box.width(), f.box.height());
            face.chips.push_back(neural::alignedFaceChip(faceCrop(photo, f.box)));
            faces.push_back(face);
        }
        std::printf("  %s: %zu", qPrintable(QFileInfo(files[p]).fileName()), sharp.size());
        for (double b : kBlurs) {
            const QImage blurred = gaussian(photo, b * kLongSide);
            const std::vector<DetectedFace> found = detectFaces(blurred);
            int matched = 0;
            for (size_t i = 0; i < sharp.size(); ++i) {
                Face &face = faces[first + i];
                const DetectedFace *best = nullptr;
                for (const DetectedFace &d : found)
                    if (overlap(d.box, sharp[i].box) > 0.4
                        && (!best || overlap(d.box, sharp[i].box) > overlap(best->box, sharp[i].box)))
                        best = &d;
                matched += best != nullptr;
                face.chips.push_back(best ? neural::alignedFaceChip(faceCrop(blurred, best->box))
                                          : std::nullopt);
                const QImage sharpCrop = faceCrop(photo, sharp[i].box);
                const auto shape = shapeOf(sharpCrop);
                face.fromSharpShape.push_back(
                    shape ? std::optional<QImage>(chipFrom(faceCrop(blurred, sharp[i].box), *shape))
                          : std::nullopt);
            }
            std::printf("  %zu (%d matched)", found.size(), matched);
        }
        std::printf("\n");
    }
    std::printf("%zu faces; box sides %.0f…%.0f px at %d px\n", faces.size(),
                faces.empty() ? 0.0 : std::min_element(faces.begin(), faces.end(), [](auto &a, auto &b) { return a.side < b.side; })->side,
                faces.empty() ? 0.0 : std::max_element(faces.begin(), faces.end(), [](auto &a, auto &b) { return a.side < b.side; })->side,
                kLongSide);

    const std::vector<Method> methods = chipMethods();
    const auto print = [&](const std::optional<QImage> &chip, const Method &m) {
        return printOf(*net, chip, m);
    };

    for (const Method &m : methods) {
        QElapsedTimer timer;
        timer.start();
        std::vector<std::vector<std::optional<std::vector<float>>>> prints(faces.size());
        std::vector<std::vector<std::optional<std::vector<float>>>> sharpShape(faces.size());
        for (size_t i = 0; i < faces.size(); ++i) {
            for (const auto &c : faces[i].chips)
                prints[i].push_back(print(c, m));
            for (const auto &c : faces[i].fromSharpShape)
                sharpShape[i].push_back(print(c, m));
        }
        std::printf("\n%s (%.0f ms)\n", m.name, double(timer.elapsed()));
        Summary all, allSharpShape;
        for (int b = 0; b < blurs; ++b) {
            Summary s, t;
            for (size_t i = 0; i < faces.size(); ++i) {
                if (prints[i][0] && prints[i][1 + b])
                    s.add(distance(*prints[i][0], *prints[i][1 + b])), all.add(s.v.back());
                if (prints[i][0] && sharpShape[i][b])
                    t.add(distance(*prints[i][0], *sharpShape[i][b])),
                        allSharpShape.add(t.v.back());
            }
            char label[64];
            std::snprintf(label, sizeof label, "blur %.2f %% (%.1f px)", kBlurs[b] * 100,
                          kBlurs[b] * kLongSide);
            s.show(label);
        }
        all.show("same, every blur");
        allSharpShape.show("same, sharp landmarks");
        // Different people: every pair of faces, sharp with sharp and sharp with blurred.
        Summary sharpPairs, mixedPairs;
        std::map<std::pair<size_t, size_t>, float> close;
        for (size_t i = 0; i < faces.size(); ++i)
            for (size_t j = 0; j < faces.size(); ++j) {
                if (i == j)
                    continue;
                if (i < j && prints[i][0] && prints[j][0]) {
                    sharpPairs.add(distance(*prints[i][0], *prints[j][0]));
                    if (sharpPairs.v.back() < 0.38f)
                        close[{i, j}] = sharpPairs.v.back();
                }
                for (int b = 0; b < blurs; ++b)
                    if (prints[i][0] && prints[j][1 + b]) {
                        mixedPairs.add(distance(*prints[i][0], *prints[j][1 + b]));
                        if (mixedPairs.v.back() < 0.38f) {
                            auto key = std::make_pair(std::min(i, j), std::max(i, j));
                            close[key] = close.count(key) ? std::min(close[key], mixedPairs.v.back())
                                                          : mixedPairs.v.back();
                        }
                    }
            }
        const auto showDifferent = [](const char *label, std::vector<float> v) {
            std::sort(v.begin(), v.end());
            std::printf("    %-24s n=%-4zu min %.3f  p10 %.3f  median %.3f  <0.38: %zd\n", label,
                        v.size(), v.empty() ? 0 : v.front(), v.empty() ? 0 : v[v.size() / 10],
                        v.empty() ? 0 : v[v.size() / 2],
                        std::count_if(v.begin(), v.end(), [](float d) { return d < 0.38f; }));
        };
        showDifferent("different, sharp", sharpPairs.v);
        showDifferent("different, one blurred", mixedPairs.v);
        std::printf("    different pairs below 0.38 (photo.face):");
        for (const auto &[key, d] : close)
            std::printf(" %d.%zu-%d.%zu %.3f", faces[key.first].photo + 1, key.first,
                        faces[key.second].photo + 1, key.second, d);
        std::printf("\n");
    }
    return 0;
}

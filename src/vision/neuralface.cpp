#include "vision/neural.h"

#include "vision/faceshape.h"

#include <dlib/image_processing/full_object_detection.h>
#include <dlib/image_transforms.h>
#include <dlib/matrix.h>
#include <dlib/pixel.h>

#include <cmath>

namespace mendral::neural {

namespace {

// face-api's recognition network was trained on dlib's chips of this size and border.
constexpr unsigned long chipSize = 150;
constexpr double chipPadding = 0.25;
// Analysis cuts face crops 1.18 times the face box.
constexpr double cropToBox = 1.18;

} // namespace

std::optional<QImage> alignedFaceChip(const QImage &faceCrop)
{
    if (faceCrop.isNull() || faceCrop.width() < 8 || faceCrop.height() < 8)
        return std::nullopt;
    const double side = std::min(faceCrop.width(), faceCrop.height()) / cropToBox;
    const QRectF box(faceCrop.width() / 2.0 - side / 2, faceCrop.height() / 2.0 - side / 2, side,
                     side);
    const auto shape = faceShape68(faceCrop, box);
    if (!shape)
        return std::nullopt;
    try {
        std::vector<dlib::point> parts;
        parts.reserve(shape->size());
        for (const QPointF &p : *shape)
            parts.emplace_back(std::lround(p.x()), std::lround(p.y()));
        const dlib::rectangle rect(long(box.left()), long(box.top()), long(box.right()),
                                   long(box.bottom()));
        const dlib::full_object_detection detection(rect, parts);
        const QImage rgb = faceCrop.convertToFormat(QImage::Format_RGB888);
        dlib::matrix<dlib::rgb_pixel> image(rgb.height(), rgb.width());
        for (int y = 0; y < rgb.height(); ++y) {
            const uchar *line = rgb.constScanLine(y);
            for (int x = 0; x < rgb.width(); ++x)
                image(y, x) = dlib::rgb_pixel(line[3 * x], line[3 * x + 1], line[3 * x + 2]);
        }
        dlib::matrix<dlib::rgb_pixel> chip;
        dlib::extract_image_chip(image,
                                 dlib::get_face_chip_details(detection, chipSize, chipPadding),
                                 chip);
        QImage out(int(chip.nc()), int(chip.nr()), QImage::Format_RGB888);
        for (int y = 0; y < out.height(); ++y) {
            uchar *line = out.scanLine(y);
            for (int x = 0; x < out.width(); ++x) {
                const dlib::rgb_pixel &p = chip(y, x);
                line[3 * x] = p.red;
                line[3 * x + 1] = p.green;
                line[3 * x + 2] = p.blue;
            }
        }
        return out;
    } catch (const std::exception &) {
        return std::nullopt;
    }
}

std::vector<float> scaleDistances(const std::vector<float> &unit, float k)
{
    std::vector<float> out;
    out.reserve(unit.size() + 1);
    for (float v : unit)
        out.push_back(k * v);
    out.push_back(std::sqrt(std::max(0.0f, 1.0f - k * k)));
    return out;
}

std::optional<std::vector<float>> normalised(std::vector<float> v)
{
    double sum = 0;
    for (float x : v)
        sum += double(x) * x;
    const double norm = std::sqrt(sum);
    if (v.empty() || !std::isfinite(norm) || norm <= 1e-6)
        return std::nullopt;
    for (float &x : v)
        x = float(x / norm);
    return v;
}

} // namespace mendral::neural

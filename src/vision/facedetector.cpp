#include "vision/facedetector.h"

#include <dlib/image_processing/frontal_face_detector.h>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

namespace mendral {

namespace {

using Detector = dlib::frontal_face_detector;
using Grey = dlib::array2d<unsigned char>;

// The detector scans a pyramid whose levels shrink by 5/6; at 2400 pixels its first five
// levels (2400 to 1157 pixels) hold 84 % of the work and are the only ones that see faces
// under about 180 pixels. The coarse search runs the whole detector on the sixth level (964
// pixels), the fine one only those five levels, and only around people. Measured with
// bench_analyze in alternating runs: the faces stage took 1.53 times a full-size decode with
// four fine levels and 1.27 to 1.35 with five.
constexpr unsigned long kFineLevels = 5;
// Around a person's centre, where the face of a person small enough to need the fine levels
// can be, as fractions of the searched long side: a face under 180 of 2400 pixels belongs to
// a body under about 1350 pixels tall, whose face lies at most 0.35 of the long side above
// its centre. Wider than that by half a body on each side, for people who lean or sit.
constexpr double kAroundHalfWidth = 0.15, kAroundAbove = 0.35, kAroundBelow = 0.05;

struct Detectors {
    Detector all;
    Detector fine; // the first kFineLevels levels of the pyramid only
};

Detectors &threadDetectors()
{
    // Building the detector parses its embedded filters; do it once and give every thread its
    // own copies, because a search uses the detector's scratch buffers.
    static const Detector prototype = dlib::get_frontal_face_detector();
    thread_local Detectors detectors = [] {
        Detector::image_scanner_type scanner;
        scanner.copy_configuration(prototype.get_scanner());
        scanner.set_max_pyramid_levels(kFineLevels);
        std::vector<Detector::feature_vector_type> weights;
        for (unsigned long i = 0; i < prototype.num_detectors(); ++i)
            weights.push_back(prototype.get_w(i));
        return Detectors{prototype, Detector(scanner, prototype.get_overlap_tester(), weights)};
    }();
    return detectors;
}

// An OpenCV header over the pixels of `image` (dlib keeps its rows contiguous).
cv::Mat wrapped(const Grey &image)
{
    return cv::Mat(int(image.nr()), int(image.nc()), CV_8UC1, const_cast<unsigned char *>(&image[0][0]));
}

// `image` in grey at its own size: by OpenCV for an image searched at its own size, which
// makes the grey copy of an RGB image several times faster than QImage does (2400 × 1600:
// about 2 against 17 ms); by QImage for one to be enlarged, as the detector's thresholds
// were measured with.
Grey nativeGrey(const QImage &image, bool enlarged)
{
    Grey out(image.height(), image.width());
    const bool rgb = image.format() == QImage::Format_RGB888;
    const bool bgra = image.format() == QImage::Format_RGB32 || image.format() == QImage::Format_ARGB32;
    if (!enlarged && (rgb || bgra)) {
        const cv::Mat source(image.height(), image.width(), rgb ? CV_8UC3 : CV_8UC4,
                             const_cast<uchar *>(image.constBits()), size_t(image.bytesPerLine()));
        cv::Mat target = wrapped(out);
        cv::cvtColor(source, target, rgb ? cv::COLOR_RGB2GRAY : cv::COLOR_BGRA2GRAY);
        return out;
    }
    const QImage grey = image.convertToFormat(QImage::Format_Grayscale8);
    for (int y = 0; y < grey.height(); ++y)
        std::memcpy(&out[y][0], grey.constScanLine(y), size_t(grey.width()));
    return out;
}

Grey cropped(const Grey &image, const dlib::rectangle &r)
{
    Grey out(r.height(), r.width());
    for (long y = 0; y < long(r.height()); ++y)
        std::copy_n(&image[r.top() + y][r.left()], r.width(), &out[y][0]);
    return out;
}

// The image the full search scans at level kFineLevels of its pyramid: the same steps of 5/6
// to the sizes dlib's pyramid gives, each a bilinear resample on dlib's grid (corners
// aligned). OpenCV's warp does a step twice as fast as dlib's resize (the five steps of a
// 2400-pixel image: 12 against 23 ms); its weights are fixed-point, so pixels differ by 0.1
// grey levels on average (at most 4), and on the benchmark cards one face in 450 more is
// found. OpenCV's plain bilinear resize, faster still, samples at pixel centres and lost one
// face on each card; an area-averaging resize straight to the coarse size gave a false hit
// (score 0.175) on a group photo where the full search has none.
Grey coarseLevel(const Grey &grey, unsigned long steps = kFineLevels)
{
    cv::Mat level = wrapped(grey);
    for (unsigned long step = 0; step < steps; ++step) {
        cv::Mat next;
        const cv::Size size(5 * level.cols / 6, 5 * level.rows / 6);
        const cv::Matx23d corners((level.cols - 1) / double(std::max(size.width - 1, 1)), 0, 0, 0,
                                  (level.rows - 1) / double(std::max(size.height - 1, 1)), 0);
        cv::warpAffine(level, next, corners, size, cv::INTER_LINEAR | cv::WARP_INVERSE_MAP, cv::BORDER_REPLICATE);
        level = next;
    }
    Grey out(level.rows, level.cols);
    for (int y = 0; y < level.rows; ++y)
        std::memcpy(&out[y][0], level.ptr(y), size_t(level.cols));
    return out;
}

// The image the detector searches, in grey at `w` × `h`, made when first asked for.
class SearchedGrey {
public:
    SearchedGrey(const QImage &image, int w, int h) : m_image(image), m_w(w), m_h(h) {}

    long nc() const { return m_w; }
    long nr() const { return m_h; }

    const Grey &full()
    {
        if (m_w == m_image.width() && m_h == m_image.height())
            return native();
        if (!m_full) {
            m_full = std::make_unique<Grey>(m_h, m_w);
            cv::Mat target = wrapped(*m_full);
            if (enlarged()) {
                // Enlarged (the analysis reads a 12-MP JPEG at 2000 pixels and searches it at
                // 2400) by OpenCV's bilinear resize: Qt's smooth scaling took about 50 ms of a
                // frame with people.
                cv::resize(wrapped(native()), target, target.size(), 0, 0, cv::INTER_LINEAR);
            } else {
                const QImage work = m_image.convertToFormat(QImage::Format_Grayscale8)
                                        .scaled(m_w, m_h, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
                for (int y = 0; y < m_h && y < work.height(); ++y)
                    std::memcpy(&(*m_full)[y][0], work.constScanLine(y), size_t(std::min(m_w, work.width())));
            }
        }
        return *m_full;
    }

    // Level kFineLevels of the pyramid over the searched image. Where the pyramid's first
    // step gives the image's own size back (2000 pixels searched at 2400), the steps start from
    // the image rather than from its enlargement: the enlargement is then made only for a
    // search around people, which most frames do not need.
    Grey coarse()
    {
        if (enlarged() && 5 * m_w / 6 == m_image.width() && 5 * m_h / 6 == m_image.height())
            return coarseLevel(native(), kFineLevels - 1);
        return coarseLevel(full());
    }

private:
    bool enlarged() const { return m_w >= m_image.width() && m_h >= m_image.height(); }

    const Grey &native()
    {
        if (!m_native)
            m_native = std::make_unique<Grey>(nativeGrey(m_image, enlarged() && QSize(m_w, m_h) != m_image.size()));
        return *m_native;
    }

    const QImage &m_image;
    const int m_w, m_h;
    std::unique_ptr<Grey> m_native, m_full;
};

// The place around some people, in pixels of the searched image.
struct Place {
    dlib::rectangle rect;
    int people = 0;
};

// The places around people in an image of `width` × `height`, overlapping ones joined into
// their bounding box.
std::vector<Place> aroundPeople(const std::vector<QPointF> &people, long width, long height)
{
    const double longSide = std::max(width, height);
    const dlib::rectangle bounds(0, 0, width - 1, height - 1);
    std::vector<Place> places;
    for (const QPointF &p : people) {
        const double x = p.x() * width, y = p.y() * height;
        const dlib::rectangle r(std::lround(x - kAroundHalfWidth * longSide), std::lround(y - kAroundAbove * longSide),
                                std::lround(x + kAroundHalfWidth * longSide), std::lround(y + kAroundBelow * longSide));
        if (!r.intersect(bounds).is_empty())
            places.push_back({r.intersect(bounds), 1});
    }
    for (bool joined = true; joined;) {
        joined = false;
        for (size_t i = 0; i < places.size() && !joined; ++i)
            for (size_t j = i + 1; j < places.size() && !joined; ++j)
                if (!places[i].rect.intersect(places[j].rect).is_empty()) {
                    places[i] = {places[i].rect + places[j].rect, places[i].people + places[j].people};
                    places.erase(places.begin() + long(j));
                    joined = true;
                }
    }
    return places;
}

// The coarse-to-fine search: the large faces on the coarse level of the whole image, then the
// small ones around the people whose faces the coarse search did not find (a place with as
// many faces as people is done). Overlapping finds of the two keep the higher score, as the
// detector's own suppression of overlaps does.
void searchAroundPeople(Detectors &d, SearchedGrey &grey, const std::vector<QPointF> &people,
                        double minConfidence, std::vector<dlib::rect_detection> &found)
{
    const dlib::pyramid_down<6> pyramid;
    const Grey coarse = grey.coarse();
    std::vector<dlib::rect_detection> candidates;
    d.all(coarse, candidates, 0.0);
    for (dlib::rect_detection &c : candidates)
        c.rect = pyramid.rect_up(c.rect, kFineLevels);
    const size_t coarseCount = candidates.size();
    for (const Place &place : aroundPeople(people, grey.nc(), grey.nr())) {
        // A large face may lie far above its person's centre (a close portrait's centre is
        // on the chest), so faces anywhere above the place count.
        const dlib::rectangle column(place.rect.left(), 0, place.rect.right(), place.rect.bottom());
        const auto faces = std::count_if(candidates.begin(), candidates.begin() + long(coarseCount), [&](const auto &c) {
            return c.detection_confidence > minConfidence && column.contains(dlib::center(c.rect));
        });
        if (faces >= place.people)
            continue;
        std::vector<dlib::rect_detection> near;
        d.fine(cropped(grey.full(), place.rect), near, 0.0);
        for (dlib::rect_detection &n : near) {
            n.rect = dlib::translate_rect(n.rect, place.rect.tl_corner());
            candidates.push_back(n);
        }
    }
    std::stable_sort(candidates.begin(), candidates.end(),
                     [](const auto &a, const auto &b) { return a.detection_confidence > b.detection_confidence; });
    const dlib::test_box_overlap overlaps = d.all.get_overlap_tester();
    for (const dlib::rect_detection &c : candidates)
        if (std::none_of(found.begin(), found.end(), [&](const auto &f) { return overlaps(f.rect, c.rect); }))
            found.push_back(c);
}

} // namespace

std::vector<DetectedFace> detectFaces(const QImage &image, const FaceSearch &search)
{
    std::vector<DetectedFace> faces;
    if (image.isNull() || image.width() < 1 || image.height() < 1)
        return faces;
    // Where the people model sees no one, there is no face for this detector to find: it saw
    // a person in each of 60 crops around the faces of the test photos, down to 1.4 times the
    // face's side, and on the benchmark cards no photo with a face was without a person. Most
    // photos of a shoot have no people, and the search costs a fifth of their analysis.
    if (search.people && search.people->empty())
        return faces;

    const int longSide = std::max(image.width(), image.height());
    double scale = 1.0;
    if (longSide > search.maxLongSide)
        scale = double(search.maxLongSide) / longSide;
    else if (longSide < search.minLongSide)
        scale = double(search.minLongSide) / longSide;
    const int w = std::max(1, int(std::lround(image.width() * scale)));
    const int h = std::max(1, int(std::lround(image.height() * scale)));
    const double sx = double(w) / image.width();
    const double sy = double(h) / image.height();

    std::vector<dlib::rect_detection> found;
    try {
        Detectors &d = threadDetectors();
        SearchedGrey grey(image, w, h);
        if (search.people)
            searchAroundPeople(d, grey, *search.people, search.minConfidence, found);
        else
            d.all(grey.full(), found, 0.0);
    } catch (...) {
        return faces;
    }
    for (const dlib::rect_detection &d : found) {
        if (d.detection_confidence <= search.minConfidence)
            continue;
        // dlib's rectangles are inclusive pixel ranges.
        const QRectF box(d.rect.left() / sx, d.rect.top() / sy, (d.rect.width()) / sx,
                         (d.rect.height()) / sy);
        if (!box.intersects(QRectF(image.rect())))
            continue;
        faces.push_back({box, d.detection_confidence});
    }
    // Largest first, by the part inside the image.
    const QRectF bounds(image.rect());
    auto area = [&bounds](const DetectedFace &f) {
        const QRectF r = f.box.intersected(bounds);
        return r.width() * r.height();
    };
    std::stable_sort(faces.begin(), faces.end(), [&area](const DetectedFace &a, const DetectedFace &b) {
        return area(a) > area(b);
    });
    return faces;
}

} // namespace mendral

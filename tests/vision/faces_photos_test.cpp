// Faces, landmarks and eyes on real photos (see testphotos.h for where they come from).

#include "testphotos.h"

#include "vision/dlibimage.h"
#include "vision/facedetector.h"
#include "vision/facequality.h"
#include "vision/faceshape.h"
#include "vision/facevision.h"
#include "vision/neural.h"

#include <dlib/image_processing/shape_predictor.h>
#include <dlib/serialize.h>

#include <QDir>
#include <QFile>
#include <QPainter>

#include <gtest/gtest.h>

using namespace mendral;
using mendral::test::testPhoto;

namespace {

// The openness score of an outline, as the analysis computes it.
double openness(const std::vector<QPointF> &pts)
{
    double minX = 1e9, maxX = -1e9, minY = 1e9, maxY = -1e9;
    for (const QPointF &p : pts) {
        minX = std::min(minX, p.x()), maxX = std::max(maxX, p.x());
        minY = std::min(minY, p.y()), maxY = std::max(maxY, p.y());
    }
    return std::clamp(((maxY - minY) / (maxX - minX) - 0.08) / 0.16, 0.0, 1.0);
}

QImage darkened(const QImage &image, double factor)
{
    QImage out = image.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < out.height(); ++y) {
        auto *row = reinterpret_cast<QRgb *>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x)
            row[x] = qRgb(int(qRed(row[x]) * factor), int(qGreen(row[x]) * factor),
                          int(qBlue(row[x]) * factor));
    }
    return out;
}

QImage blurred(const QImage &image, int factor)
{
    return image.scaled(image.width() / factor, image.height() / factor, Qt::IgnoreAspectRatio,
                        Qt::SmoothTransformation)
        .scaled(image.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

double overlap(const QRectF &a, const QRectF &b)
{
    const QRectF i = a.intersected(b);
    const double u = a.width() * a.height() + b.width() * b.height() - i.width() * i.height();
    return u > 0 ? i.width() * i.height() / u : 0;
}

// Faces as the analysis searches them: small faces only around the people the model finds.
std::vector<DetectedFace> detectAroundPeople(const QImage &image)
{
    FaceSearch search;
    search.people = neural::personCentres(image);
    EXPECT_TRUE(search.people.has_value());
    return detectFaces(image, search);
}

// Each face of `expected` has one in `found` over the same place.
void expectSameFaces(const std::vector<DetectedFace> &found, const std::vector<DetectedFace> &expected,
                     const char *name)
{
    EXPECT_EQ(found.size(), expected.size()) << name;
    for (const DetectedFace &e : expected)
        EXPECT_TRUE(std::any_of(found.begin(), found.end(),
                                [&](const DetectedFace &f) { return overlap(f.box, e.box) > 0.5; }))
            << name << " misses the face at " << e.box.x() << "," << e.box.y();
}

// Quality of the face of `changed` that sits where `face` was; 0 when it is no longer found.
double qualityAt(const QImage &changed, const DetectedFace &face)
{
    for (const DetectedFace &f : detectFaces(changed))
        if (overlap(f.box, face.box) > 0.5)
            return faceCaptureQuality(changed, f);
    return 0;
}

} // namespace

TEST(FacePhotos, FindsTheFacesOfPortraitsAndGroups)
{
    // {photo, faces found at least (tilted heads are missed), faces in the photo}
    const struct { const char *name; int atLeast, atMost; } photos[] = {
        {"faces/sample1.jpg", 3, 3}, {"faces/sample2.jpg", 1, 3}, {"faces/sample3.jpg", 3, 3},
        {"faces/sample4.jpg", 3, 4}, {"faces/sample5.jpg", 5, 5}, {"faces/sample6.jpg", 4, 4},
        {"faces/astronaut.png", 1, 1}};
    int tested = 0;
    for (const auto &p : photos) {
        const QImage image = testPhoto(p.name);
        if (image.isNull())
            continue;
        ++tested;
        const std::vector<FaceObservation> faces = detectFaceObservations(image);
        EXPECT_GE(int(faces.size()), p.atLeast) << p.name;
        EXPECT_LE(int(faces.size()), p.atMost) << p.name;
        for (const FaceObservation &f : faces) {
            ASSERT_TRUE(f.faceCaptureQuality.has_value());
            EXPECT_GT(*f.faceCaptureQuality, 0.3f) << p.name;
            EXPECT_LE(*f.faceCaptureQuality, 1.0f);
            EXPECT_GE(f.boundingBox.x, 0.0);
            EXPECT_LE(f.boundingBox.maxY(), 1.0);
            // The faces of these photos are all in the upper part of the frame.
            EXPECT_GT(f.boundingBox.y + f.boundingBox.h / 2, 0.15) << p.name;
        }
        for (size_t i = 1; i < faces.size(); ++i)
            EXPECT_GE(faces[i - 1].boundingBox.w * faces[i - 1].boundingBox.h + 1e-12,
                      faces[i].boundingBox.w * faces[i].boundingBox.h);
    }
    if (tested == 0)
        GTEST_SKIP() << mendral::test::missingPhotosReason().toStdString();
}

TEST(FacePhotos, FindsFacesOfAbout3PercentOfTheLongSide)
{
    const QImage portrait = testPhoto("faces/astronaut.png");
    const QImage landscape = testPhoto("landscapes/Wood.jpg", 100000);
    if (portrait.isNull() || landscape.isNull())
        GTEST_SKIP() << mendral::test::missingPhotosReason().toStdString();
    const std::vector<DetectedFace> found = detectFaces(portrait);
    ASSERT_EQ(found.size(), 1u);
    // Her head with a margin, pasted so that the face box is 3.4 % of the frame's long side,
    // into a frame larger than the search size and into one smaller than it.
    const QRectF head = found[0].box.adjusted(-found[0].box.width() * 0.6, -found[0].box.height() * 0.6,
                                              found[0].box.width() * 0.6, found[0].box.height() * 0.6);
    for (const int longSide : {3000, 1200}) {
        QImage frame = landscape.scaled(longSide, longSide, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        const double scale = 0.034 * longSide / found[0].box.width();
        const QImage pasted = portrait.copy(head.toAlignedRect())
                                  .scaled((head.size() * scale).toSize(), Qt::IgnoreAspectRatio,
                                          Qt::SmoothTransformation);
        const QPoint at(frame.width() / 3, frame.height() / 3);
        QPainter(&frame).drawImage(at, pasted);
        const std::vector<DetectedFace> faces = detectFaces(frame);
        ASSERT_EQ(faces.size(), 1u) << longSide;
        EXPECT_NEAR(faces[0].box.center().x(), at.x() + pasted.width() / 2.0, pasted.width() / 4.0);
        EXPECT_NEAR(faces[0].box.width(), 0.034 * longSide, 0.3 * 0.034 * longSide) << longSide;
    }
}

TEST(FacePhotos, NoFaceInLandscapes)
{
    const QStringList files = QDir(mendral::test::testPhotoDirectory() + "/landscapes")
                                  .entryList({"*.jpg"}, QDir::Files, QDir::Name);
    if (files.isEmpty())
        GTEST_SKIP() << mendral::test::missingPhotosReason().toStdString();
    for (const QString &file : files) {
        const QImage image = testPhoto("landscapes/" + file);
        ASSERT_FALSE(image.isNull()) << file.toStdString();
        EXPECT_TRUE(detectFaces(image).empty()) << file.toStdString();
        if (neural::modelsAvailable())
            EXPECT_TRUE(detectAroundPeople(image).empty()) << file.toStdString();
    }
}

TEST(FacePhotos, LandmarksComeBackInTheCallersPixels)
{
    const QImage image = testPhoto("faces/astronaut.png");
    if (image.isNull())
        GTEST_SKIP() << mendral::test::missingPhotosReason().toStdString();
    const std::vector<DetectedFace> faces = detectFaces(image);
    ASSERT_EQ(faces.size(), 1u);
    const QRectF box = faces[0].box;
    const std::optional<FaceShape> shape = faceShape68(image, box);
    ASSERT_TRUE(shape.has_value());
    // Eyes inside the box, in its upper half; the subject's right eye on the image's left.
    for (int i = shape68::rightEyeFirst; i <= shape68::leftEyeLast; ++i) {
        EXPECT_TRUE(box.contains((*shape)[i])) << i;
        EXPECT_LT((*shape)[i].y(), box.center().y()) << i;
    }
    EXPECT_LT((*shape)[shape68::rightEyeFirst].x(), (*shape)[shape68::leftEyeFirst].x());

    // The same face in an image twice the size: the points scale with it.
    const QImage twice = image.scaled(image.size() * 2, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const QRectF box2(box.topLeft() * 2, box.size() * 2);
    const std::optional<FaceShape> shape2 = faceShape68(twice, box2);
    ASSERT_TRUE(shape2.has_value());
    for (int i = 0; i < 68; ++i) {
        EXPECT_NEAR((*shape2)[i].x(), (*shape)[i].x() * 2, 4.0) << i;
        EXPECT_NEAR((*shape2)[i].y(), (*shape)[i].y() * 2, 4.0) << i;
    }
}

// Fits run together must each give what dlib's own predictor gives on its own. On a face
// 240 pixels wide the crop is not rescaled, so dlib can be run on the same pixels here.
TEST(FacePhotos, LandmarkFitsRunTogetherGiveDlibsOwnPoints)
{
    const QImage photo = testPhoto("faces/astronaut.png");
    if (photo.isNull() || !faceShapeModelAvailable())
        GTEST_SKIP() << "needs the astronaut photo and the landmark model";
    const std::vector<DetectedFace> faces = detectFaces(photo);
    ASSERT_EQ(faces.size(), 1u);
    const double k = 240.0 / faces[0].box.width();
    const QImage image = photo.scaled(photo.size() * k, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                             .convertToFormat(QImage::Format_Grayscale8);
    const QPoint c = (faces[0].box.center() * k).toPoint();
    const std::vector<QRectF> boxes = {
        QRectF(c.x() - 120, c.y() - 120, 240, 240), QRectF(c.x() - 108, c.y() - 132, 240, 240),
        QRectF(), // no box: no points, and the others unaffected
        QRectF(c.x() - 132, c.y() - 120, 240, 240),
        QRectF(-30, -40, 240, 240), // its crop cut at the image's corner
    };
    const std::vector<std::optional<FaceShape>> together = faceShapes68(image, boxes);
    ASSERT_EQ(together.size(), boxes.size());
    EXPECT_FALSE(together[2].has_value());

    dlib::shape_predictor predictor;
    dlib::deserialize(QFile::encodeName(faceShapeModelPath()).toStdString()) >> predictor;
    for (size_t b = 0; b < boxes.size(); ++b) {
        if (!boxes[b].isValid())
            continue;
        ASSERT_TRUE(together[b].has_value()) << b;
        const QRect crop = faceShapeArea(boxes[b]).intersected(image.rect());
        const QRectF box = boxes[b].translated(-crop.topLeft());
        const dlib::full_object_detection own = predictor(
            toDlibGrey(image.copy(crop)),
            dlib::rectangle(std::lround(box.left()), std::lround(box.top()), std::lround(box.right()) - 1,
                            std::lround(box.bottom()) - 1));
        const std::optional<FaceShape> alone = faceShape68(image, boxes[b]);
        ASSERT_TRUE(alone.has_value()) << b;
        for (unsigned long i = 0; i < 68; ++i) {
            const QPointF expected(crop.left() + own.part(i).x() + 0.5, crop.top() + own.part(i).y() + 0.5);
            EXPECT_EQ((*together[b])[i], expected) << "box " << b << ", point " << i;
            EXPECT_EQ((*alone)[i], expected) << "box " << b << ", point " << i;
        }
    }
}

TEST(FacePhotos, LandmarksRefuseWhatCannotBeMeasured)
{
    const QImage image(200, 200, QImage::Format_RGB32);
    EXPECT_FALSE(faceShape68(QImage(), QRectF(0, 0, 50, 50)).has_value());
    EXPECT_FALSE(faceShape68(image, QRectF()).has_value());
    EXPECT_FALSE(faceShape68(image, QRectF(400, 400, 50, 50)).has_value()); // outside
    // A face box half out of the image still gives points (the crop is cut at the edge).
    if (faceShapeModelAvailable()) {
        EXPECT_TRUE(faceShape68(image, QRectF(-25, -25, 100, 100)).has_value());
    }
    EXPECT_TRUE(detectFaces(QImage()).empty());
    EXPECT_TRUE(detectFaceLandmarks(QImage(1, 1, QImage::Format_RGB32)).empty());
}

TEST(FacePhotos, SearchAroundPeopleTakesAnyImageShape)
{
    // People at the centre and on the corners of images down to a pixel, or a pixel thin:
    // the coarse level of these has no rows or columns left.
    FaceSearch search;
    search.people = std::vector<QPointF>{{0.5, 0.5}, {0, 0}, {1, 1}};
    for (const QSize size : {QSize(1, 1), QSize(3000, 2), QSize(2, 3000), QSize(40, 30)}) {
        QImage image(size, QImage::Format_RGB888);
        image.fill(QColor(120, 110, 100));
        EXPECT_TRUE(detectFaces(image, search).empty()) << size.width() << "x" << size.height();
    }
}

// The crops the eye check hands over: a square 1.9 times the face's side on the 2400-pixel
// rendition, scaled to at most 480 pixels.
std::vector<QImage> eyeCheckCrops(const QImage &rendition)
{
    std::vector<QImage> crops;
    for (const FaceObservation &face : detectFaceObservations(rendition)) {
        const NormRect b = face.boundingBox;
        const double s = 1.9 * std::max(b.w, b.h);
        const NormRect square{b.x + b.w / 2 - s / 2, b.y + b.h / 2 - s / 2, s, s};
        const QImage crop = rendition.copy(toPixelRect(square, rendition.width(), rendition.height()));
        crops.push_back(std::max(crop.width(), crop.height()) > 480
                            ? crop.scaled(480, 480, Qt::KeepAspectRatio, Qt::SmoothTransformation)
                            : crop);
    }
    return crops;
}

TEST(FacePhotos, OpenEyesReadOpenAndShutOnesShutOnTheEyeCheckCrops)
{
    // Every face of these photos has its eyes open: the outline scores at least half, and the
    // eye network sees the lids apart. The woman of sample2 has hers closed.
    const bool lids = neural::modelsAvailable();
    int measured = 0;
    for (const char *name : {"faces/sample3.jpg", "faces/sample5.jpg", "faces/sample6.jpg",
                             "faces/astronaut.png"}) {
        const QImage rendition = testPhoto(name, 2400);
        if (rendition.isNull())
            continue;
        for (const QImage &crop : eyeCheckCrops(rendition)) {
            const std::vector<FaceLandmarks> marks = detectFaceLandmarks(crop);
            ASSERT_FALSE(marks.empty()) << name;
            ASSERT_TRUE(marks[0].leftEye && marks[0].rightEye) << name;
            const double open = std::min(openness(*marks[0].leftEye), openness(*marks[0].rightEye));
            EXPECT_GE(open, 0.5) << name;
            ASSERT_EQ(marks[0].lidGap.has_value(), lids) << name;
            if (lids) {
                EXPECT_GE(*marks[0].lidGap, 0.24) << name;
            }
            ++measured;
        }
    }
    if (measured == 0)
        GTEST_SKIP() << mendral::test::missingPhotosReason().toStdString();
    EXPECT_GE(measured, 13);
    const QImage closed = testPhoto("faces/sample2.jpg", 2400);
    if (!lids || closed.isNull())
        return;
    int shut = 0;
    for (const QImage &crop : eyeCheckCrops(closed))
        for (const FaceLandmarks &marks : detectFaceLandmarks(crop))
            shut += marks.lidGap && *marks.lidGap < 0.21;
    EXPECT_GE(shut, 1);
}

TEST(FacePhotos, BlurredAndDarkenedFacesScoreLower)
{
    for (const char *name : {"faces/sample6.jpg", "faces/astronaut.png"}) {
        const QImage image = testPhoto(name);
        if (image.isNull())
            GTEST_SKIP() << mendral::test::missingPhotosReason().toStdString();
        const QImage soft = blurred(image, 4), dark = darkened(image, 0.35);
        for (const DetectedFace &face : detectFaces(image)) {
            const double original = faceCaptureQuality(image, face);
            EXPECT_LT(qualityAt(soft, face), original) << name;
            EXPECT_LT(qualityAt(dark, face), original) << name;
        }
    }
}

TEST(FacePhotos, ShutEyesScoreLower)
{
    const QImage image = testPhoto("faces/astronaut.png");
    if (image.isNull())
        GTEST_SKIP() << mendral::test::missingPhotosReason().toStdString();
    const std::vector<DetectedFace> faces = detectFaces(image);
    ASSERT_FALSE(faces.empty());
    const std::optional<FaceShape> shape = faceShape68(image, faces[0].box);
    ASSERT_TRUE(shape.has_value());
    // Close both eyes: lids onto the line between the corners.
    FaceShape shut = *shape;
    for (int first : {shape68::rightEyeFirst, shape68::leftEyeFirst}) {
        const QPointF a = shut[first], b = shut[first + 3];
        for (int i : {1, 2, 4, 5}) {
            const double t = (i == 1 || i == 5) ? 1.0 / 3 : 2.0 / 3;
            shut[first + i] = a + (b - a) * t;
        }
    }
    const double open = combineFaceQuality(measureFaceQuality(image, faces[0].box, shape, faces[0].confidence));
    const double closed = combineFaceQuality(measureFaceQuality(image, faces[0].box, shut, faces[0].confidence));
    EXPECT_LT(closed, open - 0.2);
}

TEST(FacePhotos, SearchAroundPeopleFindsTheFacesOfTheWholeSearch)
{
    if (!neural::modelsAvailable())
        GTEST_SKIP() << "models missing (scripts/setup installs them)";
    int tested = 0;
    for (const char *name : {"faces/sample1.jpg", "faces/sample2.jpg", "faces/sample3.jpg",
                             "faces/sample4.jpg", "faces/sample5.jpg", "faces/sample6.jpg",
                             "faces/astronaut.png"}) {
        const QImage image = testPhoto(name);
        if (image.isNull())
            continue;
        ++tested;
        const std::vector<DetectedFace> whole = detectFaces(image);
        expectSameFaces(detectAroundPeople(image), whole, name);
        // Close-ups, down to little more than the face: the people model still sees someone,
        // so the search (which skips images without people) still finds the face.
        for (const DetectedFace &face : whole)
            for (const double factor : {1.4, 2.0}) {
                const double side = factor * std::max(face.box.width(), face.box.height());
                const QRect square = QRectF(face.box.center() - QPointF(side / 2, side / 2), QSizeF(side, side))
                                         .toAlignedRect()
                                         .intersected(image.rect());
                const QImage close = image.copy(square);
                EXPECT_FALSE(detectAroundPeople(close).empty())
                    << name << " close-up " << factor << " at " << face.box.x() << "," << face.box.y();
            }
    }
    if (tested == 0)
        GTEST_SKIP() << mendral::test::missingPhotosReason().toStdString();
}

TEST(FacePhotos, SearchAroundPeopleFindsTheSmallFacesOfAGroupFarAway)
{
    const QImage group = testPhoto("faces/sample5.jpg");
    const QImage portrait = testPhoto("faces/astronaut.png");
    const QImage landscape = testPhoto("landscapes/GreenMeadow.jpg", 100000);
    if (group.isNull() || portrait.isNull() || landscape.isNull())
        GTEST_SKIP() << mendral::test::missingPhotosReason().toStdString();
    if (!neural::modelsAvailable())
        GTEST_SKIP() << "models missing (scripts/setup installs them)";
    const std::vector<DetectedFace> near = detectFaces(group);
    ASSERT_EQ(near.size(), 5u);
    double largest = 0;
    for (const DetectedFace &f : near)
        largest = std::max(largest, f.box.width());
    // The group small in a 2400-pixel frame: its largest face 4 % of the long side (96 pixels),
    // too small for the coarse search.
    QImage frame = landscape.scaled(2400, 2400, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    const double scale = 0.04 * 2400 / largest;
    const QImage small = group.scaled((QSizeF(group.size()) * scale).toSize(), Qt::IgnoreAspectRatio,
                                      Qt::SmoothTransformation);
    const QPoint at(frame.width() - small.width() - 150, frame.height() - small.height() - 100);
    QPainter(&frame).drawImage(at, small);
    const std::vector<DetectedFace> whole = detectFaces(frame);
    EXPECT_GE(whole.size(), 4u);
    expectSameFaces(detectAroundPeople(frame), whole, "group far away");

    // A close portrait beside the group, its large face next to the small ones: the large face
    // does not stand in for the small faces of the people around it.
    const QImage close = portrait.scaled(700, 700, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    QPainter(&frame).drawImage(at.x() - close.width() + 40, frame.height() - close.height(), close);
    const std::vector<DetectedFace> both = detectFaces(frame);
    EXPECT_GE(both.size(), whole.size());
    expectSameFaces(detectAroundPeople(frame), both, "group beside a portrait");
}

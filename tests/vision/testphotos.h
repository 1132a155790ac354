#pragma once

// Real photos for the face tests, put in place by tests/vision/fetch-test-photos.sh. Tests that
// need them skip (with the reason) when they are absent.

#include <QDir>
#include <QImage>
#include <QImageReader>
#include <QStandardPaths>
#include <QString>

namespace mendral::test {

inline QString testPhotoDirectory()
{
    const QString env = qEnvironmentVariable("MENDRAL_TEST_PHOTOS");
    if (!env.isEmpty())
        return env;
    const QString cache = qEnvironmentVariable("XDG_CACHE_HOME", QDir::homePath() + "/.cache");
    return cache + "/mendral/test-photos";
}

/** A photo of the set ("faces/sample1.jpg"), at most maxSide pixels long; null when absent. */
inline QImage testPhoto(const QString &relative, int maxSide = 2400)
{
    QImageReader reader(testPhotoDirectory() + "/" + relative);
    reader.setAutoTransform(true);
    QImage image = reader.read();
    if (!image.isNull() && std::max(image.width(), image.height()) > maxSide)
        image = image.scaled(maxSide, maxSide, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return image;
}

inline QString missingPhotosReason()
{
    return "test photos missing in " + testPhotoDirectory()
        + " (run tests/vision/fetch-test-photos.sh)";
}

} // namespace mendral::test

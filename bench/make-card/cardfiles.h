#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

namespace mendral::card {

/** Capture time as EXIF writes it: local "yyyy:MM:dd HH:mm:ss" and the milliseconds as text. */
struct ExifTime {
    QString dateTime;
    QString subSec;
};
ExifTime exifTime(double secondsSinceEpoch);

/** Writes DateTimeOriginal, SubSecTimeOriginal, DateTime and the camera name into a file. */
bool writeExif(const QString &path, const ExifTime &time);

/** The same tags as a TIFF-structured EXIF block, for containers written by other libraries. */
QByteArray exifBlock(const ExifTime &time);

/** JPEG, PNG, TIFF or WebP through Qt's writers. */
bool writeQtImage(const QImage &image, const QString &path, const QString &ext);

/** HEIC through libheif (HEVC), with the EXIF block attached. */
bool writeHeic(const QImage &image, const QString &path, const QByteArray &exif);

/** Whether libheif here has an HEVC encoder. */
bool canWriteHeic();

/**
 * A linear DNG of the same pixels: full-size 16-bit linear RGB in a sub-image, an uncompressed
 * 1024-pixel preview beside it, and a small thumbnail in the main image, as cameras lay it out.
 */
bool writeDng(const QImage &image, const QString &path, const ExifTime &time);

} // namespace mendral::card

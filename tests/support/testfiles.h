#pragma once

#include <QByteArray>
#include <QColor>
#include <QString>

#include <optional>

namespace mendral::test {

/** EXIF tags to write into a generated image. */
struct ExifTags {
    std::optional<QString> dateTimeOriginal;
    std::optional<QString> subSecTimeOriginal;
    std::optional<QString> dateTime;
    std::optional<int> orientation;
};

/** Writes a small JPEG (or PNG etc., by extension) filled with a colour. Returns success. */
bool writeImage(const QString &path, int width, int height, QColor color = Qt::gray);

/** Adds EXIF tags to an existing image with exiv2. */
bool writeExif(const QString &path, const ExifTags &tags);

/** An EXIF block as cameras put it into HEIF files: "Exif\0\0" and a TIFF structure. */
QByteArray exifBlock(const ExifTags &tags);

/** Writes raw bytes to a file (any byte name). */
bool writeBytes(const QString &path, const QByteArray &bytes);

/** Sets the modification time (seconds since 1970). */
bool setModificationTime(const QString &path, double seconds);

bool makeDirectory(const QString &path);

/** Local wall-clock time as seconds since 1970. */
double localTime(int year, int month, int day, int hour, int minute, int second);

} // namespace mendral::test

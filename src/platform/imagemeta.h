#pragma once

#include <QString>

#include <optional>

namespace mendral {

/** The image properties the scan reads from a file, as the file states them. */
struct ImageProperties {
    bool readable = false; // the file could be opened and parsed as an image
    int width = 0;         // stored pixel size, before orientation; 0 when not stated
    int height = 0;
    std::optional<QString> dateTimeOriginal; // Exif.Photo.DateTimeOriginal
    std::optional<QString> dateTime;         // Exif.Image.DateTime (the TIFF date)
    std::optional<QString> subSecTimeOriginal;
    int orientation = 1; // EXIF orientation 1…8
};

/**
 * Reads metadata without decoding pixels: exiv2 for every format, LibRaw for the developed
 * size of RAW files (isRaw), libheif for the stored size of HEIC/HEIF files. Never throws.
 */
ImageProperties readImageProperties(const QString &path, bool isRaw);

/**
 * Takes the date and orientation tags from the payload of a HEIF "Exif" item: a 4-byte
 * big-endian offset, then that many bytes (usually "Exif\0\0"), then the TIFF structure.
 * A payload that does not fit leaves props as they were.
 */
void readHeifExifItem(const QByteArray &item, ImageProperties &props);

} // namespace mendral

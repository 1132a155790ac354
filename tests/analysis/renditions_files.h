#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

namespace mendral::test {

/**
 * Encodes image as HEIC with libheif (HEVC); orientation (EXIF numbering 1…8) is stored as
 * irot/imir. A non-null thumbnail is embedded as the image's thumbnail (it may show something
 * else, so tests can tell which one was decoded). A non-empty exif block is attached as the
 * image's EXIF item (libheif adds the offset header in front of it).
 */
bool writeHeic(const QString &path, const QImage &image, int orientation = 1, const QImage &thumbnail = {},
               const QByteArray &exif = {});

/**
 * Writes a minimal uncompressed DNG: a 16-bit RGGB mosaic of width × height whose colour
 * follows the image's (scaled to that size), with the given EXIF orientation. A non-null
 * preview is stored as an 8-bit RGB main IFD at its own size (raw data in a SubIFD).
 */
bool writeDng(const QString &path, const QImage &image, int width, int height, int orientation = 1,
              const QImage &preview = {});

/** A picture with a colour in each quarter, for telling orientations apart. */
QImage quadrants(int width, int height);

} // namespace mendral::test

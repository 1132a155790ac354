#pragma once

#include <QImage>
#include <QSize>
#include <QString>

namespace mendral::Analyzer {

/** Files storing more pixels than this are refused: decoding them could exhaust memory. */
inline constexpr qint64 maxSourcePixels = 250'000'000;

/**
 * An upright rendition of the image file at url whose long side is at most maxPixel, never
 * scaled up and never decoded at full size when the decoder can give less. JPEG, PNG, TIFF and
 * WebP go through Qt's readers (EXIF orientation applied), HEIC/HEIF through libheif (its own
 * rotation), RAW through LibRaw (the embedded preview when it is large enough, else a half-size
 * development). Null when the file cannot be read, does not decode or stores more than
 * maxSourcePixels. Pure and thread-safe.
 */
QImage thumbnailImage(const QString &url, int maxPixel);

/** size scaled down to fit maxPixel on its long side, keeping the aspect; never enlarged. */
QSize boundedSize(QSize size, int maxPixel);

} // namespace mendral::Analyzer

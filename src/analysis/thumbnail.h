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
 *
 * thumbnailImageAtLeast: a JPEG whose decoder reaches a long side from minPixel to maxPixel at
 * one of its fast scales (1/2, 1/4, 1/8) is decoded there and not resampled: a rendition for
 * work that can take the smaller size at about half the decoding time. With a minimum, the
 * calling thread keeps the decoded pixels' buffer and decodes its next photo of the same size
 * into it once the rendition has been dropped (a rendition still held is never written).
 */
QImage thumbnailImage(const QString &url, int maxPixel);
QImage thumbnailImageAtLeast(const QString &url, int maxPixel, int minPixel);

/** Lets go of the decode buffer the calling thread keeps for its next photo. */
void releaseDecodeBuffer();

/** size scaled down to fit maxPixel on its long side, keeping the aspect; never enlarged. */
QSize boundedSize(QSize size, int maxPixel);

} // namespace mendral::Analyzer

#pragma once

#include <QImage>

#include <optional>

namespace mendral::Analyzer {

/** Sharpness and exposure figures of one photo, from a small grey copy. */
struct GrayStats {
    float laplacianVariance = 0; // variance of the 4-neighbour Laplacian, grey levels squared, >= 0
    float exposureScore = 0;     // 0…1; 1 = nothing clipped and mean brightness well inside the range
    float brightness = 0;        // mean grey level / 255
    float highlights = 0;        // share of pixels at 250 or above
    float shadows = 0;           // share of pixels at 5 or below
};

/**
 * The image scaled down so that its long side is maxDim (each side at least 8 pixels), as
 * 8-bit RGBA with premultiplied alpha. An image whose long side is already within maxDim comes
 * back unchanged (never scaled up). Null for a null input.
 */
QImage resized(const QImage &image, int maxDim);

/** The largest centred square of the image (odd margins round towards the top left). */
QImage centerSquare(const QImage &image);

/**
 * The grey copy the statistics run on: at most 320 pixels on the long side, each side at least
 * 8. Transparent parts count as black. Null for images narrower than 9 pixels either way.
 */
QImage grayCopy(const QImage &image);

/** The same grey copy at most `maxSide` pixels on its long side (never enlarged). */
QImage grayAt(const QImage &image, int maxSide);

/** Laplacian variance and exposure score of the image's grey copy; nothing when there is none. */
std::optional<GrayStats> grayStats(const QImage &image);

} // namespace mendral::Analyzer

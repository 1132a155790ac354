#pragma once

#include <QImage>

#include <vector>

namespace mendral {

/**
 * How the colours of `image` are spread, whatever its exposure: a histogram of the pixels'
 * chromaticity ((R − G) / (R + G + B) against (R + G − 2B) / (R + G + B)) in 6 × 6 cells, each
 * pixel shared between the four nearest cells. Pixels too dark to have a colour are left out.
 * Sums to 1; all in the grey cell when no pixel has a colour (a black frame). Empty for a
 * null image.
 */
std::vector<float> chromaHistogram(const QImage &image);

/**
 * The scene print: the network's unit-length print joined with the square roots of a chroma
 * histogram into one unit vector. Squared distances between two such prints are a weighted
 * sum of the networks' and of the histograms' (Hellinger) squared distances.
 */
std::vector<float> withColours(const std::vector<float> &print, const std::vector<float> &histogram);

} // namespace mendral

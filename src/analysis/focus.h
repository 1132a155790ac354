#pragma once

#include <QImage>
#include <QRect>

#include <optional>

namespace mendral::Analyzer {

/**
 * Focus of a region of a grey image (Format_Grayscale8; the whole image when `region` is
 * empty): the detail energy at the image's finest scale over the energy one octave coarser,
 * in the most detailed tiles of the region, along the direction (rows, columns or either
 * diagonal) where that ratio is lowest, so a shake in one direction counts. Natural scenes
 * carry about as much detail in every octave, so a frame in focus reads about the same
 * whatever its framing, and an exposure change scales both energies alike and leaves the
 * ratio; blur takes the finest octave first and lowers it. `tile` is the side of a tile in pixels (even, at least 8).
 * Nothing when the region is too small or too flat to tell (a clear or blown sky).
 */
std::optional<float> focusRatio(const QImage &gray, QRect region = {}, int tile = 64);

} // namespace mendral::Analyzer

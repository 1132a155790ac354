#pragma once

#include "model/photo.h"

#include <vector>

namespace mendral::bench {

/**
 * A made-up shoot of n photos over one day: scenes of 1 to 40 frames (some in fast bursts),
 * 480-float scene prints with per-frame noise, people with 128-float face prints in about a
 * third of the scenes, hair and torso colour prints where a face is prominent.
 */
std::vector<Photo> syntheticShoot(int n, unsigned seed);

} // namespace mendral::bench

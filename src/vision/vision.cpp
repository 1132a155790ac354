#include "vision/vision.h"

#include <cmath>

namespace mendral {

QRect toPixelRect(const NormRect &r, int width, int height)
{
    const double left = r.x * width;
    const double top = (1.0 - r.y - r.h) * height;
    const double right = left + r.w * width;
    const double bottom = top + r.h * height;
    // Outwards to whole pixels: origin floored, far edges ceiled.
    const int l = int(std::floor(left)), t = int(std::floor(top));
    const int rr = int(std::ceil(right)), b = int(std::ceil(bottom));
    return QRect(l, t, rr - l, b - t);
}

} // namespace mendral

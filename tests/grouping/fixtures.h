#pragma once

#include "model/photo.h"

#include <QString>

#include <cmath>
#include <optional>
#include <vector>

namespace mendral::test {

/** Unit vector along axis k. */
inline std::vector<float> axis(int k, int dim = 16)
{
    std::vector<float> v(size_t(dim), 0.0f);
    v[size_t(k)] = 1.0f;
    return v;
}

/** Unit vector in the plane of axes a and b whose distance from axis a is d. */
inline std::vector<float> towards(int a, int b, double d, int dim = 16)
{
    const double c = 1.0 - d * d / 2.0;
    std::vector<float> v(size_t(dim), 0.0f);
    v[size_t(a)] = float(c);
    v[size_t(b)] = float(std::sqrt(1.0 - c * c));
    return v;
}

/** A 64-bin colour print with all its weight in one bin. */
inline std::vector<float> colour(int bin)
{
    std::vector<float> h(64, 0.0f);
    h[size_t(bin)] = 1.0f;
    return h;
}

/** An analysed photo named IMG_<number>.JPG taken at t seconds, optionally with a print. */
inline Photo shot(int number, double t, std::optional<std::vector<float>> print = {})
{
    Photo p(QStringLiteral("/card/DCIM/IMG_%1.JPG").arg(number, 4, 10, QLatin1Char('0')), {},
            t, 1000, 6000, 4000, false);
    p.featurePrint = std::move(print);
    p.analyzed = true;
    return p;
}

/** Gives a photo one face of the given side and face print. */
inline Photo &withFace(Photo &p, float side, std::vector<float> face)
{
    p.faceCount = 1;
    p.mainFaceSide = side;
    p.facePrints = {std::move(face)};
    return p;
}

} // namespace mendral::test

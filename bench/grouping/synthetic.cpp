#include "synthetic.h"

#include <cmath>
#include <random>

namespace mendral::bench {

namespace {

std::vector<float> unit(std::vector<float> v)
{
    double sum = 0;
    for (float x : v)
        sum += double(x) * x;
    const float scale = float(1.0 / std::sqrt(sum));
    for (float &x : v)
        x *= scale;
    return v;
}

std::vector<float> randomVector(std::mt19937 &rng, int dim)
{
    std::normal_distribution<float> g;
    std::vector<float> v(static_cast<size_t>(dim));
    for (float &x : v)
        x = g(rng);
    return unit(v);
}

std::vector<float> jitter(std::mt19937 &rng, const std::vector<float> &base, float amount)
{
    std::normal_distribution<float> g(0.0f, amount);
    std::vector<float> v = base;
    for (float &x : v)
        x += g(rng);
    return unit(v);
}

std::vector<float> histogram(std::mt19937 &rng)
{
    std::vector<float> h(64, 0.0f);
    std::uniform_int_distribution<int> bin(0, 63);
    for (int k = 0; k < 256; ++k)
        h[size_t(bin(rng))] += 1.0f / 256.0f;
    return h;
}

} // namespace

std::vector<Photo> syntheticShoot(int n, unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> uniform(0.0, 1.0);
    std::vector<Photo> photos;
    photos.reserve(size_t(n));
    // Spread the shoot over one day: the mean spacing leaves room for the scenes' own spans.
    const double day = 86000.0;
    double t = 0.0;
    while (int(photos.size()) < n) {
        const int frames = 1 + int(std::pow(uniform(rng), 2.0) * 40.0);
        const bool burst = uniform(rng) < 0.3;
        const auto scene = randomVector(rng, 480);
        const float noise = float(0.002 + uniform(rng) * 0.004);
        const int people = uniform(rng) < 0.35 ? 1 + int(uniform(rng) * 3) : 0;
        std::vector<std::vector<float>> faces;
        for (int k = 0; k < people; ++k)
            faces.push_back(randomVector(rng, 128));
        const float side = people ? float(0.03 + uniform(rng) * 0.15) : 0.0f;
        const auto hair = histogram(rng);
        const auto torso = histogram(rng);
        for (int f = 0; f < frames && int(photos.size()) < n; ++f) {
            const int number = int(photos.size());
            Photo p(QStringLiteral("/shoot/IMG_%1.JPG").arg(number, 5, 10, QLatin1Char('0')),
                    {}, t, 8000000, 6000, 4000, false);
            p.analyzed = true;
            p.sharpness = float(50.0 + uniform(rng) * 400.0);
            p.exposure = float(0.2 + uniform(rng) * 0.8);
            if (uniform(rng) > 0.01) // a few photos could not be analysed for a print
                p.featurePrint = jitter(rng, scene, noise);
            p.faceCount = people;
            p.humanCount = people;
            p.mainFaceSide = side;
            if (people) {
                p.faceQuality = float(uniform(rng));
                p.eyeOpen = float(uniform(rng));
                for (const auto &face : faces)
                    p.facePrints.push_back(jitter(rng, face, 0.01f));
                if (side >= 0.09f) {
                    p.hairPrint = hair;
                    p.torsoPrint = torso;
                }
            }
            photos.push_back(std::move(p));
            t += burst ? 0.3 : 2.0 + uniform(rng) * 10.0;
        }
        t += uniform(rng) * 2.0 * day / n * 12.0;
    }
    // Squeeze everything into the day.
    const double span = photos.back().captureDate;
    if (span > day)
        for (Photo &p : photos)
            p.captureDate *= day / span;
    return photos;
}

} // namespace mendral::bench

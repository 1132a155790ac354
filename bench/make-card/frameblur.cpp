#include "frameblur.h"

#include <algorithm>
#include <cmath>

namespace mendral::card {

namespace {

constexpr int kStrip = 64; // columns blurred together, so rows are read sequentially

/** Box radius and outer-tap weight of one pass whose variance is `variance`. */
struct Box {
    int r = 0;
    float alpha = 0;
};

Box boxFor(double variance)
{
    // A box of radius r has variance r(r+1)/3; weight a on the taps at +-(r+1) adds to it:
    // v = ((2r+1) r(r+1)/3 + 2a (r+1)^2) / (2r+1+2a), solved for a with the largest r that fits.
    Box b;
    b.r = int(std::floor((std::sqrt(12.0 * variance + 1.0) - 1.0) / 2.0));
    const double r = b.r, base = r * (r + 1) / 3.0;
    b.alpha = float((2 * r + 1) * (variance - base) / (2.0 * ((r + 1) * (r + 1) - variance)));
    return b;
}

/**
 * One pass along n samples of `lanes` interleaved values each (a row of pixels, or a strip of
 * columns); the edges repeat the outermost sample.
 */
void pass(float *data, int n, int lanes, Box box, std::vector<float> &out, std::vector<float> &sum)
{
    const int r = box.r;
    const float a = box.alpha, norm = 1.0f / float(2 * r + 1 + 2 * box.alpha);
    auto at = [&](int i) { return data + size_t(std::clamp(i, 0, n - 1)) * size_t(lanes); };
    out.resize(size_t(n) * size_t(lanes));
    sum.assign(size_t(lanes), 0.0f);
    for (int k = -r; k <= r; ++k) {
        const float *s = at(k);
        for (int l = 0; l < lanes; ++l)
            sum[size_t(l)] += s[l];
    }
    for (int i = 0; i < n; ++i) {
        const float *lo = at(i - r - 1), *hi = at(i + r + 1), *leave = at(i - r);
        float *o = out.data() + size_t(i) * size_t(lanes);
        for (int l = 0; l < lanes; ++l) {
            o[l] = (sum[size_t(l)] + a * (lo[l] + hi[l])) * norm;
            sum[size_t(l)] += hi[l] - leave[l];
        }
    }
    std::copy(out.begin(), out.end(), data);
}

uchar toByte(float v) { return uchar(std::clamp(int(v + 0.5f), 0, 255)); }

} // namespace

double blur(QImage &image, double sigma)
{
    if (sigma <= 0 || image.isNull())
        return 0;
    image = image.convertToFormat(QImage::Format_RGB32);
    const int w = image.width(), h = image.height();
    if (w < 2 || h < 2)
        return 0;
    const Box box = boxFor(sigma * sigma / 3.0);
    std::vector<float> line, out, sum;
    // Rows: the three colour bytes of each pixel are the lanes.
    line.resize(size_t(w) * 3);
    for (int y = 0; y < h; ++y) {
        uchar *row = image.scanLine(y);
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < 3; ++c)
                line[size_t(x) * 3 + size_t(c)] = row[x * 4 + c];
        for (int p = 0; p < 3; ++p)
            pass(line.data(), w, 3, box, out, sum);
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < 3; ++c)
                row[x * 4 + c] = toByte(line[size_t(x) * 3 + size_t(c)]);
    }
    // Columns, a strip at a time.
    for (int x0 = 0; x0 < w; x0 += kStrip) {
        const int cols = std::min(kStrip, w - x0), lanes = cols * 3;
        line.resize(size_t(h) * size_t(lanes));
        for (int y = 0; y < h; ++y) {
            const uchar *row = image.constScanLine(y) + x0 * 4;
            float *l = line.data() + size_t(y) * size_t(lanes);
            for (int x = 0; x < cols; ++x)
                for (int c = 0; c < 3; ++c)
                    l[x * 3 + c] = row[x * 4 + c];
        }
        for (int p = 0; p < 3; ++p)
            pass(line.data(), h, lanes, box, out, sum);
        for (int y = 0; y < h; ++y) {
            uchar *row = image.scanLine(y) + x0 * 4;
            const float *l = line.data() + size_t(y) * size_t(lanes);
            for (int x = 0; x < cols; ++x)
                for (int c = 0; c < 3; ++c)
                    row[x * 4 + c] = toByte(l[x * 3 + c]);
        }
    }
    return sigma;
}

double motionBlur(QImage &image, double length, double angle)
{
    if (length <= 0 || image.isNull())
        return 0;
    image = image.convertToFormat(QImage::Format_RGB32);
    const int w = image.width(), h = image.height();
    // Taps at most a pixel apart along the line, the two ends at half weight (a trapezoid
    // sum of the continuous line); each tap is a bilinear sample at a fixed offset, so its
    // four weights hold for the whole image.
    const int taps = std::max(2, int(std::ceil(length)) + 1);
    const int pad = int(std::ceil(length / 2)) + 2;
    struct Tap {
        int dx, dy;
        uint32_t w[4];
    };
    std::vector<Tap> kernel;
    double total = 0;
    for (int k = 0; k < taps; ++k)
        total += (k == 0 || k == taps - 1) ? 0.5 : 1.0;
    uint32_t given = 0;
    for (int k = 0; k < taps; ++k) {
        const double t = -length / 2 + length * k / (taps - 1);
        const double x = t * std::cos(angle), y = t * std::sin(angle);
        const double weight = ((k == 0 || k == taps - 1) ? 0.5 : 1.0) / total;
        const int x0 = int(std::floor(x)), y0 = int(std::floor(y));
        const double fx = x - x0, fy = y - y0;
        const double parts[4] = {(1 - fx) * (1 - fy), fx * (1 - fy), (1 - fx) * fy, fx * fy};
        Tap tap{x0, y0, {}};
        for (int i = 0; i < 4; ++i) {
            tap.w[i] = uint32_t(std::lround(weight * parts[i] * 65536.0));
            given += tap.w[i];
        }
        kernel.push_back(tap);
    }
    // Rounding leftovers go to the centre tap so that flat areas stay exactly flat.
    Tap &centre = kernel[size_t(taps / 2)];
    const uint32_t *biggest = std::max_element(centre.w, centre.w + 4);
    centre.w[biggest - centre.w] += 65536 - given;

    // A copy with repeated edges, so the inner loop never checks bounds.
    const int pw = w + 2 * pad, ph = h + 2 * pad;
    std::vector<uchar> padded(size_t(pw) * size_t(ph) * 4);
    for (int py = 0; py < ph; ++py) {
        const uchar *src = image.constScanLine(std::clamp(py - pad, 0, h - 1));
        uchar *dst = padded.data() + size_t(py) * size_t(pw) * 4;
        for (int px = 0; px < pw; ++px)
            std::copy_n(src + std::clamp(px - pad, 0, w - 1) * 4, 4, dst + px * 4);
    }
    const size_t rowBytes = size_t(w) * 4, stride = size_t(pw) * 4;
    std::vector<uint32_t> acc(rowBytes);
    for (int y = 0; y < h; ++y) {
        std::fill(acc.begin(), acc.end(), 32768u);
        for (const Tap &t : kernel) {
            const uchar *r0 = padded.data() + size_t(y + pad + t.dy) * stride + size_t(pad + t.dx) * 4;
            const uchar *r1 = r0 + stride;
            const uint32_t w0 = t.w[0], w1 = t.w[1], w2 = t.w[2], w3 = t.w[3];
            for (size_t i = 0; i < rowBytes; ++i)
                acc[i] += w0 * r0[i] + w1 * r0[i + 4] + w2 * r1[i] + w3 * r1[i + 4];
        }
        uchar *out = image.scanLine(y);
        for (size_t i = 0; i < rowBytes; ++i)
            out[i] = uchar(acc[i] >> 16);
    }
    return length;
}

bool blurEllipses(QImage &image, const std::vector<QRectF> &ellipses, double sigma)
{
    bool touched = false;
    image = image.convertToFormat(QImage::Format_RGB32);
    const QRect bounds = image.rect();
    for (const QRectF &e : ellipses) {
        const QRect area = e.toAlignedRect().intersected(bounds);
        if (area.isEmpty() || sigma <= 0)
            continue;
        // Blur a padded piece so that the blur inside the ellipse sees real neighbours.
        const int margin = int(std::ceil(3 * sigma)) + 2;
        const QRect piece = area.adjusted(-margin, -margin, margin, margin).intersected(bounds);
        QImage blurred = image.copy(piece);
        blur(blurred, sigma);
        const double cx = e.center().x(), cy = e.center().y();
        const double rx = e.width() / 2, ry = e.height() / 2;
        for (int y = area.top(); y <= area.bottom(); ++y) {
            uchar *row = image.scanLine(y);
            const uchar *soft = blurred.constScanLine(y - piece.top());
            for (int x = area.left(); x <= area.right(); ++x) {
                const double dx = (x + 0.5 - cx) / rx, dy = (y + 0.5 - cy) / ry;
                const double d = std::sqrt(dx * dx + dy * dy);
                if (d >= 1)
                    continue;
                // Full blur inside three quarters of the radius, a smooth fade beyond.
                const double t = std::clamp((1.0 - d) / 0.25, 0.0, 1.0);
                const double weight = t * t * (3 - 2 * t);
                for (int c = 0; c < 3; ++c) {
                    const int i = x * 4 + c, j = (x - piece.left()) * 4 + c;
                    row[i] = uchar(std::lround(row[i] + weight * (soft[j] - row[i])));
                }
            }
        }
        touched = true;
    }
    return touched;
}

} // namespace mendral::card

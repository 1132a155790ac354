#include "framerender.h"

#include <QImageReader>

#include <algorithm>
#include <cmath>
#include <vector>

namespace mendral::card {

namespace {

// Room left around the frame for crops and shifts (see the limits in the plan).
constexpr double kMargin = 1.16;

/** One box pass along rows: each channel value becomes the mean of 2r+1 neighbours. */
void boxRows(uchar *bits, int width, int height, qsizetype stride, int r, std::vector<int> &line)
{
    const int window = 2 * r + 1;
    line.resize(size_t(width) * 4);
    for (int y = 0; y < height; ++y) {
        uchar *row = bits + y * stride;
        for (int c = 0; c < 4; ++c) {
            // Edges repeat the outermost pixel.
            int sum = 0;
            for (int k = -r; k <= r; ++k)
                sum += row[std::clamp(k, 0, width - 1) * 4 + c];
            for (int x = 0; x < width; ++x) {
                line[size_t(x) * 4 + size_t(c)] = sum;
                const int out = std::max(x - r, 0), in = std::min(x + r + 1, width - 1);
                sum += row[in * 4 + c] - row[out * 4 + c];
            }
        }
        for (int i = 0; i < width * 4; ++i)
            row[i] = uchar((line[size_t(i)] + window / 2) / window);
    }
}

/** One box pass along columns, walking rows in order so memory is read sequentially. */
void boxColumns(uchar *bits, int width, int height, qsizetype stride, int r, std::vector<int> &sums,
                std::vector<uchar> &copy)
{
    const int window = 2 * r + 1;
    const size_t rowBytes = size_t(width) * 4;
    copy.resize(rowBytes * size_t(height));
    for (int y = 0; y < height; ++y)
        std::copy_n(bits + y * stride, rowBytes, copy.data() + size_t(y) * rowBytes);
    auto src = [&](int y) { return copy.data() + size_t(std::clamp(y, 0, height - 1)) * rowBytes; };
    sums.assign(rowBytes, 0);
    for (int k = -r; k <= r; ++k) {
        const uchar *row = src(k);
        for (size_t i = 0; i < rowBytes; ++i)
            sums[i] += row[i];
    }
    for (int y = 0; y < height; ++y) {
        uchar *out = bits + y * stride;
        const uchar *leaving = src(y - r), *entering = src(y + r + 1);
        for (size_t i = 0; i < rowBytes; ++i) {
            out[i] = uchar((sums[i] + window / 2) / window);
            sums[i] += entering[i] - leaving[i];
        }
    }
}

} // namespace

QSize frameSize(QSize sourceSize, int longSide)
{
    const int shortSide = longSide * 3 / 4;
    return sourceSize.height() > sourceSize.width() ? QSize(shortSide, longSide)
                                                    : QSize(longSide, shortSide);
}

QImage loadBase(const QString &path, int longSide, QSize *frame)
{
    QImageReader reader(path);
    reader.setAutoTransform(true);
    QImage source = reader.read();
    if (source.isNull())
        return {};
    *frame = frameSize(source.size(), longSide);
    const QSize cover = (QSizeF(*frame) * kMargin).toSize();
    return source.scaled(cover, Qt::KeepAspectRatioByExpanding, Qt::SmoothTransformation)
        .convertToFormat(QImage::Format_RGB32);
}

QImage renderFrame(const QImage &base, QSize size, const Frame &frame, double *appliedSigma)
{
    const double cw = size.width() / frame.zoom, ch = size.height() / frame.zoom;
    const double cx = base.width() / 2.0 + frame.shiftX * size.width();
    const double cy = base.height() / 2.0 + frame.shiftY * size.height();
    const int left = std::clamp(int(std::lround(cx - cw / 2)), 0, std::max(0, base.width() - int(cw)));
    const int top = std::clamp(int(std::lround(cy - ch / 2)), 0, std::max(0, base.height() - int(ch)));
    QImage image = base.copy(left, top, int(cw), int(ch));
    if (image.size() != size)
        image = image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    image = image.convertToFormat(QImage::Format_RGB32);
    applyGain(image, frame.gain);
    const double sigma = blur(image, frame.blurSigma);
    if (appliedSigma)
        *appliedSigma = sigma;
    return image;
}

void applyGain(QImage &image, double gain)
{
    if (std::abs(gain - 1.0) < 1e-9)
        return;
    uchar table[256];
    for (int v = 0; v < 256; ++v) {
        const double linear = std::pow(v / 255.0, 2.2) * gain;
        table[v] = uchar(std::lround(255.0 * std::pow(std::min(linear, 1.0), 1.0 / 2.2)));
    }
    image = image.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        uchar *row = image.scanLine(y);
        for (int i = 0; i < image.width() * 4; ++i)
            row[i] = table[row[i]];
    }
}

double blur(QImage &image, double sigma)
{
    if (sigma <= 0 || image.isNull())
        return 0;
    // Three passes of a box of width w have variance 3 (w^2 - 1) / 12.
    const int r = std::max(1, int(std::lround((std::sqrt(4.0 * sigma * sigma + 1.0) - 1.0) / 2.0)));
    image = image.convertToFormat(QImage::Format_RGB32);
    const int w = image.width(), h = image.height();
    if (w < 2 || h < 2)
        return 0;
    std::vector<int> line;
    std::vector<uchar> copy;
    for (int pass = 0; pass < 3; ++pass)
        boxRows(image.bits(), w, h, image.bytesPerLine(), r, line);
    for (int pass = 0; pass < 3; ++pass)
        boxColumns(image.bits(), w, h, image.bytesPerLine(), r, line, copy);
    const int width = 2 * r + 1;
    return std::sqrt(3.0 * (width * width - 1) / 12.0);
}

} // namespace mendral::card

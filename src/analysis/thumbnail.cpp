#include "thumbnail.h"

#include "platform/filepath.h"
#include "scan/scanner.h"

#include <QBuffer>
#include <QColorSpace>
#include <QFile>
#include <QImageReader>
#include <QTransform>

#include <libheif/heif.h>
#include <libraw/libraw.h>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <memory>
#include <mutex>
#include <vector>

namespace mendral::Analyzer {

namespace {

bool tooManyPixels(qint64 w, qint64 h)
{
    return w <= 0 || h <= 0 || w * h > maxSourcePixels;
}

// A bilinear resample of an opaque 8-bit image; null for other formats.
QImage bilinear(const QImage &image, QSize target)
{
    int type = -1;
    switch (image.format()) {
    case QImage::Format_RGB32: type = CV_8UC4; break;
    case QImage::Format_RGB888: type = CV_8UC3; break;
    case QImage::Format_Grayscale8: type = CV_8UC1; break;
    default: return {};
    }
    QImage out(target, image.format());
    if (out.isNull())
        return {};
    const cv::Mat from(image.height(), image.width(), type, const_cast<uchar *>(image.constBits()),
                       size_t(image.bytesPerLine()));
    cv::Mat to(out.height(), out.width(), type, out.bits(), size_t(out.bytesPerLine()));
    cv::resize(from, to, to.size(), 0, 0, cv::INTER_LINEAR);
    out.setColorSpace(image.colorSpace());
    out.setDotsPerMeterX(image.dotsPerMeterX());
    out.setDotsPerMeterY(image.dotsPerMeterY());
    return out;
}

// Scales a decoded picture down to the bound (never up). A reduction to no less than half
// the size, as from libjpeg's nearest scale, is a bilinear resample: it does not alias there,
// and OpenCV does it in about a third of the time of Qt's smooth scaling (2500 to 2400
// pixels: 10 against 27 ms). Stronger reductions average, as Qt's smooth scaling does.
QImage fitted(const QImage &image, int maxPixel)
{
    if (image.isNull())
        return {};
    const QSize target = boundedSize(image.size(), maxPixel);
    if (target == image.size())
        return image;
    if (2 * target.width() >= image.width() && 2 * target.height() >= image.height())
        if (QImage out = bilinear(image, target); !out.isNull())
            return out;
    return image.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

// The size to ask a reader for: for JPEG, the smallest of libjpeg's scales (M/8 of the
// stored size, rounded up) that covers `target`, which the decoder reaches without a
// resample of its own; fitted() takes it the rest of the way. Only 1/8, 2/8 and 4/8 have
// libjpeg-turbo's SIMD paths: a 4000-pixel file takes 19 ms at 4/8 but 35 ms at 5/8 (and the
// 2500 pixels then cost a resample), so one of those wins when it lands from minPixel to
// maxPixel.
QSize decodedSize(QImageReader &reader, QSize stored, QSize target, int minPixel)
{
    if (reader.format() != "jpeg")
        return target;
    const auto atScale = [&stored](int m) {
        return QSize((stored.width() * m + 7) / 8, (stored.height() * m + 7) / 8);
    };
    const int maxPixel = std::max(target.width(), target.height());
    if (minPixel > 0 && std::max(stored.width(), stored.height()) > maxPixel)
        for (int m : {4, 2, 1}) {
            const QSize scaled = atScale(m);
            const int longSide = std::max(scaled.width(), scaled.height());
            if (longSide >= minPixel && longSide <= maxPixel)
                return scaled;
        }
    for (int m = 1; m < 8; ++m) {
        const QSize scaled = atScale(m);
        if (scaled.width() >= target.width() && scaled.height() >= target.height())
            return scaled;
    }
    return stored;
}

// ---- Qt readers: JPEG, PNG, TIFF, WebP ----

void allowLargeAllocationsOnce()
{
    // Qt refuses images above 128 MB by default, which rules out a 40-megapixel TIFF; the pixel
    // bound is checked before every read, so allow what that bound needs.
    static std::once_flag once;
    std::call_once(once, [] {
        QImageReader::setAllocationLimit(int(maxSourcePixels * 4 / (1024 * 1024)) + 64);
    });
}

// The pixels of the last analysis decode of this thread, decoded into again by the next one
// (Qt's JPEG reader writes into an image of the right size and format rather than allocating).
// A fresh 12-MB buffer per photo was paid for in page faults, a tenth of the analysis's CPU; a
// card's photos mostly share one size. The buffer is free again once the caller has dropped
// the rendition, and goes with the thread.
QImage &reusedDecodeBuffer()
{
    thread_local QImage buffer;
    return buffer;
}

QImage readScaled(QImageReader &reader, int maxPixel, int minPixel = 0, QImage *into = nullptr)
{
    // The stored size, before any EXIF rotation; the scaled size is given in the same frame
    // (giving it upright would distort a rotated image).
    const QSize stored = reader.size();
    if (!stored.isValid() || tooManyPixels(stored.width(), stored.height()))
        return {};
    const QSize target = boundedSize(stored, maxPixel);
    if (const QSize decoded = decodedSize(reader, stored, target, minPixel); decoded != stored)
        reader.setScaledSize(decoded);
    if (!into)
        return fitted(reader.read(), maxPixel);
    // A rendition still held elsewhere keeps its pixels: the reader gets a new buffer.
    if (!into->isDetached())
        *into = QImage();
    into->setColorSpace(QColorSpace());
    if (!reader.read(into))
        return {};
    return fitted(*into, maxPixel);
}

QImage readWithQt(QFile &file, int maxPixel, int minPixel)
{
    allowLargeAllocationsOnce();
    QImageReader reader(&file);
    reader.setAutoTransform(true);
    return readScaled(reader, maxPixel, minPixel, minPixel > 0 ? &reusedDecodeBuffer() : nullptr);
}

// ---- libheif: HEIC, HEIF ----

bool looksLikeHeif(QFile &file)
{
    const QByteArray head = file.peek(64);
    if (head.size() < 12)
        return false;
    const heif_filetype_result r =
        heif_check_filetype(reinterpret_cast<const uint8_t *>(head.constData()), int(head.size()));
    return r == heif_filetype_yes_supported || r == heif_filetype_maybe;
}

QImage decodeHeif(const heif_image_handle *handle)
{
    const bool alpha = heif_image_handle_has_alpha_channel(handle) != 0;
    heif_decoding_options *options = heif_decoding_options_alloc();
    options->convert_hdr_to_8bit = 1;
    heif_image *img = nullptr;
    const heif_error err = heif_decode_image(handle, &img, heif_colorspace_RGB,
                                             alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB,
                                             options);
    heif_decoding_options_free(options);
    if (err.code != heif_error_Ok || !img)
        return {};
    QImage out;
    int stride = 0;
    const uint8_t *plane = heif_image_get_plane_readonly(img, heif_channel_interleaved, &stride);
    const int w = heif_image_get_width(img, heif_channel_interleaved);
    const int h = heif_image_get_height(img, heif_channel_interleaved);
    if (plane && w > 0 && h > 0 && heif_image_get_bits_per_pixel_range(img, heif_channel_interleaved) == 8) {
        // Wrap, then copy: the plane belongs to the heif image freed below.
        out = QImage(plane, w, h, stride, alpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888).copy();
    }
    heif_image_release(img);
    return out;
}

// The smallest embedded thumbnail whose long side reaches maxPixel, or null.
heif_image_handle *heifThumbnailFor(const heif_image_handle *primary, int maxPixel)
{
    const int n = heif_image_handle_get_number_of_thumbnails(primary);
    if (n <= 0)
        return nullptr;
    std::vector<heif_item_id> ids(static_cast<size_t>(n));
    heif_image_handle_get_list_of_thumbnail_IDs(primary, ids.data(), n);
    heif_image_handle *best = nullptr;
    int bestLong = 0;
    for (heif_item_id id : ids) {
        heif_image_handle *thumb = nullptr;
        if (heif_image_handle_get_thumbnail(primary, id, &thumb).code != heif_error_Ok || !thumb)
            continue;
        const int w = heif_image_handle_get_width(thumb);
        const int h = heif_image_handle_get_height(thumb);
        const int longSide = std::max(w, h);
        if (!tooManyPixels(w, h) && longSide >= maxPixel && (!best || longSide < bestLong)) {
            if (best)
                heif_image_handle_release(best);
            best = thumb;
            bestLong = longSide;
        } else {
            heif_image_handle_release(thumb);
        }
    }
    return best;
}

QImage readHeif(const QByteArray &path, int maxPixel)
{
    std::unique_ptr<heif_context, decltype(&heif_context_free)> ctx(heif_context_alloc(), heif_context_free);
    if (!ctx || heif_context_read_from_file(ctx.get(), path.constData(), nullptr).code != heif_error_Ok)
        return {};
    heif_image_handle *primary = nullptr;
    if (heif_context_get_primary_image_handle(ctx.get(), &primary).code != heif_error_Ok || !primary)
        return {};
    QImage out;
    // ispe is the stored size, before libheif applies the file's rotation.
    if (!tooManyPixels(heif_image_handle_get_ispe_width(primary), heif_image_handle_get_ispe_height(primary))) {
        if (heif_image_handle *thumb = heifThumbnailFor(primary, maxPixel)) {
            out = decodeHeif(thumb);
            heif_image_handle_release(thumb);
        }
        if (out.isNull())
            out = decodeHeif(primary);
    }
    heif_image_handle_release(primary);
    return fitted(out, maxPixel);
}

// ---- LibRaw: camera RAW ----

// LibRaw's flip code: 3 = upside down, 5 = turned a quarter anticlockwise, 6 = clockwise.
QImage applyFlip(const QImage &image, int flip)
{
    int degrees = 0;
    switch (flip) {
    case 3: degrees = 180; break;
    case 5: degrees = 270; break;
    case 6: degrees = 90; break;
    default: return image;
    }
    return image.transformed(QTransform().rotate(degrees));
}

QImage fromProcessed(const libraw_processed_image_t *p, int maxPixel)
{
    if (!p)
        return {};
    if (p->type == LIBRAW_IMAGE_JPEG) {
        QByteArray data = QByteArray::fromRawData(reinterpret_cast<const char *>(p->data), int(p->data_size));
        QBuffer buffer(&data);
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer);
        reader.setAutoTransform(false); // LibRaw's flip is the orientation that counts
        return readScaled(reader, maxPixel);
    }
    if (p->type != LIBRAW_IMAGE_BITMAP || p->bits != 8 || tooManyPixels(p->width, p->height))
        return {};
    const qsizetype stride = qsizetype(p->width) * p->colors;
    if (p->colors != 3 && p->colors != 1)
        return {};
    // Over LibRaw's pixels, scaled from there: a full-size copy first would cost as much
    // memory again as the developed image.
    const QImage over(p->data, p->width, p->height, stride,
                      p->colors == 3 ? QImage::Format_RGB888 : QImage::Format_Grayscale8);
    QImage out = maxPixel > 0 ? fitted(over, maxPixel) : over;
    if (out.constBits() == over.constBits())
        out = out.copy(); // still LibRaw's memory, which is freed next
    return out;
}

QImage rawPreview(LibRaw &raw, int maxPixel)
{
    if (raw.unpack_thumb() != LIBRAW_SUCCESS)
        return {};
    int err = 0;
    libraw_processed_image_t *p = raw.dcraw_make_mem_thumb(&err);
    QImage out = fromProcessed(p, maxPixel);
    LibRaw::dcraw_clear_mem(p);
    return out;
}

QImage rawHalfSize(LibRaw &raw, int maxPixel)
{
    // A development holds the unpacked sensor data and LibRaw's working image at once (heaptrack
    // put two of them at 384 MB, the peak of a whole import). One at a time: a second analysis
    // thread waits here only while it too has a RAW file to develop.
    static std::mutex developing;
    const std::lock_guard<std::mutex> one(developing);
    releaseDecodeBuffer(); // idle while this thread develops, and as large as a photo
#ifdef __GLIBC__
    // The development's hundreds of MB come on top of what the process holds; memory that
    // analyses freed and the allocator kept is handed back first, or the peak is the sum.
    malloc_trim(0);
#endif
    raw.imgdata.params.half_size = 1;
    raw.imgdata.params.use_camera_wb = 1;
    raw.imgdata.params.output_bps = 8;
    if (raw.unpack() != LIBRAW_SUCCESS || raw.dcraw_process() != LIBRAW_SUCCESS)
        return {};
    int err = 0;
    libraw_processed_image_t *p = raw.dcraw_make_mem_image(&err);
    // The sensor data and working image (192 MB for a 12-MP linear DNG, which LibRaw develops
    // at full size) go before the developed image is scaled; the image is LibRaw's own
    // allocation and outlives them.
    raw.recycle();
    QImage out = fromProcessed(p, maxPixel);
    LibRaw::dcraw_clear_mem(p);
    return out;
}

QImage readRaw(const QByteArray &path, int maxPixel)
{
    auto raw = std::make_unique<LibRaw>();
    if (raw->open_file(path.constData()) != LIBRAW_SUCCESS)
        return {};
    const libraw_image_sizes_t &sizes = raw->imgdata.sizes;
    if (tooManyPixels(sizes.raw_width, sizes.raw_height))
        return {};
    const int flip = sizes.flip;
    // A half-size development is no larger than this; a preview at least as large is as good.
    const int halfLong = std::max<int>(sizes.width, sizes.height) / 2;
    const libraw_thumbnail_t &thumb = raw->imgdata.thumbnail;
    const int thumbLong = std::max<int>(thumb.twidth, thumb.theight);
    const bool thumbUnknown = thumb.twidth == 0 || thumb.theight == 0;
    if (thumb.tlength > 0 && (thumbUnknown || thumbLong >= std::min(maxPixel, halfLong))) {
        const QImage preview = rawPreview(*raw, maxPixel);
        // A preview smaller than asked would have to be scaled up: develop instead.
        const int previewLong = std::max(preview.width(), preview.height());
        if (!preview.isNull() && (previewLong >= maxPixel || previewLong >= halfLong))
            return fitted(applyFlip(preview, flip), maxPixel);
        // A preview LibRaw could not read leaves it refusing every later call: develop the file
        // from a fresh start.
        if (preview.isNull()) {
            raw->recycle();
            if (raw->open_file(path.constData()) != LIBRAW_SUCCESS)
                return {};
        }
    }
    // dcraw_process already turns the developed image upright.
    return rawHalfSize(*raw, maxPixel);
}

} // namespace

void releaseDecodeBuffer()
{
    reusedDecodeBuffer() = QImage();
}

QSize boundedSize(QSize size, int maxPixel)
{
    const int w = size.width();
    const int h = size.height();
    const int longSide = std::max(w, h);
    if (w <= 0 || h <= 0 || maxPixel <= 0 || longSide <= maxPixel)
        return size;
    const double f = double(maxPixel) / double(longSide);
    const int sw = std::max(1, int(w * f + 0.5));
    const int sh = std::max(1, int(h * f + 0.5));
    return w >= h ? QSize(maxPixel, sh) : QSize(sw, maxPixel);
}

QImage thumbnailImage(const QString &url, int maxPixel)
{
    return thumbnailImageAtLeast(url, maxPixel, 0);
}

QImage thumbnailImageAtLeast(const QString &url, int maxPixel, int minPixel)
{
    if (maxPixel <= 0)
        return {};
    // Only regular files: opening a FIFO would wait for a writer forever.
    const auto st = statFile(url);
    if (!st || !st->isRegular)
        return {};
    try {
        const QByteArray path = pathToBytes(url);
        if (Scanner::rawExts().contains(lowerExtension(url)))
            return readRaw(path, maxPixel);
        QFile file;
        if (!openForReading(file, url))
            return {};
        // By content, so a HEIC named .jpg still decodes.
        if (looksLikeHeif(file)) {
            file.close();
            return readHeif(path, maxPixel);
        }
        return readWithQt(file, maxPixel, minPixel);
    } catch (...) {
        // LibRaw and allocation failures: no rendition.
        return {};
    }
}

} // namespace mendral::Analyzer

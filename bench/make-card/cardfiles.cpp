#include "cardfiles.h"

#include <QDateTime>
#include <QImageWriter>

#include <exiv2/exiv2.hpp>
#include <libheif/heif.h>
#include <tiffio.h>

#include <cmath>
#include <mutex>
#include <vector>

namespace mendral::card {

namespace {

// exiv2's registries are shared; keep its use on one thread at a time.
std::mutex &exivLock()
{
    static std::mutex lock;
    return lock;
}

void fillExif(Exiv2::ExifData &exif, const ExifTime &time)
{
    const std::string when = time.dateTime.toStdString();
    exif["Exif.Photo.DateTimeOriginal"] = when;
    exif["Exif.Photo.SubSecTimeOriginal"] = time.subSec.toStdString();
    exif["Exif.Image.DateTime"] = when;
    exif["Exif.Image.Make"] = "Mendral";
    exif["Exif.Image.Model"] = "Test Card";
}

// The DNG photometric value for demosaiced (linear RGB) raw data.
constexpr uint16_t kLinearRaw = 34892;

/** RGB rows of an image, 8 bits per channel. */
QImage rgb888(const QImage &image) { return image.convertToFormat(QImage::Format_RGB888); }

bool writeRgbStrips(TIFF *tif, const QImage &rgb)
{
    for (int y = 0; y < rgb.height(); ++y)
        if (TIFFWriteScanline(tif, const_cast<uchar *>(rgb.constScanLine(y)), uint32_t(y), 0) < 0)
            return false;
    return true;
}

void setRgbImage(TIFF *tif, const QImage &rgb, int bits, uint16_t photometric, uint32_t subfile)
{
    TIFFSetField(tif, TIFFTAG_SUBFILETYPE, subfile);
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t(rgb.width()));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, uint32_t(rgb.height()));
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, uint16_t(bits));
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, uint16_t(3));
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, photometric);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
    // Previews in one strip: LibRaw reads an uncompressed preview only as a single block.
    const bool reduced = subfile == FILETYPE_REDUCEDIMAGE;
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP,
                 reduced ? uint32_t(rgb.height()) : TIFFDefaultStripSize(tif, 0));
}

} // namespace

ExifTime exifTime(double secondsSinceEpoch)
{
    const qint64 ms = qint64(std::llround(secondsSinceEpoch * 1000.0));
    const QDateTime local = QDateTime::fromMSecsSinceEpoch(ms - ms % 1000);
    return {local.toString(QStringLiteral("yyyy:MM:dd HH:mm:ss")),
            QStringLiteral("%1").arg(int(ms % 1000), 3, 10, QLatin1Char('0'))};
}

bool writeExif(const QString &path, const ExifTime &time)
{
    std::lock_guard guard(exivLock());
    try {
        auto image = Exiv2::ImageFactory::open(path.toStdString());
        if (!image.get())
            return false;
        image->readMetadata();
        Exiv2::ExifData exif = image->exifData();
        fillExif(exif, time);
        image->setExifData(exif);
        image->writeMetadata();
        return true;
    } catch (const std::exception &) {
        return false;
    }
}

QByteArray exifBlock(const ExifTime &time)
{
    std::lock_guard guard(exivLock());
    try {
        Exiv2::ExifData exif;
        fillExif(exif, time);
        Exiv2::Blob blob;
        Exiv2::ExifParser::encode(blob, Exiv2::littleEndian, exif);
        return QByteArray(reinterpret_cast<const char *>(blob.data()), qsizetype(blob.size()));
    } catch (const std::exception &) {
        return {};
    }
}

bool writeQtImage(const QImage &image, const QString &path, const QString &ext)
{
    const QByteArray format = ext == "JPG" ? "jpeg" : ext == "TIF" ? "tiff" : ext.toLower().toLatin1();
    QImageWriter writer(path, format);
    if (ext == "JPG")
        writer.setQuality(92);
    else if (ext == "WEBP")
        writer.setQuality(90);
    else if (ext == "TIF")
        writer.setCompression(1); // LZW
    return writer.write(image);
}

bool canWriteHeic() { return heif_have_encoder_for_format(heif_compression_HEVC) != 0; }

bool writeHeic(const QImage &image, const QString &path, const QByteArray &exif)
{
    const QImage rgb = rgb888(image);
    heif_context *ctx = heif_context_alloc();
    heif_encoder *encoder = nullptr;
    heif_image *img = nullptr;
    heif_image_handle *handle = nullptr;
    bool ok = false;
    do {
        if (heif_context_get_encoder_for_format(ctx, heif_compression_HEVC, &encoder).code != heif_error_Ok)
            break;
        heif_encoder_set_lossy_quality(encoder, 85);
        heif_encoder_set_parameter_string(encoder, "preset", "ultrafast");
        if (heif_image_create(rgb.width(), rgb.height(), heif_colorspace_RGB,
                              heif_chroma_interleaved_RGB, &img).code != heif_error_Ok)
            break;
        if (heif_image_add_plane(img, heif_channel_interleaved, rgb.width(), rgb.height(), 8).code
            != heif_error_Ok)
            break;
        int stride = 0;
        uint8_t *plane = heif_image_get_plane(img, heif_channel_interleaved, &stride);
        for (int y = 0; y < rgb.height(); ++y)
            std::memcpy(plane + size_t(y) * size_t(stride), rgb.constScanLine(y), size_t(rgb.width()) * 3);
        if (heif_context_encode_image(ctx, img, encoder, nullptr, &handle).code != heif_error_Ok)
            break;
        if (!exif.isEmpty()
            && heif_context_add_exif_metadata(ctx, handle, exif.constData(), int(exif.size())).code
                   != heif_error_Ok)
            break;
        ok = heif_context_write_to_file(ctx, path.toLocal8Bit().constData()).code == heif_error_Ok;
    } while (false);
    if (handle)
        heif_image_handle_release(handle);
    if (img)
        heif_image_release(img);
    if (encoder)
        heif_encoder_release(encoder);
    heif_context_free(ctx);
    return ok;
}

bool writeDng(const QImage &image, const QString &path, const ExifTime &time)
{
    TIFF *tif = TIFFOpen(path.toLocal8Bit().constData(), "w");
    if (!tif)
        return false;
    const QImage thumb = rgb888(image.scaled(256, 256, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    const QImage preview = rgb888(image.scaled(1024, 1024, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    const QImage full = rgb888(image);

    static const uint8_t version[4] = {1, 4, 0, 0}, backward[4] = {1, 1, 0, 0};
    // XYZ (D65) to linear sRGB: the "camera" here records sRGB primaries.
    static const float colorMatrix[9] = {3.2406f, -1.5372f, -0.4986f, -0.9689f, 1.8758f,
                                         0.0415f,  0.0557f,  -0.2040f, 1.0570f};
    static const float neutral[3] = {1.0f, 1.0f, 1.0f};
    toff_t subIfds[2] = {0, 0};

    setRgbImage(tif, thumb, 8, PHOTOMETRIC_RGB, FILETYPE_REDUCEDIMAGE);
    TIFFSetField(tif, TIFFTAG_MAKE, "Mendral");
    TIFFSetField(tif, TIFFTAG_MODEL, "Test Card");
    TIFFSetField(tif, TIFFTAG_DATETIME, time.dateTime.toLatin1().constData());
    TIFFSetField(tif, TIFFTAG_DNGVERSION, version);
    TIFFSetField(tif, TIFFTAG_DNGBACKWARDVERSION, backward);
    TIFFSetField(tif, TIFFTAG_UNIQUECAMERAMODEL, "Mendral Test Card");
    TIFFSetField(tif, TIFFTAG_COLORMATRIX1, 9, colorMatrix);
    TIFFSetField(tif, TIFFTAG_ASSHOTNEUTRAL, 3, neutral);
    TIFFSetField(tif, TIFFTAG_CALIBRATIONILLUMINANT1, uint16_t(21)); // D65
    TIFFSetField(tif, TIFFTAG_SUBIFD, 2, subIfds);
    bool ok = writeRgbStrips(tif, thumb) && TIFFWriteDirectory(tif);

    if (ok) {
        setRgbImage(tif, full, 16, kLinearRaw, 0);
        uint16_t linear[256];
        for (int v = 0; v < 256; ++v)
            linear[v] = uint16_t(std::lround(65535.0 * std::pow(v / 255.0, 2.2)));
        std::vector<uint16_t> row(size_t(full.width()) * 3);
        for (int y = 0; ok && y < full.height(); ++y) {
            const uchar *in = full.constScanLine(y);
            for (size_t i = 0; i < row.size(); ++i)
                row[i] = linear[in[i]];
            ok = TIFFWriteScanline(tif, row.data(), uint32_t(y), 0) >= 0;
        }
        ok = ok && TIFFWriteDirectory(tif);
    }
    if (ok) {
        setRgbImage(tif, preview, 8, PHOTOMETRIC_RGB, FILETYPE_REDUCEDIMAGE);
        ok = writeRgbStrips(tif, preview) && TIFFWriteDirectory(tif);
    }
    TIFFClose(tif);
    return ok;
}

} // namespace mendral::card

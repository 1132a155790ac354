#include "renditions_files.h"

#include "support/testfiles.h"
#include "platform/filepath.h"

#include <QPainter>

#include <libheif/heif.h>

#include <cstring>
#include <map>
#include <vector>

namespace mendral::test {

QImage quadrants(int width, int height)
{
    QImage img(width, height, QImage::Format_RGB32);
    QPainter p(&img);
    const int hw = width / 2, hh = height / 2;
    p.fillRect(0, 0, hw, hh, QColor(220, 30, 30));                    // top left: red
    p.fillRect(hw, 0, width - hw, hh, QColor(30, 200, 30));           // top right: green
    p.fillRect(0, hh, hw, height - hh, QColor(30, 30, 220));          // bottom left: blue
    p.fillRect(hw, hh, width - hw, height - hh, QColor(230, 230, 30)); // bottom right: yellow
    return img;
}

namespace {

heif_image *heifImage(const QImage &image)
{
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    heif_image *img = nullptr;
    if (heif_image_create(rgb.width(), rgb.height(), heif_colorspace_RGB, heif_chroma_interleaved_RGB, &img).code != heif_error_Ok)
        return nullptr;
    if (heif_image_add_plane(img, heif_channel_interleaved, rgb.width(), rgb.height(), 8).code != heif_error_Ok) {
        heif_image_release(img);
        return nullptr;
    }
    int stride = 0;
    uint8_t *plane = heif_image_get_plane(img, heif_channel_interleaved, &stride);
    for (int y = 0; y < rgb.height(); ++y)
        std::memcpy(plane + size_t(y) * stride, rgb.constScanLine(y), size_t(rgb.width()) * 3);
    return img;
}

} // namespace

bool writeHeic(const QString &path, const QImage &image, int orientation, const QImage &thumbnail,
               const QByteArray &exif)
{
    heif_context *ctx = heif_context_alloc();
    heif_encoder *encoder = nullptr;
    heif_image *img = heifImage(image);
    bool ok = img && heif_context_get_encoder_for_format(ctx, heif_compression_HEVC, &encoder).code == heif_error_Ok;
    if (ok) {
        heif_encoder_set_lossy_quality(encoder, 80);
        heif_encoding_options *options = heif_encoding_options_alloc();
        options->image_orientation = heif_orientation(orientation);
        heif_image_handle *handle = nullptr;
        ok = heif_context_encode_image(ctx, img, encoder, options, &handle).code == heif_error_Ok;
        if (ok && !thumbnail.isNull()) {
            // libheif scales what it is given into the box; hand it the thumbnail's picture
            // enlarged beyond the box so the stored thumbnail has the thumbnail's own size.
            const int box = std::max(thumbnail.width(), thumbnail.height());
            heif_image *thumbImg = heifImage(thumbnail.scaled(thumbnail.size() * 2));
            heif_image_handle *thumb = nullptr;
            ok = thumbImg && heif_context_encode_thumbnail(ctx, thumbImg, handle, encoder, options, box, &thumb).code == heif_error_Ok;
            if (thumb)
                heif_image_handle_release(thumb);
            if (thumbImg)
                heif_image_release(thumbImg);
        }
        if (ok && !exif.isEmpty())
            ok = heif_context_add_exif_metadata(ctx, handle, exif.constData(), int(exif.size())).code == heif_error_Ok;
        if (handle)
            heif_image_handle_release(handle);
        heif_encoding_options_free(options);
        ok = ok && heif_context_write_to_file(ctx, pathToBytes(path).constData()).code == heif_error_Ok;
    }
    if (img)
        heif_image_release(img);
    if (encoder)
        heif_encoder_release(encoder);
    heif_context_free(ctx);
    return ok;
}

namespace {

// Little-endian TIFF assembled in memory: IFDs with their tags, then data blocks.
struct Tiff {
    QByteArray bytes;

    void u16(quint16 v) { bytes.append(char(v & 0xFF)).append(char(v >> 8)); }
    void u32(quint32 v) { u16(quint16(v & 0xFFFF)); u16(quint16(v >> 16)); }
    void put32(qsizetype at, quint32 v)
    {
        for (int i = 0; i < 4; ++i)
            bytes[at + i] = char((v >> (8 * i)) & 0xFF);
    }
};

struct Entry {
    quint16 type; // 1 byte, 2 ascii, 3 short, 4 long, 5 rational, 10 srational
    quint32 count;
    QByteArray data; // little-endian payload
};

QByteArray shorts(std::initializer_list<quint16> v)
{
    Tiff t;
    for (quint16 x : v)
        t.u16(x);
    return t.bytes;
}

QByteArray longs(std::initializer_list<quint32> v)
{
    Tiff t;
    for (quint32 x : v)
        t.u32(x);
    return t.bytes;
}

using Ifd = std::map<quint16, Entry>;

Entry shortTag(std::initializer_list<quint16> v) { return {3, quint32(v.size()), shorts(v)}; }
Entry longTag(std::initializer_list<quint32> v) { return {4, quint32(v.size()), longs(v)}; }
Entry asciiTag(const char *s) { return {2, quint32(qstrlen(s) + 1), QByteArray(s, qstrlen(s) + 1)}; }
Entry byteTag(std::initializer_list<quint8> v)
{
    QByteArray b;
    for (quint8 x : v)
        b.append(char(x));
    return {1, quint32(v.size()), b};
}

// Writes an IFD at the end of t; values that do not fit in 4 bytes go right after it.
// Returns the position of each tag's value field, for patching offsets later.
std::map<quint16, qsizetype> writeIfd(Tiff &t, const Ifd &ifd)
{
    std::map<quint16, qsizetype> at;
    const qsizetype start = t.bytes.size();
    qsizetype extra = start + 2 + qsizetype(ifd.size()) * 12 + 4;
    QByteArray overflow;
    t.u16(quint16(ifd.size()));
    for (const auto &[tag, e] : ifd) {
        t.u16(tag);
        t.u16(e.type);
        t.u32(e.count);
        at[tag] = t.bytes.size();
        if (e.data.size() <= 4) {
            QByteArray v = e.data;
            v.append(QByteArray(4 - v.size(), '\0'));
            t.bytes.append(v);
        } else {
            t.u32(quint32(extra + overflow.size()));
            overflow.append(e.data);
            if (overflow.size() % 2)
                overflow.append('\0');
        }
    }
    t.u32(0); // no next IFD
    t.bytes.append(overflow);
    return at;
}

QByteArray mosaic(const QImage &image, int width, int height)
{
    const QImage src = image.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                           .convertToFormat(QImage::Format_RGB32);
    QByteArray data(qsizetype(width) * height * 2, '\0');
    auto *out = reinterpret_cast<quint16 *>(data.data());
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const QRgb c = src.pixel(x, y);
            // RGGB: red on even rows and columns, blue on odd ones, green elsewhere.
            const int v = (y % 2 == 0) ? (x % 2 == 0 ? qRed(c) : qGreen(c)) : (x % 2 == 0 ? qGreen(c) : qBlue(c));
            out[size_t(y) * width + x] = quint16(v * 64); // 14-bit range
        }
    }
    return data;
}

} // namespace

bool writeDng(const QString &path, const QImage &image, int width, int height, int orientation, const QImage &previewImage)
{
    const QByteArray rawData = mosaic(image, width, height);
    Ifd raw{
        {254, longTag({0})}, {256, longTag({quint32(width)})}, {257, longTag({quint32(height)})},
        {258, shortTag({16})}, {259, shortTag({1})}, {262, shortTag({32803})},
        {273, longTag({0})}, {277, shortTag({1})}, {278, longTag({quint32(height)})},
        {279, longTag({quint32(rawData.size())})}, {284, shortTag({1})},
        {33421, shortTag({2, 2})}, {33422, byteTag({0, 1, 1, 2})}, {50717, longTag({16383})},
    };
    Ifd common{
        {271, asciiTag("Mendral")}, {272, asciiTag("Test")}, {274, shortTag({quint16(orientation)})},
        {50706, byteTag({1, 4, 0, 0})}, {50708, asciiTag("Mendral Test")},
        // Identity colour matrix (signed rationals 1/1 on the diagonal) and neutral white.
        {50721, {10, 9, longs({1, 1, 0, 1, 0, 1, 0, 1, 1, 1, 0, 1, 0, 1, 0, 1, 1, 1})}},
        {50728, {5, 3, longs({1, 1, 1, 1, 1, 1})}}, {50778, shortTag({21})},
    };

    Tiff t;
    t.bytes = QByteArray("II*\0", 4);
    t.u32(8);
    if (previewImage.isNull()) {
        Ifd ifd = raw;
        ifd.insert(common.begin(), common.end());
        const auto at = writeIfd(t, ifd);
        t.put32(at.at(273), quint32(t.bytes.size()));
        t.bytes.append(rawData);
        return writeBytes(path, t.bytes);
    }

    const QImage preview = previewImage.convertToFormat(QImage::Format_RGB888);
    const int previewWidth = preview.width();
    const int previewHeight = preview.height();
    QByteArray previewData;
    for (int y = 0; y < previewHeight; ++y)
        previewData.append(reinterpret_cast<const char *>(preview.constScanLine(y)), previewWidth * 3);
    Ifd main{
        {254, longTag({1})}, {256, longTag({quint32(previewWidth)})}, {257, longTag({quint32(previewHeight)})},
        {258, shortTag({8, 8, 8})}, {259, shortTag({1})}, {262, shortTag({2})}, {273, longTag({0})},
        {277, shortTag({3})}, {278, longTag({quint32(previewHeight)})},
        {279, longTag({quint32(previewData.size())})}, {284, shortTag({1})}, {330, longTag({0})},
    };
    main.insert(common.begin(), common.end());
    const auto mainAt = writeIfd(t, main);
    t.put32(mainAt.at(273), quint32(t.bytes.size()));
    t.bytes.append(previewData);
    if (t.bytes.size() % 2)
        t.bytes.append('\0');
    t.put32(mainAt.at(330), quint32(t.bytes.size()));
    const auto rawAt = writeIfd(t, raw);
    t.put32(rawAt.at(273), quint32(t.bytes.size()));
    t.bytes.append(rawData);
    return writeBytes(path, t.bytes);
}

} // namespace mendral::test

#include "imagemeta.h"

#include "filepath.h"

#include <exiv2/exiv2.hpp>
#include <libheif/heif.h>
#include <libraw/libraw.h>

#include <memory>
#include <mutex>

namespace mendral {

namespace {

void initExiv2Once()
{
    static std::once_flag once;
    std::call_once(once, [] {
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
        Exiv2::XmpParser::initialize(); // not thread-safe on first use
        Exiv2::enableBMFF(true);        // HEIC, CR3
    });
}

std::optional<QString> exifString(const Exiv2::ExifData &exif, const char *key)
{
    const auto it = exif.findKey(Exiv2::ExifKey(key));
    if (it == exif.end() || it->typeId() != Exiv2::asciiString)
        return std::nullopt;
    // ASCII values may carry their terminating NUL.
    std::string s = it->toString();
    while (!s.empty() && s.back() == '\0')
        s.pop_back();
    return QString::fromStdString(s);
}

void readWithExiv2(const QByteArray &bytes, ImageProperties &props)
{
    initExiv2Once();
    try {
        auto image = Exiv2::ImageFactory::open(std::string(bytes.constData(), size_t(bytes.size())));
        if (!image.get())
            return;
        image->readMetadata();
        props.readable = true;
        props.width = image->pixelWidth();
        props.height = image->pixelHeight();
        const Exiv2::ExifData &exif = image->exifData();
        props.dateTimeOriginal = exifString(exif, "Exif.Photo.DateTimeOriginal");
        props.dateTime = exifString(exif, "Exif.Image.DateTime");
        props.subSecTimeOriginal = exifString(exif, "Exif.Photo.SubSecTimeOriginal");
        const auto o = exif.findKey(Exiv2::ExifKey("Exif.Image.Orientation"));
        if (o != exif.end() && o->count() > 0) {
            const long v = o->toLong();
            if (v >= 1 && v <= 8)
                props.orientation = int(v);
        }
    } catch (...) {
        // Unreadable or damaged metadata: keep what was read so far.
    }
}

// The developed image size of a RAW file, which exiv2 often gives as a thumbnail's.
void readRawSize(const QByteArray &bytes, ImageProperties &props)
{
    auto raw = std::make_unique<LibRaw>();
    if (raw->open_file(bytes.constData()) != LIBRAW_SUCCESS)
        return;
    props.readable = true;
    if (raw->imgdata.sizes.width > 0 && raw->imgdata.sizes.height > 0) {
        props.width = raw->imgdata.sizes.width;
        props.height = raw->imgdata.sizes.height;
    }
}

void readHeifSize(const QByteArray &bytes, ImageProperties &props)
{
    heif_context *ctx = heif_context_alloc();
    if (!ctx)
        return;
    heif_image_handle *handle = nullptr;
    if (heif_context_read_from_file(ctx, bytes.constData(), nullptr).code == heif_error_Ok &&
        heif_context_get_primary_image_handle(ctx, &handle).code == heif_error_Ok) {
        props.readable = true;
        const int w = heif_image_handle_get_ispe_width(handle);
        const int h = heif_image_handle_get_ispe_height(handle);
        if (w > 0 && h > 0) {
            props.width = w;
            props.height = h;
        }
        heif_image_handle_release(handle);
    }
    heif_context_free(ctx);
}

} // namespace

ImageProperties readImageProperties(const QString &path, bool isRaw)
{
    ImageProperties props;
    const QByteArray bytes = pathToBytes(path);
    readWithExiv2(bytes, props);
    const QString ext = lowerExtension(path);
    try {
        if (isRaw)
            readRawSize(bytes, props);
        else if ((ext == "heic" || ext == "heif") && (props.width == 0 || props.height == 0))
            readHeifSize(bytes, props);
    } catch (...) {
    }
    return props;
}

} // namespace mendral

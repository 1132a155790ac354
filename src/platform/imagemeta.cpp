#include "imagemeta.h"

#include "filepath.h"

#include <exiv2/exiv2.hpp>
#include <libheif/heif.h>
#include <libraw/libraw.h>

#include <cstring>
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

// The date and orientation tags, wherever the EXIF block came from.
void takeExifTags(const Exiv2::ExifData &exif, ImageProperties &props)
{
    props.dateTimeOriginal = exifString(exif, "Exif.Photo.DateTimeOriginal");
    props.dateTime = exifString(exif, "Exif.Image.DateTime");
    props.subSecTimeOriginal = exifString(exif, "Exif.Photo.SubSecTimeOriginal");
    const auto o = exif.findKey(Exiv2::ExifKey("Exif.Image.Orientation"));
    if (o != exif.end() && o->count() > 0) {
        const long v = o->toLong();
        if (v >= 1 && v <= 8)
            props.orientation = int(v);
    }
}

bool hasExifTags(const ImageProperties &props)
{
    return props.dateTimeOriginal || props.dateTime || props.subSecTimeOriginal;
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
        takeExifTags(image->exifData(), props);
    } catch (...) {
        // Unreadable or damaged metadata: keep what was read so far.
    }
}

// Stored size of a HEIC/HEIF file where exiv2 did not give it, and the EXIF block that
// Debian's exiv2 cannot find in these files.
void readHeif(const QByteArray &bytes, ImageProperties &props)
{
    constexpr size_t kMaxExifBytes = 4 << 20; // real blocks are tens of KiB
    heif_context *ctx = heif_context_alloc();
    if (!ctx)
        return;
    heif_image_handle *handle = nullptr;
    if (heif_context_read_from_file(ctx, bytes.constData(), nullptr).code == heif_error_Ok &&
        heif_context_get_primary_image_handle(ctx, &handle).code == heif_error_Ok) {
        props.readable = true;
        const int w = heif_image_handle_get_ispe_width(handle);
        const int h = heif_image_handle_get_ispe_height(handle);
        if (w > 0 && h > 0 && (props.width <= 0 || props.height <= 0)) {
            props.width = w;
            props.height = h;
        }
        heif_item_id id = 0;
        if (!hasExifTags(props) && heif_image_handle_get_list_of_metadata_block_IDs(handle, "Exif", &id, 1) == 1) {
            const size_t size = heif_image_handle_get_metadata_size(handle, id);
            if (size > 0 && size <= kMaxExifBytes) {
                QByteArray item(qsizetype(size), Qt::Uninitialized);
                if (heif_image_handle_get_metadata(handle, id, item.data()).code == heif_error_Ok)
                    readHeifExifItem(item, props);
            }
        }
        heif_image_handle_release(handle);
    }
    heif_context_free(ctx);
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

} // namespace

void readHeifExifItem(const QByteArray &item, ImageProperties &props)
{
    const auto *data = reinterpret_cast<const uint8_t *>(item.constData());
    const size_t size = size_t(item.size());
    if (size < 4 + 8)
        return;
    const size_t offset = (size_t(data[0]) << 24) | (size_t(data[1]) << 16) | (size_t(data[2]) << 8) | size_t(data[3]);
    if (offset > size - 4 - 8)
        return;
    const uint8_t *tiff = data + 4 + offset;
    if (std::memcmp(tiff, "II*\0", 4) != 0 && std::memcmp(tiff, "MM\0*", 4) != 0)
        return;
    initExiv2Once();
    try {
        Exiv2::ExifData exif;
        Exiv2::ExifParser::decode(exif, tiff, uint32_t(size - 4 - offset));
        takeExifTags(exif, props);
    } catch (...) {
        // A damaged block leaves the file-system date to the scan.
    }
}

ImageProperties readImageProperties(const QString &path, bool isRaw)
{
    ImageProperties props;
    const QByteArray bytes = pathToBytes(path);
    readWithExiv2(bytes, props);
    const QString ext = lowerExtension(path);
    try {
        if (isRaw)
            readRawSize(bytes, props);
        else if ((ext == "heic" || ext == "heif") &&
                 (props.width <= 0 || props.height <= 0 || !hasExifTags(props)))
            readHeif(bytes, props);
    } catch (...) {
    }
    return props;
}

} // namespace mendral

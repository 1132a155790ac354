#include "testfiles.h"

#include "platform/filepath.h"

#include <QBuffer>
#include <QDateTime>
#include <QFileInfo>
#include <QImage>

#include <exiv2/exiv2.hpp>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace mendral::test {

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    const int fd = ::open(pathToBytes(path).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        return false;
    const ssize_t n = bytes.isEmpty() ? 0 : ::write(fd, bytes.constData(), size_t(bytes.size()));
    ::close(fd);
    return n == bytes.size();
}

bool writeImage(const QString &path, int width, int height, QColor color)
{
    QImage img(width, height, QImage::Format_RGB32);
    img.fill(color);
    QByteArray data;
    QBuffer buf(&data);
    buf.open(QIODevice::WriteOnly);
    const QByteArray format = QFileInfo(path).suffix().toLower().toLatin1();
    if (!img.save(&buf, format == "jpeg" ? "jpg" : format.constData()))
        return false;
    return writeBytes(path, data);
}

namespace {

void setTags(Exiv2::ExifData &exif, const ExifTags &tags)
{
    if (tags.dateTimeOriginal)
        exif["Exif.Photo.DateTimeOriginal"] = tags.dateTimeOriginal->toStdString();
    if (tags.subSecTimeOriginal)
        exif["Exif.Photo.SubSecTimeOriginal"] = tags.subSecTimeOriginal->toStdString();
    if (tags.dateTime)
        exif["Exif.Image.DateTime"] = tags.dateTime->toStdString();
    if (tags.orientation)
        exif["Exif.Image.Orientation"] = uint16_t(*tags.orientation);
}

} // namespace

QByteArray exifBlock(const ExifTags &tags)
{
    try {
        Exiv2::ExifData exif;
        setTags(exif, tags);
        Exiv2::Blob blob;
        Exiv2::ExifParser::encode(blob, Exiv2::bigEndian, exif);
        return QByteArray("Exif\0\0", 6) + QByteArray(reinterpret_cast<const char *>(blob.data()), qsizetype(blob.size()));
    } catch (...) {
        return {};
    }
}

bool writeExif(const QString &path, const ExifTags &tags)
{
    try {
        auto image = Exiv2::ImageFactory::open(pathToBytes(path).toStdString());
        image->readMetadata();
        Exiv2::ExifData exif = image->exifData();
        setTags(exif, tags);
        image->setExifData(exif);
        image->writeMetadata();
        return true;
    } catch (...) {
        return false;
    }
}

bool setModificationTime(const QString &path, double seconds)
{
    timespec times[2];
    times[0].tv_sec = time_t(seconds);
    times[0].tv_nsec = long((seconds - double(time_t(seconds))) * 1e9);
    times[1] = times[0];
    return ::utimensat(AT_FDCWD, pathToBytes(path).constData(), times, 0) == 0;
}

bool makeDirectory(const QString &path)
{
    return ::mkdir(pathToBytes(path).constData(), 0755) == 0;
}

double localTime(int year, int month, int day, int hour, int minute, int second)
{
    const QDateTime dt(QDate(year, month, day), QTime(hour, minute, second));
    return double(dt.toMSecsSinceEpoch()) / 1000.0;
}

} // namespace mendral::test

#include "jpegfile.h"

#include "platform/filepath.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QImageWriter>
#include <QRandomGenerator>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace mendral::JpegFile {

namespace {

bool writeAll(int fd, const QByteArray &bytes)
{
    const char *p = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        left -= n;
    }
    return true;
}

} // namespace

QByteArray encode(const QImage &image, int quality)
{
    if (image.isNull())
        return {};
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(quality);
    // JPEG has no alpha: flatten onto black as premultiplied colour does.
    const QImage opaque = image.hasAlphaChannel()
                              ? image.convertToFormat(QImage::Format_ARGB32_Premultiplied)
                                    .convertToFormat(QImage::Format_RGB32)
                              : image;
    if (!writer.write(opaque))
        return {};
    return data;
}

bool writeAtomically(const QString &path, const QByteArray &bytes)
{
    const QByteArray target = pathToBytes(path);
    const QByteArray temp = target + ".tmp" + QByteArray::number(QRandomGenerator::global()->generate(), 16);
    const int fd = ::open(temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    const bool written = writeAll(fd, bytes);
    const bool closed = ::close(fd) == 0;
    if (!written || !closed || ::rename(temp.constData(), target.constData()) != 0) {
        ::unlink(temp.constData());
        return false;
    }
    return true;
}

QImage readComplete(const QString &path)
{
    QFile file;
    if (!openForReading(file, path))
        return {};
    const QByteArray data = file.readAll();
    if (data.size() < 4 || uchar(data[0]) != 0xFF || uchar(data[1]) != 0xD8 ||
        uchar(data[data.size() - 2]) != 0xFF || uchar(data[data.size() - 1]) != 0xD9)
        return {};
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "jpeg");
    return reader.read();
}

bool makePath(const QString &path)
{
    const QByteArray bytes = pathToBytes(path);
    struct stat st {};
    if (::stat(bytes.constData(), &st) == 0)
        return S_ISDIR(st.st_mode);
    for (qsizetype i = 1; i <= bytes.size(); ++i) {
        if (i < bytes.size() && bytes[i] != '/')
            continue;
        const QByteArray prefix = bytes.left(i);
        if (::mkdir(prefix.constData(), 0755) != 0 && errno != EEXIST)
            return false;
    }
    return ::stat(bytes.constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

} // namespace mendral::JpegFile

#include "imagestore.h"

#include "analysis/thumbnail.h"
#include "imagecache/jpegfile.h"
#include "platform/filepath.h"

#include <QCryptographicHash>
#include <QDir>
#include <QMutexLocker>
#include <QStandardPaths>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <charconv>
#include <cmath>

namespace mendral {

namespace {

// Shortest decimal that reads back as the same double, always with a fraction part; plain
// positional digits except for very large or very small magnitudes (1e+16, 1e-05).
QString shortestDecimal(double value)
{
    char buf[64];
    const double magnitude = std::fabs(value);
    const bool positional = magnitude == 0 || (magnitude >= 1e-4 && magnitude < 1e16);
    const auto res = std::to_chars(buf, buf + sizeof buf, value,
                                   positional ? std::chars_format::fixed : std::chars_format::scientific);
    QString text = QString::fromLatin1(buf, res.ptr - buf);
    if (positional && !text.contains('.'))
        text += ".0";
    return text;
}

} // namespace

ImageStore &ImageStore::shared()
{
    // Lives for the whole process; never destroyed, so no request outlives its store at exit.
    static ImageStore *store = new ImageStore(standardCacheDir());
    return *store;
}

QString ImageStore::standardCacheDir()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + "/Mendral/thumbs";
}

ImageStore::ImageStore(const QString &cacheDir, Decoder decoder)
    : m_cacheDir(cacheDir), m_decoder(decoder ? std::move(decoder) : Decoder(Analyzer::thumbnailImage))
{
    m_thumbMemory.setMaxCost(int(thumbMemoryBytes / 1024));
    m_displayMemory.setMaxCost(displayMemoryLimit);
    m_worker.setMaxThreadCount(1);
}

ImageStore::~ImageStore()
{
    m_worker.waitForDone();
}

QFuture<QImage> ImageStore::thumbnail(const QString &url, int maxPixel)
{
    const QString key = thumbnailKey(url, maxPixel);
    const QImage hit = fromMemory(m_thumbMemory, key);
    if (!hit.isNull())
        return QtFuture::makeReadyFuture(hit);
    return QtConcurrent::run(&m_worker, [this, url, maxPixel] { return makeThumbnail(url, maxPixel); });
}

QFuture<QImage> ImageStore::displayImage(const QString &url)
{
    const QImage hit = fromMemory(m_displayMemory, displayKey(url));
    if (!hit.isNull())
        return QtFuture::makeReadyFuture(hit);
    return QtConcurrent::run(&m_worker, [this, url] { return makeDisplayImage(url); });
}

QFuture<void> ImageStore::clearDiskCache()
{
    return QtConcurrent::run(&m_worker, [dir = m_cacheDir] { QDir(dir).removeRecursively(); });
}

QImage ImageStore::makeThumbnail(const QString &url, int maxPixel)
{
    // The key is read again here: the file may have changed while the request waited.
    const QString key = thumbnailKey(url, maxPixel);
    // An earlier request in the queue may have made it already.
    QImage image = fromMemory(m_thumbMemory, key);
    if (!image.isNull())
        return image;
    const QString file = diskFile(key, maxPixel);
    image = JpegFile::readComplete(file);
    if (!image.isNull() && std::max(image.width(), image.height()) <= std::max(maxPixel, 1)) {
        toMemory(m_thumbMemory, key, image, thumbCost(image));
        return image;
    }
    image = m_decoder(url, maxPixel);
    if (image.isNull())
        return {};
    toMemory(m_thumbMemory, key, image, thumbCost(image));
    JpegFile::writeAtomically(file, JpegFile::encode(image, jpegQuality));
    return image;
}

QImage ImageStore::makeDisplayImage(const QString &url)
{
    const QString key = displayKey(url);
    QImage image = fromMemory(m_displayMemory, key);
    if (!image.isNull())
        return image;
    image = m_decoder(url, displayMaxPixel);
    if (!image.isNull())
        toMemory(m_displayMemory, key, image);
    return image;
}

QImage ImageStore::fromMemory(QCache<QString, QImage> &cache, const QString &key)
{
    QMutexLocker lock(&m_memoryLock);
    const QImage *image = cache.object(key);
    return image ? *image : QImage();
}

void ImageStore::toMemory(QCache<QString, QImage> &cache, const QString &key, const QImage &image, int cost)
{
    QMutexLocker lock(&m_memoryLock);
    cache.insert(key, new QImage(image), cost);
}

int ImageStore::thumbCost(const QImage &image)
{
    const qint64 floor = thumbMemoryBytes / 1024 / thumbMemoryLimit;
    return int(std::clamp<qint64>(image.sizeInBytes() / 1024, floor, thumbMemoryBytes / 1024));
}

QString ImageStore::cacheDir() const
{
    JpegFile::makePath(m_cacheDir);
    return m_cacheDir;
}

QString ImageStore::fileStamp(const QString &path)
{
    const auto st = statFile(path);
    const qint64 size = st ? st->size : 0;
    const double modified = st && st->modificationTime ? *st->modificationTime : 0.0;
    return QString::number(size) + "-" + shortestDecimal(modified);
}

QString ImageStore::digest(const QString &key)
{
    // The key's own bytes: a file name that is not UTF-8 must not collide with another.
    const QByteArray hash = QCryptographicHash::hash(pathToBytes(key), QCryptographicHash::Sha256);
    return QString::fromLatin1(hash.left(24).toHex());
}

QString ImageStore::thumbnailKey(const QString &url, int maxPixel)
{
    return url + "|" + QString::number(maxPixel) + "|" + fileStamp(url);
}

QString ImageStore::displayKey(const QString &url)
{
    return url + "|display|" + fileStamp(url);
}

QString ImageStore::diskFile(const QString &key, int maxPixel) const
{
    return cacheDir() + "/" + digest(key) + "_" + QString::number(maxPixel) + ".jpg";
}

} // namespace mendral

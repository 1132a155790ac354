#pragma once

#include <QCache>
#include <QFuture>
#include <QImage>
#include <QMutex>
#include <QString>
#include <QThreadPool>

#include <functional>

namespace mendral {

/**
 * Downscaled images for the views, made once and kept in two layers: memory (caches of
 * decoded images limited in count and, for thumbnails, in bytes) and a folder of JPEG files, so a second look at the same card is
 * immediate. Requests return at once with a future; the work runs one request at a time on the
 * store's own thread, so the same key is never decoded twice at once and the caller's thread
 * never waits. A memory hit is answered with a finished future. Source files are only read;
 * when the cache folder cannot be written the image still comes back.
 */
class ImageStore
{
public:
    /** Makes a bounded upright rendition (Analyzer::thumbnailImage in the program). */
    using Decoder = std::function<QImage(const QString &url, int maxPixel)>;

    static constexpr int thumbMemoryLimit = 1200;
    // The canvas asks for 3600-px thumbnails of about 35 MB each: a count alone would let
    // a long review hold gigabytes.
    static constexpr qint64 thumbMemoryBytes = 220LL * 1024 * 1024;
    static constexpr int displayMemoryLimit = 3;
    static constexpr int displayMaxPixel = 3600;
    static constexpr int jpegQuality = 82;

    /** The one store of the program, on the user's cache folder; created on first use. */
    static ImageStore &shared();
    /** GenericCacheLocation + "/Mendral/thumbs". */
    static QString standardCacheDir();

    explicit ImageStore(const QString &cacheDir, Decoder decoder = {});
    ~ImageStore(); // waits for running requests
    ImageStore(const ImageStore &) = delete;
    ImageStore &operator=(const ImageStore &) = delete;

    /** The file at url with its long side at most maxPixel; a null image when it cannot be made. */
    QFuture<QImage> thumbnail(const QString &url, int maxPixel);
    /** A large rendition (3600) kept in memory only, for the last few photos shown. */
    QFuture<QImage> displayImage(const QString &url);
    /** Removes the whole cache folder; errors are ignored. */
    QFuture<void> clearDiskCache();

    /** The cache folder, created when missing (failure ignored). */
    QString cacheDir() const;

    /** "size-mtime" of the file, mtime as the shortest exact decimal with a fraction; "0-0.0" when unreadable. */
    static QString fileStamp(const QString &path);
    /** First 24 bytes of the SHA-256 of the key's bytes, as 48 lower-case hex digits. */
    static QString digest(const QString &key);
    static QString thumbnailKey(const QString &url, int maxPixel);
    static QString displayKey(const QString &url);
    /** The disk cache file of a thumbnail key. */
    QString diskFile(const QString &key, int maxPixel) const;

private:
    QImage makeThumbnail(const QString &url, int maxPixel);
    QImage makeDisplayImage(const QString &url);
    QImage fromMemory(QCache<QString, QImage> &cache, const QString &key);
    void toMemory(QCache<QString, QImage> &cache, const QString &key, const QImage &image, int cost = 1);
    /** Cost in KiB, at least the budget's 1/thumbMemoryLimit so the count limit holds too. */
    static int thumbCost(const QImage &image);

    const QString m_cacheDir;
    const Decoder m_decoder;
    QMutex m_memoryLock; // guards the two caches only, never held while decoding
    QCache<QString, QImage> m_thumbMemory;
    QCache<QString, QImage> m_displayMemory;
    QThreadPool m_worker; // last: destroyed (and drained) first
};

} // namespace mendral

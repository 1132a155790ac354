#pragma once

#include <QImage>
#include <QObject>
#include <QString>

#include <list>

namespace mendral {

/**
 * Carefully reduced copies of large photos at the size the canvas shows them, for the last few
 * photos: made off the main thread, so that stepping to a prepared photo only copies pixels.
 */
class FittedCache : public QObject {
    Q_OBJECT

public:
    static constexpr int capacity = 6;

    explicit FittedCache(QObject *parent = nullptr) : QObject(parent) {}

    /** The copy of url at exactly size, or a null image. */
    QImage find(const QString &url, QSize size) const;
    /** Whether some finished copy of url is kept. */
    bool holds(const QString &url) const;
    /** Makes the copy of source at size in the background unless it is there or on its way. */
    void prepare(const QString &url, const QImage &source, QSize size);

Q_SIGNALS:
    void ready(const QString &url, QSize size);

private:
    struct Entry {
        QString url;
        QSize size;
        QImage image; // null while being made
    };
    std::list<Entry> m_entries; // newest first
};

} // namespace mendral

#include "ui/review/fittedcache.h"

#include "platform/whendone.h"

#include <QtConcurrent/QtConcurrentRun>

namespace mendral {

namespace {
QImage reduce(const QImage &source, QSize size)
{
    return source.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}
} // namespace

QImage FittedCache::find(const QString &url, QSize size) const
{
    for (const Entry &e : m_entries)
        if (e.url == url && e.size == size)
            return e.image;
    return {};
}

bool FittedCache::holds(const QString &url) const
{
    for (const Entry &e : m_entries)
        if (e.url == url && !e.image.isNull())
            return true;
    return false;
}

void FittedCache::prepare(const QString &url, const QImage &source, QSize size)
{
    if (source.isNull() || size.isEmpty())
        return;
    for (const Entry &e : m_entries)
        if (e.url == url && e.size == size)
            return;
    if (size.width() >= source.width()) {
        // Nothing to reduce: the source is shown as it is.
        m_entries.push_front({url, size, source.scaled(size)});
    } else {
        m_entries.push_front({url, size, QImage()});
        whenResult(this, QtConcurrent::run(reduce, source, size), [this, url, size](QImage image) {
            for (Entry &e : m_entries)
                if (e.url == url && e.size == size) {
                    e.image = std::move(image);
                    Q_EMIT ready(url, size);
                    return;
                }
        }, IfReceiverGoes::cancel);
    }
    while (int(m_entries.size()) > capacity)
        m_entries.pop_back();
}

} // namespace mendral

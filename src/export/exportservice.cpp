#include "exportservice.h"

#include "platform/fileops.h"
#include "platform/filepath.h"

#include <QSet>
#include <QtConcurrent/QtConcurrentRun>

namespace mendral {

ExportService::ExportService()
{
    m_pool.setMaxThreadCount(1); // one operation at a time, in order
}

ExportService::~ExportService()
{
    m_pool.waitForDone();
}

QFuture<void> ExportService::setDestination(const QString &dest)
{
    return QtConcurrent::run(&m_pool, [this, dest] { setDestinationOn(m_state, dest); });
}

QFuture<ExportService::Result> ExportService::sync(const PhotoGroup &group,
                                                   const std::vector<Photo> &photos,
                                                   const QString &dest)
{
    return QtConcurrent::run(&m_pool, [this, group, photos, dest] {
        return syncOn(m_state, group, photos, dest);
    });
}

QFuture<int> ExportService::writtenCount()
{
    return QtConcurrent::run(&m_pool, [this] { return writtenCountOn(m_state); });
}

QFuture<ExportService::SyncAllResult> ExportService::syncAll(const std::vector<PhotoGroup> &groups,
                                                             const std::vector<Photo> &photos,
                                                             const QString &dest)
{
    return QtConcurrent::run(&m_pool, [this, groups, photos, dest] {
        setDestinationOn(m_state, dest);
        // Copies that an earlier export could not finish (it was killed, the power went):
        // their names are this service's own, and the photos are copied again below.
        removePartialCopies(dest);
        SyncAllResult all;
        for (const PhotoGroup &g : groups) {
            if (g.resolved().empty())
                continue; // files exported earlier for an undecided or skipped group stay
            const Result r = syncOn(m_state, g, photos, dest);
            if (r.error)
                all.lastError = r.error;
        }
        all.writtenCount = writtenCountOn(m_state);
        return all;
    });
}

void ExportService::setDestinationOn(State &state, const QString &dest)
{
    if (state.destURL == dest)
        return;
    state.destURL = dest;
    state.exported.clear();
}

int ExportService::writtenCountOn(const State &state)
{
    // Two picked photos with byte-identical files share one exported file: count files.
    QSet<QString> names;
    for (const QStringList &list : state.exported)
        for (const QString &n : list)
            names.insert(n);
    return int(names.size());
}

QString ExportService::uniqueTarget(const QString &source, const QString &dir)
{
    const QString name = fileName(source);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString stem = dot < 0 ? name : name.left(dot);
    const QString ext = dot < 0 ? QString() : name.mid(dot + 1);
    const QString base = dir + QLatin1Char('/');
    auto candidate = [&](int counter) {
        if (counter == 1)
            return base + name;
        return base + stem + QLatin1Char('-') + QString::number(counter) +
               (ext.isEmpty() ? QString() : QLatin1Char('.') + ext);
    };
    for (int counter = 1; counter < 200; ++counter) {
        const QString c = candidate(counter);
        if (!statFile(c, false) || sameContents(c, source))
            return c;
    }
    return candidate(200);
}

ExportService::Result ExportService::syncOn(State &state, const PhotoGroup &group,
                                            const std::vector<Photo> &photos, const QString &dest)
{
    Result result;
    if (!statFile(dest)) {
        if (const auto err = makePath(dest)) {
            result.error = QStringLiteral("无法创建精选目录：") + *err;
            return result;
        }
    }
    setDestinationOn(state, dest);

    const std::vector<int> chosen = group.resolved();
    QStringList written;
    QHash<QString, QStringList> writtenByPhoto;
    for (int p : chosen) {
        if (p < 0 || p >= group.count())
            continue;
        const int index = group.indices[size_t(p)];
        if (index < 0 || size_t(index) >= photos.size())
            continue;
        const Photo &photo = photos[size_t(index)];
        QStringList &mine = writtenByPhoto[photo.id];
        for (const QString &f : photo.allFiles()) {
            const QString target = uniqueTarget(f, dest);
            if (statFile(target, false) && sameContents(target, f)) {
                written.append(fileName(target));
                mine.append(fileName(target));
                continue;
            }
            // copyFile never replaces a file: when every candidate name is taken by other
            // files, those stay and the copy fails with a message.
            if (const auto err = copyFile(f, target)) {
                result.error = QStringLiteral("写入失败 ") + fileName(f) + QStringLiteral("：") + *err;
                return result; // the record stays as it was and nothing is removed
            }
            written.append(fileName(target));
            mine.append(fileName(target));
            ++result.added;
        }
    }

    // Photos of this group that are no longer chosen lose the files exported for them, unless
    // a chosen photo (of any group) uses the same file.
    for (int index : group.indices) {
        if (index < 0 || size_t(index) >= photos.size())
            continue;
        const QString &id = photos[size_t(index)].id;
        if (writtenByPhoto.contains(id))
            continue;
        const auto it = state.exported.find(id);
        if (it == state.exported.end())
            continue;
        const QStringList stale = it.value();
        state.exported.erase(it);
        QSet<QString> stillUsed;
        for (auto jt = state.exported.cbegin(); jt != state.exported.cend(); ++jt)
            for (const QString &n : jt.value())
                stillUsed.insert(n);
        for (const QString &n : stale) {
            if (written.contains(n) || stillUsed.contains(n))
                continue;
            const QString path = dest + QLatin1Char('/') + n;
            if (statFile(path, false)) {
                removeFile(path);
                ++result.removed;
            }
        }
    }
    for (auto it = writtenByPhoto.cbegin(); it != writtenByPhoto.cend(); ++it)
        state.exported.insert(it.key(), it.value());
    return result;
}

} // namespace mendral

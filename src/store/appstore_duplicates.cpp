// Finding byte-identical photos and moving the extra copies to the Trash.

#include "appstore.h"

#include "platform/fileops.h"
#include "platform/filepath.h"
#include "platform/whendone.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QStandardPaths>
#include <QtConcurrent/QtConcurrentRun>

#include <map>

namespace mendral {

namespace {

bool moveToTrash(const QString &path)
{
    // Without the data directory Qt reports success and leaves the file in the working folder.
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (data.isEmpty() || !QDir().mkpath(data))
        return false;
    // Qt's trash takes Unicode names; a name that is not valid UTF-8 would be mangled, so it
    // is reported as a failure rather than risk touching another file.
    if (pathToBytes(path) != QFile::encodeName(path))
        return false;
    QFile file(path);
    return file.exists() && file.moveToTrash();
}

} // namespace

std::vector<Photo> AppStore::findExactDuplicates(const std::vector<Photo> &photos,
                                                 const std::vector<PhotoGroup> &groups)
{
    QSet<QString> picked;
    for (const PhotoGroup &g : groups)
        for (int p : g.resolved())
            if (p < g.count() && g.indices[size_t(p)] >= 0 && size_t(g.indices[size_t(p)]) < photos.size())
                picked.insert(photos[size_t(g.indices[size_t(p)])].id);

    // Only photos sharing their exact size are read at all.
    std::map<int64_t, std::vector<size_t>> bySize;
    for (size_t i = 0; i < photos.size(); ++i)
        bySize[photos[i].fileSize].push_back(i);

    // Files of one size are told apart by the MD5 of their first 64 KiB before any is read
    // whole: two different photos of one size (frequent with uncompressed RAW) cost 128 KiB,
    // not two full reads.
    constexpr int64_t headBytes = 64 * 1024;
    using DigestSets = std::vector<std::pair<QByteArray, std::vector<size_t>>>;
    const auto splitBy = [&photos](const std::vector<size_t> &members, std::optional<int64_t> limit) {
        DigestSets sets;
        for (size_t i : members) {
            const auto digest = md5OfFile(photos[i].url, limit);
            if (!digest)
                continue;
            auto it = std::find_if(sets.begin(), sets.end(), [&](const auto &b) { return b.first == *digest; });
            if (it == sets.end())
                sets.push_back({*digest, {i}});
            else
                it->second.push_back(i);
        }
        return sets;
    };

    std::vector<Photo> toRemove;
    for (const auto &[size, members] : bySize) {
        if (members.size() < 2)
            continue;
        DigestSets byDigest;
        const DigestSets heads = size > headBytes ? splitBy(members, headBytes) : DigestSets{{QByteArray(), members}};
        for (const auto &[head, sameHead] : heads)
            if (sameHead.size() > 1)
                for (auto &set : splitBy(sameHead, std::nullopt))
                    byDigest.push_back(std::move(set));
        for (const auto &[digest, set] : byDigest) {
            if (set.size() < 2)
                continue;
            size_t keeper = set.front();
            for (size_t i : set) {
                if (picked.contains(photos[i].id)) {
                    keeper = i;
                    break;
                }
            }
            for (size_t i : set) {
                // Equal digests are not proof: only a byte-for-byte match may go to the Trash.
                if (photos[i].id != photos[keeper].id && sameContents(photos[i].url, photos[keeper].url))
                    toRemove.push_back(photos[i]);
            }
        }
    }
    return toRemove;
}

void AppStore::deleteExactDuplicates()
{
    if (m_phase != Phase::ready || m_photos.empty() || m_removingDuplicates)
        return;
    m_removingDuplicates = true;
    const int generation = m_generation->load();
    auto search = QtConcurrent::run(&AppStore::findExactDuplicates, m_photos, m_groups);
    track(QFuture<void>(search));
    whenResult(this, search, [this, generation](const std::vector<Photo> &toRemove) {
        m_removingDuplicates = false;
        // A new import started while hashing: these photos are no longer the loaded ones.
        if (isCurrent(generation) && m_phase == Phase::ready)
            removeDuplicates(toRemove);
        Q_EMIT duplicateRemovalFinished();
    });
}

void AppStore::removeDuplicates(const std::vector<Photo> &toRemove)
{
    if (toRemove.empty()) {
        setStatusText(QStringLiteral("没有发现内容完全一致的图片"));
        return;
    }
    const int c = int(toRemove.size());
    QStringList lines;
    for (int i = 0; i < std::min(c, 8); ++i)
        lines << QStringLiteral("· ") + toRemove[size_t(i)].name();
    QString listing = lines.join(QLatin1Char('\n'));
    if (c >= 9)
        listing += QStringLiteral("\n… 等共 ") + QString::number(c) + QStringLiteral(" 张");
    const QString message = QStringLiteral("发现 ") + QString::number(c) + QStringLiteral(" 张完全重复的图片");
    const QString info = QStringLiteral("这些文件内容字节级一致，每组只保留一张，其余将移到废纸篓（不会彻底删除）：\n") + listing;
    if (!m_dialogs || !m_dialogs->confirmMoveToTrash(message, info))
        return;

    QStringList failures;
    int removed = 0;
    QSet<QString> removeIds;
    for (const Photo &p : toRemove) {
        removeIds.insert(p.id);
        bool all = true;
        for (const QString &f : p.allFiles()) {
            if (!moveToTrash(f)) {
                failures << fileName(f);
                all = false;
            }
        }
        removed += all ? 1 : 0;
    }

    const std::vector<Photo> old = m_photos;
    std::vector<Photo> kept;
    kept.reserve(old.size());
    for (const Photo &p : old)
        if (!removeIds.contains(p.id))
            kept.push_back(p);
    m_photos = std::move(kept);
    Q_EMIT photosChanged();
    m_undoStack.clear();
    rebuildGroups(true, &old);

    if (!failures.isEmpty()) {
        setStatusText(QStringLiteral("已移除 ") + QString::number(removed) + QStringLiteral(" 张，") +
                      QString::number(failures.size()) + QStringLiteral(" 个文件删除失败（可能被占用）"));
        setErrorText(QStringLiteral("以下文件未能移到废纸篓：\n") + failures.mid(0, 6).join(QLatin1Char('\n')));
    } else {
        setStatusText(QStringLiteral("已把 ") + QString::number(removed) +
                      QStringLiteral(" 张完全重复的图片移到废纸篓，共 ") + QString::number(m_photos.size()) +
                      QStringLiteral(" 张 · ") + QString::number(m_groups.size()) + QStringLiteral(" 组"));
    }
}

} // namespace mendral

#include "decisionstore.h"

#include "platform/bplist.h"
#include "platform/fileops.h"
#include "platform/filepath.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>

#include <cerrno>
#include <cmath>
#include <cstdio>

namespace mendral::DecisionStore {

namespace {

using bplist::Reader;

constexpr int kFormat = 1;
// The same notion of an unchanged file as the analysis cache's.
constexpr double kTimeTolerance = 1.5;

bool sameFile(const PhotoIdentity &now, const PhotoIdentity &then)
{
    return now.size == then.size && std::fabs(now.mtime - then.mtime) < kTimeTolerance;
}

// Builds a FolderDecisions entry by entry, one entry per path.
class Builder {
public:
    explicit Builder(QString folder) { m_out.folder = std::move(folder); }

    int entry(const PhotoIdentity &identity)
    {
        const auto it = m_at.constFind(identity.path);
        if (it != m_at.cend())
            return *it;
        const int position = int(m_out.photos.size());
        m_at.insert(identity.path, position);
        m_out.photos.push_back({identity, false});
        return position;
    }
    void pick(int position) { m_out.photos[size_t(position)].picked = true; }
    void skippedGroup(std::vector<int> positions)
    {
        if (!positions.empty())
            m_out.skippedGroups.push_back(std::move(positions));
    }
    // Appends other's entries (and its skipped groups, renumbered).
    void add(const FolderDecisions &other)
    {
        std::vector<int> map(other.photos.size());
        for (size_t i = 0; i < other.photos.size(); ++i) {
            map[i] = entry(other.photos[i].identity);
            if (other.photos[i].picked)
                pick(map[i]);
        }
        for (const auto &group : other.skippedGroups) {
            std::vector<int> positions;
            for (int p : group)
                positions.push_back(map[size_t(p)]);
            skippedGroup(std::move(positions));
        }
    }
    FolderDecisions take() { return std::move(m_out); }

private:
    FolderDecisions m_out;
    QHash<QString, int> m_at;
};

std::optional<FolderDecisions::Entry> decodeEntry(const Reader &r, uint64_t ref)
{
    const auto d = r.dictItems(ref);
    if (!d)
        return std::nullopt;
    const auto path = r.find(*d, QLatin1StringView("path"));
    const auto size = r.find(*d, QLatin1StringView("size"));
    const auto mtime = r.find(*d, QLatin1StringView("mtime"));
    const auto picked = r.find(*d, QLatin1StringView("picked"));
    if (!path || !size || !mtime || !picked)
        return std::nullopt;
    auto p = r.toString(*path);
    const auto s = r.toInteger(*size);
    const auto t = r.toNumber(*mtime);
    const auto k = r.toBool(*picked);
    if (!p || p->isEmpty() || !s || !t || !k)
        return std::nullopt;
    return FolderDecisions::Entry{{std::move(*p), *s, *t}, *k};
}

} // namespace

QString folderBeside(const QString &cachePath)
{
    return QFileInfo(cachePath).absolutePath() + QStringLiteral("/decisions");
}

QString normalFolder(const QString &sourceFolder)
{
    return QDir::cleanPath(QFileInfo(sourceFolder).absoluteFilePath());
}

QString fileFor(const QString &dir, const QString &sourceFolder)
{
    const QByteArray digest = QCryptographicHash::hash(pathToBytes(normalFolder(sourceFolder)),
                                                       QCryptographicHash::Sha256);
    return dir + QLatin1Char('/') + QString::fromLatin1(digest.toHex().left(32)) +
           QStringLiteral(".plist");
}

IdentityMap identify(const QString &sourceFolder, const std::vector<Photo> &photos)
{
    const QDir base(normalFolder(sourceFolder));
    IdentityMap out;
    out.reserve(photos.size());
    for (const Photo &p : photos) {
        const auto st = statFile(p.url);
        const double mtime = st && st->modificationTime ? *st->modificationTime : 0.0;
        out.insert_or_assign(p.id, PhotoIdentity{base.relativeFilePath(QFileInfo(p.url).absoluteFilePath()),
                                                 p.fileSize, mtime});
    }
    return out;
}

FolderDecisions collect(const QString &sourceFolder, const std::vector<Photo> &photos,
                        const std::vector<PhotoGroup> &groups, const IdentityMap &identities,
                        const FolderDecisions &absent)
{
    Builder b(normalFolder(sourceFolder));
    auto entryOf = [&](int index) -> int {
        if (index < 0 || size_t(index) >= photos.size())
            return -1;
        const auto it = identities.find(photos[size_t(index)].id);
        return it == identities.end() ? -1 : b.entry(it->second);
    };
    for (const PhotoGroup &g : groups) {
        for (int p : g.picks)
            if (p >= 0 && p < g.count())
                if (const int e = entryOf(g.indices[size_t(p)]); e >= 0)
                    b.pick(e);
        if (g.skipped) {
            std::vector<int> members;
            for (int index : g.indices)
                if (const int e = entryOf(index); e >= 0)
                    members.push_back(e);
            b.skippedGroup(std::move(members));
        }
    }
    b.add(absent);
    return b.take();
}

FolderDecisions absentFrom(const FolderDecisions &stored, const IdentityMap &present)
{
    QSet<QString> paths;
    paths.reserve(qsizetype(present.size()));
    for (const auto &[id, identity] : present)
        paths.insert(identity.path);
    FolderDecisions kept;
    kept.folder = stored.folder;
    std::vector<int> map(stored.photos.size(), -1);
    for (size_t i = 0; i < stored.photos.size(); ++i) {
        if (paths.contains(stored.photos[i].identity.path))
            continue;
        map[i] = int(kept.photos.size());
        kept.photos.push_back(stored.photos[i]);
    }
    for (const auto &group : stored.skippedGroups) {
        std::vector<int> positions;
        for (int p : group)
            if (map[size_t(p)] >= 0)
                positions.push_back(map[size_t(p)]);
        if (!positions.empty())
            kept.skippedGroups.push_back(std::move(positions));
    }
    return kept;
}

int restore(std::vector<PhotoGroup> &groups, const std::vector<Photo> &photos,
            const IdentityMap &identities, const FolderDecisions &stored)
{
    QHash<QString, size_t> byPath;
    byPath.reserve(qsizetype(stored.photos.size()));
    for (size_t i = 0; i < stored.photos.size(); ++i)
        byPath.insert(stored.photos[i].identity.path, i);
    std::vector<bool> wasSkipped(stored.photos.size(), false);
    for (const auto &group : stored.skippedGroups)
        for (int p : group)
            wasSkipped[size_t(p)] = true;

    int restored = 0;
    for (PhotoGroup &g : groups) {
        bool changed = false;
        bool allSkipped = !g.indices.empty();
        for (int p = 0; p < g.count(); ++p) {
            const int index = g.indices[size_t(p)];
            const auto id = index >= 0 && size_t(index) < photos.size()
                                ? identities.find(photos[size_t(index)].id) : identities.end();
            const auto at = id != identities.end() ? byPath.constFind(id->second.path) : byPath.cend();
            if (at == byPath.cend() || !sameFile(id->second, stored.photos[*at].identity)) {
                allSkipped = false; // a new or changed photo: the user has not seen it
                continue;
            }
            if (stored.photos[*at].picked)
                changed = g.picks.insert(p).second || changed;
            allSkipped = allSkipped && wasSkipped[*at];
        }
        if (allSkipped && !g.skipped) {
            g.skipped = true;
            changed = true;
        }
        restored += changed ? 1 : 0;
    }
    return restored;
}

QByteArray encode(const FolderDecisions &decisions)
{
    bplist::Array photos;
    photos.reserve(decisions.photos.size());
    for (const auto &e : decisions.photos) {
        bplist::Dict d;
        d.reserve(4);
        d.emplace_back("path", e.identity.path);
        d.emplace_back("size", e.identity.size);
        d.emplace_back("mtime", e.identity.mtime);
        d.emplace_back("picked", e.picked);
        photos.push_back(std::move(d));
    }
    bplist::Array skipped;
    skipped.reserve(decisions.skippedGroups.size());
    for (const auto &group : decisions.skippedGroups)
        skipped.push_back(bplist::Array(group.begin(), group.end()));
    bplist::Dict root;
    root.emplace_back("format", kFormat);
    root.emplace_back("folder", decisions.folder);
    root.emplace_back("photos", std::move(photos));
    root.emplace_back("skippedGroups", std::move(skipped));
    return bplist::write(std::move(root));
}

std::optional<FolderDecisions> decode(const QByteArray &bytes)
{
    const auto r = Reader::open(bytes);
    if (!r)
        return std::nullopt;
    const auto root = r->dictItems(r->root());
    if (!root)
        return std::nullopt;
    const auto format = r->find(*root, QLatin1StringView("format"));
    const auto folder = r->find(*root, QLatin1StringView("folder"));
    const auto photos = r->find(*root, QLatin1StringView("photos"));
    const auto skipped = r->find(*root, QLatin1StringView("skippedGroups"));
    if (!format || r->toInteger(*format) != kFormat || !folder || !photos || !skipped)
        return std::nullopt;
    FolderDecisions out;
    auto name = r->toString(*folder);
    const auto items = r->arrayItems(*photos);
    const auto groups = r->arrayItems(*skipped);
    if (!name || !items || !groups)
        return std::nullopt;
    out.folder = std::move(*name);
    out.photos.reserve(items->size());
    for (uint64_t item : *items) {
        auto e = decodeEntry(*r, item);
        if (!e)
            return std::nullopt;
        out.photos.push_back(std::move(*e));
    }
    for (uint64_t group : *groups) {
        const auto members = r->arrayItems(group);
        if (!members)
            return std::nullopt;
        std::vector<int> positions;
        for (uint64_t m : *members) {
            const auto p = r->toInteger(m);
            if (!p || *p < 0 || uint64_t(*p) >= out.photos.size())
                return std::nullopt;
            positions.push_back(int(*p));
        }
        out.skippedGroups.push_back(std::move(positions));
    }
    return out;
}

ReadResult read(const QString &path, const QString &sourceFolder)
{
    const auto st = statFile(path, false);
    if (!st)
        return {};
    if (!st->isRegular)
        return {std::nullopt, true};
    QFile file;
    if (!openForReading(file, path))
        return {std::nullopt, true};
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return {std::nullopt, true};
    auto decisions = decode(bytes);
    if (!decisions || decisions->folder != normalFolder(sourceFolder))
        return {std::nullopt, true};
    return {std::move(decisions), false};
}

std::optional<QString> setAside(const QString &path)
{
    const QString stem = path + QStringLiteral(".damaged-") +
                         QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    for (int n = 1; n < 100; ++n) {
        const QString target = n == 1 ? stem : stem + QLatin1Char('-') + QString::number(n);
        if (statFile(target, false))
            continue;
        if (std::rename(pathToBytes(path).constData(), pathToBytes(target).constData()) != 0)
            return std::nullopt;
        return target;
    }
    return std::nullopt;
}

std::optional<QString> save(const QString &path, const FolderDecisions &decisions)
{
    return writeFileAtomically(path, encode(decisions));
}

} // namespace mendral::DecisionStore

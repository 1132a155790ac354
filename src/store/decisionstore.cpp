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
    // Every photo is in one group, so no photo is entered twice; the entries of absent photos
    // have paths no group holds.
    FolderDecisions out;
    out.folder = normalFolder(sourceFolder);
    auto add = [&](int index, bool picked) -> int {
        if (index < 0 || size_t(index) >= photos.size())
            return -1;
        const auto it = identities.find(photos[size_t(index)].id);
        if (it == identities.end())
            return -1;
        out.photos.push_back({it->second, picked});
        return int(out.photos.size()) - 1;
    };
    for (const PhotoGroup &g : groups) {
        if (g.skipped) {
            std::vector<int> members;
            for (int p = 0; p < g.count(); ++p)
                if (const int e = add(g.indices[size_t(p)], g.picks.count(p) > 0); e >= 0)
                    members.push_back(e);
            if (!members.empty())
                out.skippedGroups.push_back(std::move(members));
        } else {
            for (int p : g.picks)
                if (p >= 0 && p < g.count())
                    add(g.indices[size_t(p)], true);
        }
    }
    const int offset = int(out.photos.size());
    out.photos.insert(out.photos.end(), absent.photos.begin(), absent.photos.end());
    for (std::vector<int> group : absent.skippedGroups) {
        for (int &p : group)
            p += offset;
        out.skippedGroups.push_back(std::move(group));
    }
    return out;
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

// One array per field rather than a dictionary per photo: a fifth of the objects to write.
QByteArray encode(const FolderDecisions &decisions)
{
    const size_t n = decisions.photos.size();
    bplist::Array paths, sizes, mtimes, picked;
    paths.reserve(n);
    sizes.reserve(n);
    mtimes.reserve(n);
    picked.reserve(n);
    for (const auto &e : decisions.photos) {
        paths.emplace_back(e.identity.path);
        sizes.emplace_back(e.identity.size);
        mtimes.emplace_back(e.identity.mtime);
        picked.emplace_back(e.picked);
    }
    bplist::Array skipped;
    skipped.reserve(decisions.skippedGroups.size());
    for (const auto &group : decisions.skippedGroups)
        skipped.push_back(bplist::Array(group.begin(), group.end()));
    bplist::Dict root;
    root.emplace_back(QStringLiteral("format"), kFormat);
    root.emplace_back(QStringLiteral("folder"), decisions.folder);
    root.emplace_back(QStringLiteral("paths"), std::move(paths));
    root.emplace_back(QStringLiteral("sizes"), std::move(sizes));
    root.emplace_back(QStringLiteral("mtimes"), std::move(mtimes));
    root.emplace_back(QStringLiteral("picked"), std::move(picked));
    root.emplace_back(QStringLiteral("skippedGroups"), std::move(skipped));
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
    auto items = [&](const char *key) -> std::optional<std::vector<uint64_t>> {
        const auto ref = r->find(*root, QLatin1StringView(key));
        return ref ? r->arrayItems(*ref) : std::nullopt;
    };
    const auto format = r->find(*root, QLatin1StringView("format"));
    const auto folder = r->find(*root, QLatin1StringView("folder"));
    auto name = folder ? r->toString(*folder) : std::nullopt;
    const auto paths = items("paths"), sizes = items("sizes"), mtimes = items("mtimes"),
               picked = items("picked"), groups = items("skippedGroups");
    if (!format || r->toInteger(*format) != kFormat || !name || !paths || !sizes || !mtimes ||
        !picked || !groups)
        return std::nullopt;
    const size_t n = paths->size();
    if (sizes->size() != n || mtimes->size() != n || picked->size() != n)
        return std::nullopt;
    FolderDecisions out;
    out.folder = std::move(*name);
    out.photos.reserve(n);
    for (size_t i = 0; i < n; ++i) {
        auto path = r->toString((*paths)[i]);
        const auto size = r->toInteger((*sizes)[i]);
        const auto mtime = r->toNumber((*mtimes)[i]);
        const auto pick = r->toBool((*picked)[i]);
        if (!path || path->isEmpty() || !size || !mtime || !pick)
            return std::nullopt;
        out.photos.push_back({{std::move(*path), *size, *mtime}, *pick});
    }
    for (uint64_t group : *groups) {
        const auto members = r->arrayItems(group);
        if (!members)
            return std::nullopt;
        std::vector<int> positions;
        positions.reserve(members->size());
        for (uint64_t m : *members) {
            const auto p = r->toInteger(m);
            if (!p || *p < 0 || uint64_t(*p) >= n)
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

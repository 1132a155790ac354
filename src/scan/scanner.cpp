#include "scanner.h"

#include "platform/filepath.h"
#include "platform/imagemeta.h"

#include <QDateTime>
#include <QHash>

#include <algorithm>
#include <dirent.h>

namespace mendral::Scanner {

namespace {

const QString kPicksName = QStringLiteral("精选");
const QString kPicksSuffix = QStringLiteral("_精选");

// Names of a directory, sorted by their bytes so that listings are repeatable; nullopt when
// the directory cannot be opened.
std::optional<std::vector<QString>> listDirectory(const QString &dir)
{
    DIR *d = ::opendir(pathToBytes(dir).constData());
    if (!d)
        return std::nullopt;
    std::vector<QByteArray> names;
    while (const dirent *e = ::readdir(d)) {
        const QByteArray name(e->d_name);
        if (name != "." && name != "..")
            names.push_back(name);
    }
    ::closedir(d);
    std::sort(names.begin(), names.end());
    std::vector<QString> out;
    out.reserve(names.size());
    for (const QByteArray &n : names)
        out.push_back(pathFromBytes(n));
    return out;
}

QString joinPath(const QString &dir, const QString &name)
{
    return dir.endsWith(QLatin1Char('/')) ? dir + name : dir + QLatin1Char('/') + name;
}

bool isImageName(const QString &name)
{
    return allExts().contains(lowerExtension(name));
}

// Depth-first, each item before its children. Hidden items and pick folders are neither kept
// nor entered; directory symlinks are not followed, so a link back up cannot loop.
void walk(const QString &dir, std::vector<QString> &out)
{
    const auto names = listDirectory(dir);
    if (!names)
        return;
    for (const QString &name : *names) {
        if (name.startsWith(QLatin1Char('.')) || name == kPicksName || name.endsWith(kPicksSuffix))
            continue;
        const QString path = joinPath(dir, name);
        if (isImageName(name))
            out.push_back(path);
        const auto st = statFile(path, false);
        if (st && st->isDirectory)
            walk(path, out);
    }
}

std::optional<std::vector<QString>> listCandidates(const QString &folder, bool recursive)
{
    if (recursive) {
        const auto top = statFile(folder);
        if (!top || !top->isDirectory || !listDirectory(folder))
            return std::nullopt;
        std::vector<QString> out;
        walk(folder, out);
        return out;
    }
    std::vector<QString> out;
    if (const auto names = listDirectory(folder)) {
        for (const QString &name : *names)
            if (!name.startsWith(QLatin1Char('.')) && isImageName(name))
                out.push_back(joinPath(folder, name));
    }
    return out;
}

QString baseKeyOf(const QString &path)
{
    const QString name = fileName(path);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString stem = dot < 0 ? path : path.left(path.size() - (name.size() - dot));
    return stem.toLower();
}

} // namespace

const QSet<QString> &rawExts()
{
    static const QSet<QString> exts{"dng", "cr2", "cr3", "nef", "arw", "raf", "orf",
                                    "rw2", "srw", "pef", "raw", "3fr", "erf"};
    return exts;
}

const QSet<QString> &stdExts()
{
    static const QSet<QString> exts{"jpg", "jpeg", "heic", "heif", "png", "tif", "tiff", "webp"};
    return exts;
}

const QSet<QString> &allExts()
{
    static const QSet<QString> exts = rawExts() + stdExts();
    return exts;
}

std::optional<double> parseExifDate(const QString &text)
{
    const QDateTime dt = QDateTime::fromString(text, QStringLiteral("yyyy:MM:dd HH:mm:ss"));
    if (!dt.isValid())
        return std::nullopt;
    return double(dt.toMSecsSinceEpoch()) / 1000.0;
}

Meta readMetadata(const QString &url)
{
    Meta meta;
    const ImageProperties props = readImageProperties(url, rawExts().contains(lowerExtension(url)));
    if (!props.readable)
        return meta;
    if (props.width > 0 && props.height > 0) {
        meta.width = props.width;
        meta.height = props.height;
    }
    // Only one date string is tried: a present but unparsable original date is not replaced
    // by the file's modification date tag.
    const std::optional<QString> &text = props.dateTimeOriginal ? props.dateTimeOriginal
                                                                : props.dateTime;
    double fraction = 0;
    if (props.subSecTimeOriginal) {
        bool ok = false;
        const double f = (QStringLiteral("0.") + *props.subSecTimeOriginal).toDouble(&ok);
        if (ok)
            fraction = f;
    }
    if (text) {
        if (const auto parsed = parseExifDate(*text))
            meta.date = *parsed + fraction;
    }
    return meta;
}

std::optional<Entry> pickPrimary(const std::vector<Entry> &entries)
{
    if (entries.empty())
        return std::nullopt;
    if (entries.size() == 1)
        return entries.front();
    static const char *const preference[] = {"jpg", "jpeg", "heic", "heif", "png", "tif", "tiff"};
    for (const char *ext : preference)
        for (const Entry &e : entries)
            if (lowerExtension(e.url) == QLatin1String(ext))
                return e;
    const Entry *best = &entries.front();
    for (const Entry &e : entries)
        if (e.size > best->size)
            best = &e;
    return *best;
}

bool scalarLess(const QString &a, const QString &b)
{
    // Decode surrogate pairs so characters beyond the BMP order after U+E000…U+FFFF,
    // as scalar values do (UTF-16 code units would put them before).
    auto next = [](const QString &s, qsizetype &i) -> char32_t {
        const char16_t u = s.at(i++).unicode();
        if (QChar::isHighSurrogate(u) && i < s.size() && QChar::isLowSurrogate(s.at(i).unicode()))
            return QChar::surrogateToUcs4(u, s.at(i++).unicode());
        return u;
    };
    qsizetype i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        const char32_t ca = next(a, i);
        const char32_t cb = next(b, j);
        if (ca != cb)
            return ca < cb;
    }
    return i == a.size() && j < b.size();
}

std::vector<Photo> scan(const QString &folder, bool recursive,
                        const std::function<void(double)> &progress,
                        const std::function<bool()> &isCancelled)
{
    const auto candidates = listCandidates(folder, recursive);
    if (!candidates)
        return {};

    std::vector<Entry> entries;
    const size_t n = candidates->size();
    for (size_t i = 0; i < n; ++i) {
        if (isCancelled && isCancelled())
            break;
        if (i % 25 == 0 && progress)
            progress(0.9 * double(i) / double(n));
        const QString &url = (*candidates)[i];
        const auto st = statFile(url);
        if (!st || !st->isRegular || st->size <= 0)
            continue;
        Entry e;
        e.url = url;
        e.size = st->size;
        e.isRaw = rawExts().contains(lowerExtension(url));
        const Meta meta = readMetadata(url);
        e.date = meta.date ? *meta.date : fileCreationTime(*st).value_or(0.0);
        e.width = meta.width;
        e.height = meta.height;
        e.baseKey = baseKeyOf(url);
        entries.push_back(std::move(e));
    }
    if (progress)
        progress(1.0);

    QHash<QString, size_t> slot;
    std::vector<std::vector<Entry>> sets;
    for (Entry &e : entries) {
        const auto it = slot.constFind(e.baseKey);
        if (it == slot.cend()) {
            slot.insert(e.baseKey, sets.size());
            sets.push_back({std::move(e)});
        } else {
            sets[*it].push_back(std::move(e));
        }
    }

    std::vector<Photo> photos;
    photos.reserve(sets.size());
    for (std::vector<Entry> &set : sets) {
        const auto primary = pickPrimary(set);
        if (!primary)
            continue;
        std::vector<const Entry *> others;
        for (const Entry &e : set)
            if (e.url != primary->url)
                others.push_back(&e);
        std::stable_sort(others.begin(), others.end(),
                         [](const Entry *a, const Entry *b) { return a->size > b->size; });
        QStringList companions;
        for (const Entry *e : others)
            companions.append(e->url);
        photos.emplace_back(primary->url, companions, primary->date, primary->size,
                            primary->width, primary->height, primary->isRaw);
    }

    std::stable_sort(photos.begin(), photos.end(), [](const Photo &a, const Photo &b) {
        if (a.captureDate != b.captureDate)
            return a.captureDate < b.captureDate;
        return scalarLess(a.name(), b.name());
    });
    return photos;
}

} // namespace mendral::Scanner

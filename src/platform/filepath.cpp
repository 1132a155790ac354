#include "filepath.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace mendral {

namespace {

// Length of the valid UTF-8 sequence starting at p (strict: no overlongs, no surrogates,
// nothing above U+10FFFF), or 0 when the byte there does not start one.
int validSequenceLength(const unsigned char *p, qsizetype remaining, char32_t &cp)
{
    const unsigned char b0 = p[0];
    if (b0 < 0x80) {
        cp = b0;
        return 1;
    }
    int len;
    char32_t min;
    if ((b0 & 0xE0) == 0xC0) {
        len = 2, cp = b0 & 0x1F, min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        len = 3, cp = b0 & 0x0F, min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        len = 4, cp = b0 & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    if (remaining < len)
        return 0;
    for (int i = 1; i < len; ++i) {
        if ((p[i] & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (p[i] & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return len;
}

double toSeconds(const statx_timestamp &t)
{
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

} // namespace

QString pathFromBytes(const QByteArray &bytes)
{
    QString out;
    out.reserve(bytes.size());
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.constData());
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n;) {
        char32_t cp = 0;
        const int len = validSequenceLength(p + i, n - i, cp);
        if (len == 0) {
            out.append(QChar(char16_t(0xDC00 + p[i])));
            ++i;
            continue;
        }
        if (cp >= 0x10000) {
            out.append(QChar(QChar::highSurrogate(cp)));
            out.append(QChar(QChar::lowSurrogate(cp)));
        } else {
            out.append(QChar(char16_t(cp)));
        }
        i += len;
    }
    return out;
}

QByteArray pathToBytes(const QString &path)
{
    QByteArray out;
    out.reserve(path.size() * 3);
    const qsizetype n = path.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t u = path.at(i).unicode();
        char32_t cp = u;
        if (QChar::isHighSurrogate(u) && i + 1 < n && QChar::isLowSurrogate(path.at(i + 1).unicode())) {
            cp = QChar::surrogateToUcs4(u, path.at(i + 1).unicode());
            ++i;
        } else if (u >= 0xDC80 && u <= 0xDCFF) {
            out.append(char(u - 0xDC00)); // an undecodable byte kept by pathFromBytes
            continue;
        } else if (QChar::isSurrogate(u)) {
            cp = 0xFFFD;
        }
        if (cp < 0x80) {
            out.append(char(cp));
        } else if (cp < 0x800) {
            out.append(char(0xC0 | (cp >> 6)));
            out.append(char(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.append(char(0xE0 | (cp >> 12)));
            out.append(char(0x80 | ((cp >> 6) & 0x3F)));
            out.append(char(0x80 | (cp & 0x3F)));
        } else {
            out.append(char(0xF0 | (cp >> 18)));
            out.append(char(0x80 | ((cp >> 12) & 0x3F)));
            out.append(char(0x80 | ((cp >> 6) & 0x3F)));
            out.append(char(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

std::optional<FileStat> statFile(const QString &path, bool followLinks)
{
    const QByteArray bytes = pathToBytes(path);
    struct statx sx {};
    const int flags = followLinks ? 0 : AT_SYMLINK_NOFOLLOW;
    if (statx(AT_FDCWD, bytes.constData(), flags,
              STATX_TYPE | STATX_SIZE | STATX_MTIME | STATX_BTIME, &sx) != 0)
        return std::nullopt;
    FileStat st;
    st.isRegular = S_ISREG(sx.stx_mode);
    st.isDirectory = S_ISDIR(sx.stx_mode);
    st.isSymlink = S_ISLNK(sx.stx_mode);
    if (sx.stx_mask & STATX_SIZE)
        st.size = int64_t(sx.stx_size);
    if (sx.stx_mask & STATX_BTIME)
        st.birthTime = toSeconds(sx.stx_btime);
    if (sx.stx_mask & STATX_MTIME)
        st.modificationTime = toSeconds(sx.stx_mtime);
    return st;
}

std::optional<double> fileCreationTime(const FileStat &st)
{
    if (st.birthTime && (!st.modificationTime || *st.birthTime < *st.modificationTime))
        return st.birthTime;
    return st.modificationTime;
}

bool openForReading(QFile &file, const QString &path)
{
    const int fd = ::open(pathToBytes(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return false;
    }
    return true;
}

QString fileName(const QString &path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? path : path.mid(slash + 1);
}

QString lowerExtension(const QString &path)
{
    const QString name = fileName(path);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : name.mid(dot + 1).toLower();
}

} // namespace mendral

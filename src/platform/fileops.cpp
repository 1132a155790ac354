#include "fileops.h"

#include "filepath.h"

#include <QCryptographicHash>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <limits>
#include <vector>

namespace mendral {

namespace {

constexpr size_t kChunk = 1 << 20;
constexpr char kPartialSuffix[] = ".mendral-part";

QString systemError(int err)
{
    return QString::fromLocal8Bit(std::strerror(err));
}

class Fd {
public:
    explicit Fd(int fd) : m_fd(fd) {}
    ~Fd()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    int get() const { return m_fd; }
    int release()
    {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }

private:
    int m_fd;
};

// Reads up to n bytes, retrying short reads; -1 on error.
ssize_t readFully(int fd, char *buf, size_t n)
{
    size_t got = 0;
    while (got < n) {
        const ssize_t r = ::read(fd, buf + got, n - got);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        if (r == 0)
            break;
        got += size_t(r);
    }
    return ssize_t(got);
}

bool writeFully(int fd, const char *buf, size_t n)
{
    while (n > 0) {
        const ssize_t w = ::write(fd, buf, n);
        if (w < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        buf += w;
        n -= size_t(w);
    }
    return true;
}

// Gives from the name to, unless something already has that name: 0 or an errno.
int renameNoReplace(const QByteArray &from, const QByteArray &to)
{
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    // File systems without the flag: a hard link refuses an existing name as well.
    if (::link(from.constData(), to.constData()) == 0) {
        ::unlink(from.constData());
        return 0;
    }
    if (errno == EEXIST)
        return EEXIST;
    // No hard links either (FAT and its kin): look, then rename.
    struct stat st {};
    if (::lstat(to.constData(), &st) == 0)
        return EEXIST;
    return ::rename(from.constData(), to.constData()) == 0 ? 0 : errno;
}

} // namespace

std::optional<QString> makePath(const QString &dir)
{
    const QByteArray bytes = pathToBytes(dir);
    for (qsizetype i = 1; i <= bytes.size(); ++i) {
        if (i < bytes.size() && bytes[i] != '/')
            continue;
        const QByteArray prefix = bytes.left(i);
        if (::mkdir(prefix.constData(), 0755) != 0 && errno != EEXIST)
            return systemError(errno);
    }
    const auto st = statFile(dir);
    if (!st || !st->isDirectory)
        return systemError(ENOTDIR);
    return std::nullopt;
}

std::optional<QString> copyFile(const QString &source, const QString &target)
{
    Fd in(::open(pathToBytes(source).constData(), O_RDONLY | O_CLOEXEC));
    if (in.get() < 0)
        return systemError(errno);
    struct stat st {};
    if (::fstat(in.get(), &st) != 0)
        return systemError(errno);
    const QByteArray targetBytes = pathToBytes(target);
    const QByteArray partial = pathToBytes(partialCopyPath(target));
    auto openPartial = [&] {
        return ::open(partial.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    };
    int fd = openPartial();
    if (fd < 0 && errno == EEXIST) {
        // A copy that died before it was complete; the name is ours.
        ::unlink(partial.constData());
        fd = openPartial();
    }
    Fd out(fd);
    if (out.get() < 0)
        return systemError(errno);
    auto fail = [&](int err) -> std::optional<QString> {
        if (out.get() >= 0)
            ::close(out.release());
        ::unlink(partial.constData());
        return systemError(err);
    };
    std::vector<char> buf(kChunk);
    for (;;) {
        const ssize_t n = readFully(in.get(), buf.data(), buf.size());
        if (n < 0)
            return fail(errno);
        if (n == 0)
            break;
        if (!writeFully(out.get(), buf.data(), size_t(n)))
            return fail(errno);
    }
    const timespec times[2] = {st.st_atim, st.st_mtim};
    ::futimens(out.get(), times);
    // On disk before it is given its name: a crash after the rename finds the whole file.
    if (::fsync(out.get()) != 0 && errno != EINVAL)
        return fail(errno);
    if (::close(out.release()) != 0)
        return fail(errno);
    if (const int err = renameNoReplace(partial, targetBytes))
        return fail(err);
    return std::nullopt;
}

QString partialCopyPath(const QString &target)
{
    const qsizetype slash = target.lastIndexOf(QLatin1Char('/'));
    return target.left(slash + 1) + QLatin1Char('.') + target.mid(slash + 1) +
           QLatin1String(kPartialSuffix);
}

int removePartialCopies(const QString &dir)
{
    const QByteArray base = pathToBytes(dir) + '/';
    DIR *d = ::opendir(base.constData());
    if (!d)
        return 0;
    const size_t suffix = std::strlen(kPartialSuffix);
    int removed = 0;
    while (const dirent *e = ::readdir(d)) {
        const size_t len = std::strlen(e->d_name);
        if (len <= suffix + 1 || e->d_name[0] != '.' ||
            std::memcmp(e->d_name + len - suffix, kPartialSuffix, suffix) != 0)
            continue;
        const QByteArray path = base + e->d_name;
        struct stat st {};
        if (::lstat(path.constData(), &st) == 0 && S_ISREG(st.st_mode) && ::unlink(path.constData()) == 0)
            ++removed;
    }
    ::closedir(d);
    return removed;
}

std::optional<QString> writeFileAtomically(const QString &path, const QByteArray &bytes)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    if (slash > 0)
        if (const auto err = makePath(path.left(slash)))
            return err;
    const QByteArray target = pathToBytes(path);
    QByteArray temp = target + ".XXXXXX";
    Fd out(::mkostemp(temp.data(), O_CLOEXEC));
    if (out.get() < 0)
        return systemError(errno);
    auto fail = [&](int err) -> std::optional<QString> {
        if (out.get() >= 0)
            ::close(out.release());
        ::unlink(temp.constData());
        return systemError(err);
    };
    if (!writeFully(out.get(), bytes.constData(), size_t(bytes.size())))
        return fail(errno);
    if (::fsync(out.get()) != 0 && errno != EINVAL)
        return fail(errno);
    if (::close(out.release()) != 0)
        return fail(errno);
    if (::rename(temp.constData(), target.constData()) != 0)
        return fail(errno);
    return std::nullopt;
}

bool removeFile(const QString &path)
{
    return ::unlink(pathToBytes(path).constData()) == 0;
}

bool sameContents(const QString &a, const QString &b)
{
    const auto sa = statFile(a), sb = statFile(b);
    if (!sa || !sb || !sa->isRegular || !sb->isRegular || sa->size != sb->size)
        return false;
    Fd fa(::open(pathToBytes(a).constData(), O_RDONLY | O_CLOEXEC));
    Fd fb(::open(pathToBytes(b).constData(), O_RDONLY | O_CLOEXEC));
    if (fa.get() < 0 || fb.get() < 0)
        return false;
    std::vector<char> ba(kChunk), bb(kChunk);
    for (;;) {
        const ssize_t na = readFully(fa.get(), ba.data(), kChunk);
        const ssize_t nb = readFully(fb.get(), bb.data(), kChunk);
        if (na < 0 || nb < 0 || na != nb)
            return false;
        if (na == 0)
            return true;
        if (std::memcmp(ba.data(), bb.data(), size_t(na)) != 0)
            return false;
    }
}

std::optional<QByteArray> md5OfFile(const QString &path, std::optional<int64_t> limit)
{
    Fd fd(::open(pathToBytes(path).constData(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0)
        return std::nullopt;
    QCryptographicHash hash(QCryptographicHash::Md5);
    std::vector<char> buf(kChunk);
    int64_t left = limit ? std::max<int64_t>(0, *limit) : std::numeric_limits<int64_t>::max();
    while (left > 0) {
        const ssize_t n = ::read(fd.get(), buf.data(), size_t(std::min<int64_t>(left, int64_t(buf.size()))));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return std::nullopt;
        }
        if (n == 0)
            break;
        hash.addData(QByteArrayView(buf.data(), n));
        left -= n;
    }
    return hash.result();
}

} // namespace mendral

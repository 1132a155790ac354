#include "fileops.h"

#include "filepath.h"

#include <QCryptographicHash>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <limits>
#include <vector>

namespace mendral {

namespace {

constexpr size_t kChunk = 1 << 20;

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
    Fd out(::open(targetBytes.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
    if (out.get() < 0)
        return systemError(errno);
    std::vector<char> buf(kChunk);
    auto fail = [&](int err) -> std::optional<QString> {
        ::close(out.release());
        ::unlink(targetBytes.constData());
        return systemError(err);
    };
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
    if (::close(out.release()) != 0) {
        const int err = errno;
        ::unlink(targetBytes.constData());
        return systemError(err);
    }
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

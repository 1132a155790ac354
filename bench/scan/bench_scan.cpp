// Scans a generated folder of small EXIF-tagged JPEGs and compares the time per file with a
// plain directory listing that reads each file's size, in the same run.
//
//   bench_scan [FILES]        (default 3000)

#include "platform/filepath.h"
#include "scan/scanner.h"

#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QTemporaryDir>

#include <exiv2/exiv2.hpp>

#include <algorithm>
#include <cstdio>
#include <dirent.h>
#include <sys/stat.h>

using namespace mendral;

namespace {

QByteArray taggedJpeg()
{
    QImage img(64, 48, QImage::Format_RGB32);
    img.fill(Qt::darkCyan);
    QByteArray data;
    QBuffer buf(&data);
    buf.open(QIODevice::WriteOnly);
    img.save(&buf, "jpg", 80);
    auto image = Exiv2::ImageFactory::open(reinterpret_cast<const Exiv2::byte *>(data.constData()),
                                           long(data.size()));
    image->readMetadata();
    Exiv2::ExifData exif;
    exif["Exif.Photo.DateTimeOriginal"] = std::string("2024:05:01 10:00:00");
    exif["Exif.Photo.SubSecTimeOriginal"] = std::string("25");
    exif["Exif.Image.Orientation"] = uint16_t(6);
    image->setExifData(exif);
    image->writeMetadata();
    Exiv2::BasicIo &io = image->io();
    io.seek(0, Exiv2::BasicIo::beg);
    const Exiv2::DataBuf out = io.read(long(io.size()));
    return QByteArray(reinterpret_cast<const char *>(out.pData_), long(out.size_));
}

// The baseline: what any scan must do at least, list the files and read their sizes.
size_t plainListing(const QByteArray &dir)
{
    size_t count = 0;
    int64_t total = 0;
    DIR *d = opendir(dir.constData());
    while (const dirent *e = readdir(d)) {
        if (e->d_name[0] == '.')
            continue;
        struct stat st {};
        if (stat((dir + "/" + e->d_name).constData(), &st) == 0 && S_ISREG(st.st_mode)) {
            total += st.st_size;
            ++count;
        }
    }
    closedir(d);
    return total > 0 ? count : 0;
}

template <typename F>
double bestOf(int runs, F f)
{
    double best = 1e300;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        f();
        best = std::min(best, double(t.nsecsElapsed()) / 1e6);
    }
    return best;
}

} // namespace

int main(int argc, char **argv)
{
    const int files = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3000;
    QTemporaryDir tmp;
    const QByteArray jpeg = taggedJpeg();
    for (int i = 0; i < files; ++i) {
        QFile f(tmp.path() + QString("/IMG_%1.JPG").arg(i, 5, 10, QChar('0')));
        f.open(QIODevice::WriteOnly);
        f.write(jpeg);
    }
    const QByteArray dir = pathToBytes(tmp.path());

    size_t listed = 0, scanned = 0;
    const double listMs = bestOf(5, [&] { listed = plainListing(dir); });
    const double scanMs = bestOf(5, [&] { scanned = Scanner::scan(tmp.path(), true, [](double) {}).size(); });

    std::printf("files                    %d (listed %zu, photos %zu)\n", files, listed, scanned);
    std::printf("plain listing + sizes    %.4f ms/file\n", listMs / files);
    std::printf("Scanner::scan            %.4f ms/file\n", scanMs / files);
    std::printf("ratio scan/listing       %.1f\n", scanMs / listMs);
    return scanned == size_t(files) ? 0 : 1;
}

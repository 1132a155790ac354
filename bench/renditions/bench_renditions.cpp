// Times Analyzer::thumbnailImage against vipsthumbnail on the same files and sizes, and the
// image cache cold, warm from disk and warm from memory. Prints ratios to the baselines
// measured in the same run. Usage: bench_renditions [WORK_DIR] (kept when given).

#include "analysis/renditions_files.h"
#include "analysis/thumbnail.h"
#include "imagecache/imagestore.h"
#include "support/testfiles.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

using namespace mendral;

namespace {

constexpr int sizes[] = {2400, 900, 420, 220};
constexpr int runs = 3;

// A photo-like picture: soft shapes, fine texture and sensor-like noise, so the encoders
// work as hard as on a real photo.
QImage makePicture(int w, int h)
{
    QImage base(w / 4, h / 4, QImage::Format_RGB32);
    QRandomGenerator rng(42);
    QPainter p(&base);
    QLinearGradient sky(0, 0, 0, base.height());
    sky.setColorAt(0, QColor(90, 140, 210));
    sky.setColorAt(1, QColor(230, 200, 160));
    p.fillRect(base.rect(), sky);
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 400; ++i) {
        p.setBrush(QColor(rng.bounded(256), rng.bounded(256), rng.bounded(256), 160));
        p.drawEllipse(QPointF(rng.bounded(base.width()), rng.bounded(base.height())),
                      rng.bounded(5, 120), rng.bounded(5, 120));
    }
    p.end();
    QImage img = base.scaled(w, h, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    quint32 state = 12345;
    for (int y = 0; y < h; ++y) {
        auto *row = reinterpret_cast<QRgb *>(img.scanLine(y));
        for (int x = 0; x < w; ++x) {
            state = state * 1664525u + 1013904223u;
            const int n = int(state >> 28) - 8; // -8…7
            const QRgb c = row[x];
            row[x] = qRgb(std::clamp(qRed(c) + n, 0, 255), std::clamp(qGreen(c) + n, 0, 255),
                          std::clamp(qBlue(c) + n, 0, 255));
        }
    }
    return img;
}

double medianMs(const std::function<void()> &work)
{
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        work();
        ms.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

bool quietRun(const QString &program, const QStringList &args)
{
    QProcess p;
    p.setStandardOutputFile(QProcess::nullDevice());
    p.setStandardErrorFile(QProcess::nullDevice());
    p.start(program, args);
    return p.waitForFinished(120000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// Written in vips' own format, so its time is decoding and shrinking, not encoding.
bool vips(const QString &file, int size, const QString &outDir)
{
    return quietRun("vipsthumbnail", {file, "--size", QString::number(size), "-o", outDir + "/%s.v"});
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir temp;
    const QString work = argc > 1 ? QString::fromLocal8Bit(argv[1]) : temp.path();
    test::makeDirectory(work);
    const QString out = work + "/vips-out";
    test::makeDirectory(out);

    std::fprintf(stderr, "making test files in %s\n", qPrintable(work));
    const QImage picture = makePicture(6000, 4000);
    // Stored as a camera held upright writes it (turned), with orientation 6 to turn it back.
    const QImage stored = picture.transformed(QTransform().rotate(-90));
    struct Source { const char *label; QString path; };
    std::vector<Source> sources;
    auto add = [&](const char *label, const QString &name, const QImage &img, const char *format) {
        const QString path = work + "/" + name;
        if (!QFile::exists(path) && !img.save(path, format, format == QByteArray("jpg") ? 92 : -1)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return;
        }
        sources.push_back({label, path});
    };
    add("JPEG o6", "photo.jpg", stored, "jpg");
    test::writeExif(work + "/photo.jpg", {std::nullopt, std::nullopt, std::nullopt, 6});
    add("PNG", "photo.png", picture, "png");
    add("TIFF", "photo.tif", picture, "tiff");
    add("WebP", "photo.webp", picture, "webp");
    // A phone-sized HEIC with an embedded 320-pixel thumbnail, as phones write them.
    const QString heic = work + "/photo.heic";
    const QImage phone = picture.scaled(4032, 3024, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (QFile::exists(heic) || test::writeHeic(heic, phone, 1, phone.scaled(320, 240)))
        sources.push_back({"HEIC 12MP", heic});

    const bool haveVips = quietRun("vipsthumbnail", {"--vips-version"});
    double vipsStart = 0;
    if (haveVips)
        vipsStart = medianMs([] { quietRun("vipsthumbnail", {"--vips-version"}); });
    else
        std::fprintf(stderr, "vipsthumbnail not found: run bench/renditions/run.sh to install it\n");

    std::printf("Renditions (median of %d, ms); ratio = ours / vipsthumbnail\n", runs);
    std::printf("vipsthumbnail process start alone: %.1f ms (included in its figures)\n", vipsStart);
    std::printf("%-10s %6s %10s %10s %7s\n", "format", "size", "ours", "vips", "ratio");
    for (const Source &s : sources) {
        for (int size : sizes) {
            QSize got;
            const double ours = medianMs([&] { got = Analyzer::thumbnailImage(s.path, size).size(); });
            double theirs = -1;
            if (haveVips) {
                bool ok = true;
                theirs = medianMs([&] { ok = vips(s.path, size, out) && ok; });
                if (!ok)
                    theirs = -1;
            }
            if (theirs > 0)
                std::printf("%-10s %6d %10.1f %10.1f %7.2f  (%dx%d)\n", s.label, size, ours, theirs, ours / theirs,
                            got.width(), got.height());
            else
                std::printf("%-10s %6d %10.1f %10s %7s  (%dx%d)\n", s.label, size, ours, "n/a", "-", got.width(),
                            got.height());
            std::fflush(stdout);
        }
    }

    std::printf("\nImage cache, thumbnail(url, 420) (ms; ratio to cold)\n");
    std::printf("%-10s %10s %10s %8s %10s %8s\n", "format", "cold", "disk", "ratio", "memory", "ratio");
    for (const Source &s : sources) {
        std::vector<double> cold, disk, memory;
        for (int i = 0; i < runs; ++i) {
            const QString cache = work + QString("/cache-%1").arg(QRandomGenerator::global()->generate());
            auto timed = [](ImageStore &store, const QString &path) {
                QElapsedTimer t;
                t.start();
                store.thumbnail(path, 420).waitForFinished();
                return double(t.nsecsElapsed()) / 1e6;
            };
            {
                ImageStore store(cache);
                cold.push_back(timed(store, s.path));
            }
            ImageStore store(cache); // new memory, same folder
            disk.push_back(timed(store, s.path));
            memory.push_back(timed(store, s.path));
            store.clearDiskCache().waitForFinished();
        }
        for (auto *v : {&cold, &disk, &memory})
            std::sort(v->begin(), v->end());
        const double c = cold[runs / 2], d = disk[runs / 2], m = memory[runs / 2];
        std::printf("%-10s %10.1f %10.2f %8.4f %10.4f %8.5f\n", s.label, c, d, d / c, m, m / c);
    }
    return 0;
}

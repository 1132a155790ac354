// Time per photo of the analysis of 24-megapixel JPEGs, stage by stage, on one core. The
// photos are the face test photos (tests/vision/fetch-test-photos.sh) enlarged to 6000 × 4000
// and saved as JPEG; without them, generated pictures without faces are used. Each stage is
// printed in ms and as a ratio to a full-size decode of the same files, measured in this run.
//
//   bench_analyze [PHOTOS]      (default 6; at most the number of test photos with faces)
//   bench_analyze FOLDER [N]    N (default 40) JPEGs of a card, evenly spread over its files
//                               so that its scenes are all represented

#include "vision/testphotos.h"

#include "analysis/analyzer.h"
#include "analysis/focus.h"
#include "analysis/imagestats.h"
#include "analysis/thumbnail.h"
#include "vision/facevision.h"
#include "vision/neural.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImageReader>
#include <QLinearGradient>
#include <QPainter>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <map>
#include <sched.h>

using namespace mendral;

namespace {

QImage generated(int i)
{
    QImage image(1500, 1000, QImage::Format_RGB32);
    QPainter p(&image);
    QLinearGradient g(0, 0, 1500, 1000);
    g.setColorAt(0, QColor::fromHsv(40 * i % 360, 120, 200));
    g.setColorAt(1, QColor::fromHsv((40 * i + 180) % 360, 160, 60));
    p.fillRect(image.rect(), g);
    for (int k = 0; k < 60; ++k)
        p.fillRect((k * 97 + i * 31) % 1400, (k * 53) % 900, 60, 40, QColor::fromHsv(k * 6, 200, 180));
    return image;
}

QStringList makeCorpus(const QString &dir, int count)
{
    QStringList sources = QDir(test::testPhotoDirectory() + "/faces").entryList({"*.jpg", "*.png"}, QDir::Files, QDir::Name);
    QStringList files;
    for (int i = 0; i < count; ++i) {
        QImage image = i < sources.size() ? test::testPhoto("faces/" + sources[i], 100000) : generated(i);
        image = image.scaled(6000, 4000, Qt::KeepAspectRatioByExpanding, Qt::SmoothTransformation)
                    .copy(0, 0, 6000, 4000);
        const QString path = QString("%1/photo%2.jpg").arg(dir).arg(i);
        if (image.save(path, "JPG", 90))
            files.append(path);
    }
    return files;
}

// Every k-th JPEG under a card's folder (by path), count of them in all.
QStringList cardSample(const QString &folder, int count)
{
    QStringList all;
    QDirIterator it(folder, {"*.jpg", "*.JPG", "*.jpeg", "*.JPEG"}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        all.append(it.next());
    all.sort();
    QStringList files;
    const qsizetype step = std::max<qsizetype>(1, all.size() / count);
    for (qsizetype i = 0; i < all.size() && files.size() < count; i += step)
        files.append(all[i]);
    return files;
}

struct Timer {
    std::map<QString, double> &totals;
    QElapsedTimer t;
    explicit Timer(std::map<QString, double> &m) : totals(m) { t.start(); }
    void lap(const QString &stage)
    {
        totals[stage] += t.nsecsElapsed() / 1e6;
        t.restart();
    }
};

// The stages of one analysis, as analyze() runs them, each timed on its own.
int stages(const QString &path, std::map<QString, double> &ms)
{
    const Vision &vision = defaultVision();
    Timer t(ms);
    const QImage large = Analyzer::thumbnailImageAtLeast(path, 2400, 2000);
    t.lap("decode");
    Analyzer::grayStats(large);
    t.lap("statistics");
    const QImage focusGray = Analyzer::grayAt(large, 1200);
    t.lap("focus grey");
    Analyzer::focusRatio(focusGray, {}, 32);
    t.lap("focus");
    // People and the scene print in one pass; the face search looks for small faces only
    // around the people.
    const std::optional<std::vector<QPointF>> people = neural::personCentres(large);
    t.lap("people, scene");
    std::vector<FaceObservation> faces = detectFaceObservations(large, people);
    t.lap("faces");
    std::erase_if(faces, [](const FaceObservation &f) { return f.boundingBox.w * f.boundingBox.h <= 0.0012; });
    if (faces.size() > 6)
        faces.resize(6);
    for (const FaceObservation &f : faces)
        Analyzer::eyeOpenScore(f, large, vision);
    t.lap("landmarks");
    for (const FaceObservation &f : faces)
        Analyzer::facePrint(f, large, vision);
    t.lap("face prints");
    if (!faces.empty()) {
        Analyzer::colorPrint(Analyzer::hairRegion(faces[0].boundingBox), large);
        Analyzer::colorPrint(Analyzer::torsoRegion(faces[0].boundingBox), large);
    }
    t.lap("colour prints");
    return int(faces.size());
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QString folder = argc > 1 && QFileInfo(QString::fromLocal8Bit(argv[1])).isDir()
        ? QString::fromLocal8Bit(argv[1])
        : QString();
    const int count = folder.isEmpty() ? (argc > 1 ? std::max(1, atoi(argv[1])) : 6)
                                       : (argc > 2 ? std::max(1, atoi(argv[2])) : 40);

    // One core: every thread of this process (OpenCV's too) shares CPU 0.
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(0, &one);
    sched_setaffinity(0, sizeof one, &one);

    QTemporaryDir dir;
    QStringList files;
    if (folder.isEmpty()) {
        std::fprintf(stderr, "writing %d 24-MP JPEGs...\n", count);
        files = makeCorpus(dir.path(), count);
    } else {
        files = cardSample(folder, count);
    }
    if (files.isEmpty())
        return 1;
    std::printf("photos: %lld %s, models %s\n", qlonglong(files.size()),
                folder.isEmpty() ? "6000x4000 JPEGs" : qPrintable("JPEGs of " + folder),
                neural::modelsAvailable() ? "present" : "missing (no prints, no people)");

    // Warm up: models and detectors load on first use.
    Analyzer::analyze(files[0]);

    std::map<QString, double> ms;
    QElapsedTimer t;
    t.start();
    for (const QString &f : files) {
        QImageReader reader(f);
        reader.read();
    }
    const double baseline = t.nsecsElapsed() / 1e6 / files.size();

    int faces = 0;
    for (const QString &f : files)
        faces += stages(f, ms);

    t.restart();
    for (const QString &f : files)
        Analyzer::analyze(f);
    const double whole = t.nsecsElapsed() / 1e6 / files.size();

    std::printf("baseline: full-size decode %.1f ms per photo\n", baseline);
    std::printf("%-14s %9s %8s\n", "stage", "ms/photo", "ratio");
    double sum = 0;
    for (const char *stage : {"decode", "statistics", "focus grey", "focus", "people, scene", "faces", "landmarks",
                              "face prints", "colour prints"}) {
        const double v = ms[stage] / files.size();
        sum += v;
        std::printf("%-14s %9.1f %8.2f\n", stage, v, v / baseline);
    }
    std::printf("%-14s %9.1f %8.2f\n", "sum of stages", sum, sum / baseline);
    std::printf("%-14s %9.1f %8.2f   (%d considered faces, %.1f per photo)\n", "analyze()", whole,
                whole / baseline, faces, double(faces) / files.size());
    return 0;
}

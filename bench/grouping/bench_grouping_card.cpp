// Groups a made-up card of real photos end to end: scan, analysis, grouping, scoring.
//
//   bench_grouping_card PHOTO...
//
// Every photo given becomes one scene of three frames two seconds apart (the photo, a 94 %
// crop, a darker copy), scenes ten minutes apart; the first scene is shot again an hour later.
// The card is written to a temporary folder with EXIF capture times. Prints every group with
// its scores and reason, then the merge trace.
#include "analysis/analyzer.h"
#include "grouping/clusterer.h"
#include "scan/scanner.h"
#include "support/testfiles.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QImage>
#include <QImageReader>
#include <QTemporaryDir>

#include <cstdio>

using namespace mendral;

namespace {

QImage frame(const QImage &source, int variant)
{
    if (variant == 1) {
        const QRect crop(source.width() * 3 / 100, source.height() * 3 / 100,
                         source.width() * 94 / 100, source.height() * 94 / 100);
        return source.copy(crop);
    }
    QImage image = source.convertToFormat(QImage::Format_RGB32);
    if (variant == 2)
        for (int y = 0; y < image.height(); ++y) {
            auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x)
                line[x] = qRgb(qRed(line[x]) * 4 / 5, qGreen(line[x]) * 4 / 5, qBlue(line[x]) * 4 / 5);
        }
    return image;
}

bool writeFrame(const QImage &image, const QString &path, const QDateTime &when)
{
    if (!image.save(path, "JPG", 90))
        return false;
    test::ExifTags tags;
    tags.dateTimeOriginal = when.toString(QStringLiteral("yyyy:MM:dd HH:mm:ss"));
    return test::writeExif(path, tags);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_grouping_card PHOTO...\n");
        return 2;
    }
    QTemporaryDir card;
    const QDateTime start(QDate(2024, 5, 1), QTime(10, 0));
    int number = 0;
    auto shoot = [&](const QImage &source, const QDateTime &when) {
        for (int variant = 0; variant < 3; ++variant) {
            const QString path = card.filePath(QStringLiteral("IMG_%1.JPG").arg(++number, 4, 10, QLatin1Char('0')));
            if (!writeFrame(frame(source, variant), path, when.addSecs(2 * variant)))
                std::fprintf(stderr, "could not write %s\n", qPrintable(path));
        }
    };
    QImage first;
    for (int k = 1; k < argc; ++k) {
        QImageReader reader(QString::fromLocal8Bit(argv[k]));
        reader.setAutoTransform(true);
        QImage image = reader.read();
        if (image.isNull()) {
            std::fprintf(stderr, "skipped %s: %s\n", argv[k], qPrintable(reader.errorString()));
            continue;
        }
        if (std::max(image.width(), image.height()) > 2000)
            image = image.scaled(2000, 2000, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        if (first.isNull())
            first = image;
        shoot(image, start.addSecs(600 * (k - 1)));
    }
    if (!first.isNull())
        shoot(first, start.addSecs(600 * argc + 3600));

    std::vector<Photo> photos = Scanner::scan(card.path(), false, [](double) {});
    QElapsedTimer clock;
    clock.start();
    for (Photo &p : photos)
        if (const auto a = Analyzer::analyze(p.url))
            p.apply(*a);
    std::printf("%zu photos analysed in %.1f s\n", photos.size(), double(clock.elapsed()) / 1e3);

    Clusterer::trace = QStringList();
    clock.restart();
    const ClusterResult result = Clusterer::run(photos);
    std::vector<PhotoGroup> groups;
    for (const auto &indices : result.groups) {
        PhotoGroup g;
        g.id = int(groups.size());
        g.indices = indices;
        groups.push_back(std::move(g));
    }
    Clusterer::score(groups, photos);
    std::printf("grouped and scored in %.1f ms; loose threshold %.3f\n",
                double(clock.nsecsElapsed()) / 1e6, double(result.threshold));

    for (const PhotoGroup &g : groups) {
        std::printf("group %d: %s (confidence %.2f%s)\n", g.id, qPrintable(g.reason),
                    double(g.confidence), g.needsReview ? ", look closely" : "");
        for (int k = 0; k < g.count(); ++k) {
            const Photo &p = photos[size_t(g.indices[size_t(k)])];
            std::printf("  %s %s score %.3f%s  faces %d side %.3f print %s\n",
                        k == g.recommended ? "*" : " ", qPrintable(p.name()),
                        double(g.scores[size_t(k)]), g.duplicates[size_t(k)] ? " duplicate" : "",
                        p.faceCount, double(p.mainFaceSide), p.featurePrint ? "yes" : "no");
        }
    }
    std::printf("trace:\n");
    for (const QString &line : *Clusterer::trace)
        std::printf("  %s\n", qPrintable(line));
    return 0;
}

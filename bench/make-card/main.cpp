// make-card: builds a camera-card folder from real photographs, with its ground truth.
//   make-card OUT_DIR [--long-side N] [--scenes N] [--days N] [--seed N] [--truth FILE] [--no-heic]
//             SOURCE... [--people SOURCE...]
// Sources after --people are photos of people (portrait and group scenes). The ground truth
// goes to FILE, by default OUT_DIR.truth.json beside the card.
#include "cardfiles.h"
#include "makecard.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QImageReader>
#include <QJsonDocument>

#include <cstdio>

using namespace mendral::card;

namespace {

int usage()
{
    std::fprintf(stderr, "usage: make-card OUT_DIR [--long-side N] [--scenes N] [--days N] [--seed N] "
                         "[--truth FILE] [--no-heic] SOURCE... [--people SOURCE...]\n");
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QImageReader::setAllocationLimit(1024);
    const QStringList args = app.arguments().mid(1);
    QString out, truthPath;
    CardOptions options;
    options.scenes = 1000;
    std::vector<Source> sources;
    bool people = false;
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "--long-side" && hasValue)
            options.longSide = args[++i].toInt();
        else if (a == "--scenes" && hasValue)
            options.scenes = args[++i].toInt();
        else if (a == "--days" && hasValue)
            options.days = args[++i].toInt();
        else if (a == "--seed" && hasValue)
            options.seed = args[++i].toUInt();
        else if (a == "--truth" && hasValue)
            truthPath = args[++i];
        else if (a == "--no-heic")
            options.heic = false;
        else if (a == "--people")
            people = true;
        else if (a.startsWith("--"))
            return usage();
        else if (out.isEmpty())
            out = a;
        else if (QImageReader(a).canRead())
            sources.push_back({a, people});
        else
            std::fprintf(stderr, "make-card: skipping unreadable %s\n", qPrintable(a));
    }
    if (out.isEmpty() || sources.empty() || options.longSide < 64 || options.scenes < 1
        || options.days < 1 || options.days > 30)
        return usage();
    if (truthPath.isEmpty())
        truthPath = out + ".truth.json";
    if (options.heic && !canWriteHeic()) {
        std::fprintf(stderr, "make-card: libheif has no HEVC encoder here; no HEIC files\n");
        options.heic = false;
    }

    // Interleave people among the landscapes so they are not all at the end of the shoot.
    std::vector<Source> landscapes, portraits, ordered;
    for (const Source &s : sources)
        (s.people ? portraits : landscapes).push_back(s);
    const size_t every = portraits.empty() ? 0 : std::max<size_t>(1, landscapes.size() / (portraits.size() + 1));
    size_t p = 0;
    for (size_t i = 0; i < landscapes.size(); ++i) {
        ordered.push_back(landscapes[i]);
        if (every && (i + 1) % every == 0 && p < portraits.size())
            ordered.push_back(portraits[p++]);
    }
    while (p < portraits.size())
        ordered.push_back(portraits[p++]);

    const CardPlan plan = planCard(ordered, options);
    QElapsedTimer clock;
    clock.start();
    QString error;
    const QJsonObject truth = makeCard(out, plan, &error, [](int done, int total) {
        if (done % 10 == 0 || done == total)
            std::fprintf(stderr, "\rmake-card: %d/%d frames", done, total);
    });
    std::fprintf(stderr, "\n");
    if (truth.isEmpty()) {
        std::fprintf(stderr, "make-card: %s\n", qPrintable(error));
        return 1;
    }
    QFile file(truthPath);
    if (!file.open(QIODevice::WriteOnly) || file.write(QJsonDocument(truth).toJson()) < 0) {
        std::fprintf(stderr, "make-card: cannot write %s\n", qPrintable(truthPath));
        return 1;
    }
    std::fprintf(stderr, "make-card: %lld photos in %d scenes at %d px in %.1f s; truth in %s\n",
                 truth["photoCount"].toInteger(), int(plan.scenes.size()), options.longSide,
                 clock.elapsed() / 1000.0, qPrintable(truthPath));
    return 0;
}

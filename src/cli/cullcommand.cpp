#include "commands.h"

#include "analysis/analyzer.h"
#include "platform/filepath.h"
#include "store/appstore.h"
#include "vision/modelcheck.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>

namespace mendral::cli {

namespace {

// The command line answers the store's questions from its arguments.
class CliDialogs : public StoreDialogs {
public:
    std::optional<QString> exportLocation;
    std::optional<ImportChoice> chooseImportFolder(bool) override { return std::nullopt; }
    std::optional<QString> chooseExportLocation(const QString &, const QString &) override
    {
        return exportLocation;
    }
    bool confirmMoveToTrash(const QString &, const QString &) override { return false; }
    bool confirmAction(const QString &, const QString &, const QString &) override { return false; }
    void revealFolder(const QString &) override {}
};

QJsonArray floats(const std::vector<float> &v)
{
    QJsonArray a;
    for (float f : v)
        a.append(double(f));
    return a;
}

QJsonValue optionalFloats(const std::optional<std::vector<float>> &v)
{
    return v ? QJsonValue(floats(*v)) : QJsonValue(QJsonValue::Null);
}

QJsonObject photoJson(const Photo &p)
{
    QJsonArray companions, facePrints;
    for (const QString &c : p.companions)
        companions.append(c);
    for (const auto &fp : p.facePrints)
        facePrints.append(floats(fp));
    return QJsonObject{{"id", p.id}, {"name", p.name()}, {"url", p.url}, {"companions", companions},
                       {"captureDate", p.captureDate}, {"fileSize", qint64(p.fileSize)},
                       {"pixelWidth", p.pixelWidth}, {"pixelHeight", p.pixelHeight}, {"isRAW", p.isRAW},
                       {"analyzed", p.analyzed}, {"sharpness", double(p.sharpness)},
                       {"exposure", double(p.exposure)},
                       {"brightness", double(p.brightness)}, {"highlights", double(p.highlights)},
                       {"shadows", double(p.shadows)}, {"faceCount", p.faceCount},
                       {"faceQuality", double(p.faceQuality)}, {"eyeOpen", double(p.eyeOpen)},
                       {"featurePrint", optionalFloats(p.featurePrint)}, {"facePrints", facePrints},
                       {"mainFaceSide", double(p.mainFaceSide)}, {"humanCount", p.humanCount},
                       {"hairPrint", optionalFloats(p.hairPrint)},
                       {"torsoPrint", optionalFloats(p.torsoPrint)}};
}

QJsonObject groupJson(const PhotoGroup &g)
{
    QJsonArray indices, duplicates, picks;
    for (int i : g.indices)
        indices.append(i);
    for (bool d : g.duplicates)
        duplicates.append(d);
    for (int p : g.picks)
        picks.append(p);
    return QJsonObject{{"id", g.id}, {"indices", indices}, {"recommended", g.recommended},
                       {"scores", floats(g.scores)}, {"duplicates", duplicates},
                       {"confidence", double(g.confidence)}, {"needsReview", g.needsReview},
                       {"reason", g.reason}, {"picks", picks}, {"skipped", g.skipped}};
}

void printTable(const AppStore &store)
{
    for (const PhotoGroup &g : store.groups()) {
        const Photo &best = store.photos()[size_t(g.bestIndex())];
        std::printf("组 %-4d %3d 张  推荐 %-28s %s  %s\n", g.id, g.count(),
                    pathToBytes(best.name()).constData(), g.needsReview ? "需确认" : "      ",
                    g.reason.toUtf8().constData());
    }
}

void say(const QString &line)
{
    std::fprintf(stderr, "%s\n", line.toUtf8().constData());
}

} // namespace

int cullCommand(const QStringList &args)
{
    QString folder, exportDest, pickMode;
    bool recursive = true, json = false;
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        if (a == "--top-level")
            recursive = false;
        else if (a == "--json")
            json = true;
        else if (a == "--export" && i + 1 < args.size())
            exportDest = args[++i];
        else if (a == "--pick" && i + 1 < args.size())
            pickMode = args[++i];
        else if (folder.isEmpty() && !a.startsWith("--"))
            folder = a;
        else {
            std::fprintf(stderr, "mendral-cli cull: unexpected argument %s\n", pathToBytes(a).constData());
            return 2;
        }
    }
    if (folder.isEmpty() || (!exportDest.isEmpty() && pickMode != "recommended" && pickMode != "confident")) {
        std::fprintf(stderr, "usage: mendral-cli cull FOLDER [--top-level] [--json] "
                             "[--export DEST --pick recommended|confident]\n");
        return 2;
    }
    const auto st = statFile(folder);
    if (!st || !st->isDirectory) {
        std::fprintf(stderr, "mendral-cli cull: %s is not a folder\n", pathToBytes(folder).constData());
        return 2;
    }

    CliDialogs dialogs;
    dialogs.exportLocation = exportDest;
    AppStore store(&dialogs);
    store.setAnalyzeFunction([](const QString &url) { return Analyzer::analyze(url); });
    store.setModelCheck(models::missing);
    store.setIncludeSubfolders(recursive);
    // The window's decisions about this folder are read, and written only when this run picks.
    store.setDecisionsWritable(false);
    int exitCode = 0;
    QString said, noticeSaid;
    QObject::connect(&store, &AppStore::textsChanged, [&] {
        if (!store.statusText().isEmpty() && store.statusText() != said)
            say(said = store.statusText());
        if (store.modelNotice() != noticeSaid)
            say(noticeSaid = store.modelNotice());
    });
    QObject::connect(&store, &AppStore::exportFinished, [&] {
        if (store.errorText())
            exitCode = 1;
        QCoreApplication::exit(exitCode);
    });
    QObject::connect(&store, &AppStore::importFinished, [&] {
        if (store.errorText())
            say(*store.errorText());
        if (store.phase() != Phase::ready) {
            QCoreApplication::exit(1);
            return;
        }
        store.setErrorText(std::nullopt); // a warning about stored decisions, said above
        if (json) {
            QJsonArray photos, groups;
            for (const Photo &p : store.photos())
                photos.append(photoJson(p));
            for (const PhotoGroup &g : store.groups())
                groups.append(groupJson(g));
            QJsonArray warnings;
            if (!store.modelNotice().isEmpty())
                warnings.append(store.modelNotice());
            const QJsonObject root{{"photos", photos}, {"groups", groups},
                                   {"threshold", double(store.calibratedThreshold())},
                                   {"status", store.statusText()}, {"warnings", warnings}};
            const QByteArray out = QJsonDocument(root).toJson(QJsonDocument::Compact);
            std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
            std::fputc('\n', stdout);
        } else {
            printTable(store);
        }
        if (exportDest.isEmpty()) {
            QCoreApplication::exit(0);
            return;
        }
        store.setDecisionsWritable(true);
        for (const PhotoGroup &g : store.groups())
            if (pickMode == "recommended" || !g.needsReview)
                store.acceptRecommendation(g.id);
        store.exportPicked();
        if (store.pickedCount() == 0)
            QCoreApplication::exit(0); // nothing to export; the status says so
        else if (store.errorText()) {
            say(*store.errorText());
            QCoreApplication::exit(1);
        }
    });
    store.start(folder);
    return QCoreApplication::exec();
}

} // namespace mendral::cli

// Imports a card of photos through the store as the program does, with the analysis cache and
// settings in a fresh folder of its own: the cold import, the re-import served from the cache,
// and the search for byte-identical photos next to jdupes on the same folder in the same run.
// The card folder is only read: a digest of its names, sizes and times is compared at the end.
//
//   bench_import [CARD_FOLDER]    (without a folder: a small card made in a temporary folder)

#include "cardfolder.h"
#include "importbench.h"
#include "platform/filepath.h"
#include "vision/neural.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>

using namespace mendral;
using namespace mendral::bench;

namespace {

QString num(double v, int decimals) { return QString::number(v, 'f', decimals); }

// The one-minute load average: the machine is shared, and a busy one slows the analysis.
QString loadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("?");
    return QString::fromLatin1(file.readLine().split(' ').value(0));
}

int fail(const QString &why)
{
    std::fprintf(stderr, "bench_import: %s\n", why.toUtf8().constData());
    printFigure("FAILED", why);
    return 1;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QString folder = argc > 1 ? pathFromBytes(argv[1]) : QString();
    QTemporaryDir cardDir;
    if (folder.isEmpty()) {
        // Made before the environment is redirected: the card maker keeps its sources in the
        // user's cache.
        if (!cardDir.isValid())
            return fail(QStringLiteral("no temporary folder for the card"));
        folder = cardDir.path() + QStringLiteral("/card");
        std::fprintf(stderr, "bench_import: making a small card in %s\n", folder.toUtf8().constData());
        const QString error = makeSmallCard(folder);
        if (!error.isEmpty())
            return fail(error + QStringLiteral(" (or pass a card folder: bench_import DIR)"));
    }
    const auto st = statFile(folder);
    if (!st || !st->isDirectory)
        return fail(folder + QStringLiteral(" is not a folder"));
    folder = QFileInfo(folder).canonicalFilePath();

    // Settings and analysis cache of the bench's own: data, config and cache homes in a fresh
    // folder. The models stay where the user's program finds them.
    if (qEnvironmentVariableIsEmpty("MENDRAL_MODELS"))
        qputenv("MENDRAL_MODELS", pathToBytes(neural::modelDirectory()));
    QTemporaryDir home;
    if (!home.isValid())
        return fail(QStringLiteral("no temporary folder for the settings and cache"));
    for (const char *name : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME"}) {
        const QString dir = home.path() + '/' + QString::fromLatin1(name).toLower();
        QDir().mkpath(dir);
        qputenv(name, pathToBytes(dir));
    }
    if (!neural::modelsAvailable())
        printFigure("note", QStringLiteral("neural models missing in ") + neural::modelDirectory() +
                         QStringLiteral(": analysis runs without them"));

    const QByteArray digestBefore = folderDigest(folder);
    const int64_t bytes = warmFolder(folder);
    printFigure("card", folder + QStringLiteral(" (") + num(double(bytes) / 1e9, 2) +
                     QStringLiteral(" GB; every run starts with it in the page cache)"));
    const QString loadBefore = loadAverage();
    QString why;
    {
        ImportBench bench(folder);
        if (!bench.imports() || !bench.duplicates())
            why = bench.why();
    }
    printFigure("load average", loadBefore + QStringLiteral(" at the start, ") + loadAverage() +
                                    QStringLiteral(" at the end, on ") + QString::number(QThread::idealThreadCount()) +
                                    QStringLiteral(" cores"));
    // Checked whatever happened above.
    if (folderDigest(folder) != digestBefore)
        return fail(QStringLiteral("THE CARD FOLDER CHANGED during the bench: ") + folder);
    printFigure("card folder", QStringLiteral("unchanged (names, sizes, modification times)"));
    return why.isEmpty() ? 0 : fail(why);
}

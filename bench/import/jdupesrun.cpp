#include "jdupesrun.h"

#include "platform/filepath.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>

namespace mendral::bench {

JdupesRun runJdupes(const QString &folder)
{
    JdupesRun run;
    const QString program = QStandardPaths::findExecutable(QStringLiteral("jdupes"));
    if (program.isEmpty())
        return run;
    run.available = true;

    QProcess jdupes;
    jdupes.setProcessChannelMode(QProcess::SeparateChannels);
    QElapsedTimer timer;
    timer.start();
    jdupes.start(program, {QStringLiteral("-r"), QStringLiteral("-q"), folder});
    if (!jdupes.waitForStarted() || !jdupes.waitForFinished(-1)) {
        run.error = QStringLiteral("jdupes did not run: ") + jdupes.errorString();
        return run;
    }
    run.ms = double(timer.nsecsElapsed()) / 1e6;
    if (jdupes.exitStatus() != QProcess::NormalExit || jdupes.exitCode() != 0) {
        run.error = QStringLiteral("jdupes exited with code ") + QString::number(jdupes.exitCode()) +
                    QStringLiteral(": ") + QString::fromLocal8Bit(jdupes.readAllStandardError()).trimmed();
        return run;
    }

    // One file per line, a blank line after each set.
    QStringList current;
    for (const QByteArray &line : jdupes.readAllStandardOutput().split('\n')) {
        if (line.isEmpty()) {
            if (current.size() > 1)
                run.sets.push_back(current);
            current.clear();
        } else {
            current << pathFromBytes(line);
        }
    }
    if (current.size() > 1)
        run.sets.push_back(current);
    return run;
}

bool sameDuplicateSets(const QSet<QString> &ourExtraCopies, const std::vector<QStringList> &jdupesSets,
                       const QSet<QString> &imported, int *sets, QString *why)
{
    QSet<QString> covered;
    *sets = 0;
    for (const QStringList &set : jdupesSets) {
        QStringList photos;
        for (const QString &f : set)
            if (imported.contains(QDir::cleanPath(f)))
                photos << QDir::cleanPath(f);
        if (photos.size() < 2)
            continue;
        ++*sets;
        int kept = 0;
        for (const QString &f : photos) {
            kept += ourExtraCopies.contains(f) ? 0 : 1;
            covered.insert(f);
        }
        if (kept != 1) {
            *why = QStringLiteral("of the copies of ") + photos.front() + QStringLiteral(" ours keeps ") +
                   QString::number(kept);
            return false;
        }
    }
    for (const QString &f : ourExtraCopies) {
        if (!covered.contains(f)) {
            *why = QStringLiteral("ours removes ") + f + QStringLiteral(", of which jdupes found no copy");
            return false;
        }
    }
    return true;
}

} // namespace mendral::bench

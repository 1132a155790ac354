#pragma once

#include <QSet>
#include <QString>
#include <QStringList>

#include <vector>

namespace mendral::bench {

/** One run of jdupes over a folder: how long it took and the sets of identical files found. */
struct JdupesRun {
    bool available = false; // jdupes is installed
    QString error;          // why the run failed; empty when it succeeded
    double ms = 0;          // wall time from start to exit
    std::vector<QStringList> sets;
};

/** Runs `jdupes -r -q folder`: a recursive search for byte-identical files (confirmed
 *  byte by byte, the way jdupes does by default). */
JdupesRun runJdupes(const QString &folder);

/**
 * Whether our search and jdupes found the same duplicates among the imported photos (paths of
 * their primary files): every jdupes set, narrowed to imported photos, that still holds two or
 * more loses all of them but one to ours, and ours removes nothing else. sets counts those
 * narrowed sets; why tells the first difference.
 */
bool sameDuplicateSets(const QSet<QString> &ourExtraCopies, const std::vector<QStringList> &jdupesSets,
                       const QSet<QString> &imported, int *sets, QString *why);

} // namespace mendral::bench

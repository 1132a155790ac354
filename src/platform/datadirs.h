#pragma once

#include <QString>
#include <QStringList>

namespace mendral {

/**
 * Where the program's installed data lives (the neural models, the interface symbols). One
 * kind of data is one folder, looked for in this order:
 *   1. the folder named by the environment variable, when it is set (taken as it is);
 *   2. share/mendral/<kind> beside the program's bin folder (an installed copy, wherever its
 *      prefix is);
 *   3. <dir>/mendral/<kind> for each dir of $XDG_DATA_DIRS (by default /usr/local/share and
 *      /usr/share);
 *   4. the per-user folder that scripts/setup fills for a build tree,
 *      $XDG_DATA_HOME (or ~/.local/share) + "/Mendral/<kind>".
 * Steps 2 and 3 take a folder only when one of the `probes` (file names) is in it; when none
 * does, the answer is the per-user folder, so that messages name where setup puts the files.
 */
QString findDataDirectory(const char *variable, const QString &kind, const QStringList &probes);

/** The same search with the program's folder given (for tests). */
QString findDataDirectory(const char *variable, const QString &kind, const QStringList &probes,
                          const QString &executableDir);

/** The folder of the running program's executable. */
QString executableDirectory();

} // namespace mendral

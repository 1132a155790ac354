#include "platform/datadirs.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace mendral {

namespace {

bool holdsAny(const QString &dir, const QStringList &probes)
{
    for (const QString &probe : probes)
        if (QFileInfo::exists(dir + QLatin1Char('/') + probe))
            return true;
    return false;
}

} // namespace

QString executableDirectory()
{
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalPath();
}

QString findDataDirectory(const char *variable, const QString &kind, const QStringList &probes)
{
    return findDataDirectory(variable, kind, probes, executableDirectory());
}

QString findDataDirectory(const char *variable, const QString &kind, const QStringList &probes,
                          const QString &executableDir)
{
    const QString fromEnvironment = qEnvironmentVariable(variable);
    if (!fromEnvironment.isEmpty())
        return fromEnvironment;

    QStringList candidates;
    if (!executableDir.isEmpty())
        candidates << QDir::cleanPath(executableDir + QStringLiteral("/../share/mendral/") + kind);
    // An unset or empty XDG_DATA_DIRS stands for the desktop default, /usr/local/share:/usr/share.
    QString systemDirs = qEnvironmentVariable("XDG_DATA_DIRS");
    if (systemDirs.isEmpty())
        systemDirs = QStringLiteral("/usr/local/share:/usr/share");
    for (const QString &dir : systemDirs.split(QLatin1Char(':'), Qt::SkipEmptyParts))
        if (QDir::isAbsolutePath(dir)) // the XDG base directory rules ignore relative entries
            candidates << QDir::cleanPath(dir + QStringLiteral("/mendral/") + kind);
    for (const QString &candidate : candidates)
        if (holdsAny(candidate, probes))
            return candidate;

    QString userData = qEnvironmentVariable("XDG_DATA_HOME");
    if (userData.isEmpty())
        userData = QDir::homePath() + QStringLiteral("/.local/share");
    return userData + QStringLiteral("/Mendral/") + kind;
}

} // namespace mendral

#pragma once

#include <QStringList>

namespace mendral::cli {

/** Each command takes its own arguments (after the command name) and returns the exit code. */
int scanCommand(const QStringList &args);
int cullCommand(const QStringList &args);
int thumbnailCommand(const QStringList &args);
int analyzeCommand(const QStringList &args);

} // namespace mendral::cli

#pragma once

#include <QByteArray>
#include <QProcess>
#include <QStringList>

namespace mendral::test {

/** What one run of a command-line program left behind. */
struct CliRun {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

/** Runs program with args and waits for it (a hang ends as a failed run, not a hung test). */
inline CliRun runProgram(const QString &program, const QStringList &args, int timeoutMs = 120000,
                         const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment())
{
    QProcess p;
    p.setProcessEnvironment(environment);
    p.start(program, args);
    p.waitForFinished(timeoutMs);
    return {p.exitCode(), p.readAllStandardOutput(), p.readAllStandardError()};
}

} // namespace mendral::test

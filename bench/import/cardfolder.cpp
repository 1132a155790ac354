#include "cardfolder.h"

#include "platform/filepath.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QFile>
#include <QProcess>

#include <algorithm>
#include <sys/stat.h>
#include <vector>

namespace mendral::bench {

namespace {

std::vector<QString> entriesUnder(const QString &folder)
{
    std::vector<QString> paths;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        paths.push_back(it.next());
    std::sort(paths.begin(), paths.end());
    return paths;
}

} // namespace

QByteArray folderDigest(const QString &folder)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    const int prefix = int(folder.size());
    for (const QString &path : entriesUnder(folder)) {
        struct stat st {};
        const QByteArray bytes = pathToBytes(path);
        if (::lstat(bytes.constData(), &st) != 0) {
            hash.addData(QByteArrayView("?"));
            continue;
        }
        const QByteArray line = pathToBytes(path.mid(prefix)) + '\t' + QByteArray::number(st.st_mode, 8) +
                                '\t' + QByteArray::number(qint64(st.st_size)) + '\t' +
                                QByteArray::number(qint64(st.st_mtim.tv_sec)) + '.' +
                                QByteArray::number(qint64(st.st_mtim.tv_nsec)) + '\n';
        hash.addData(line);
    }
    return hash.result().toHex();
}

int64_t warmFolder(const QString &folder)
{
    int64_t total = 0;
    QByteArray buffer(1 << 20, Qt::Uninitialized);
    for (const QString &path : entriesUnder(folder)) {
        const auto st = statFile(path, false);
        if (!st || !st->isRegular)
            continue;
        QFile file;
        if (!openForReading(file, path))
            continue;
        qint64 n = 0;
        while ((n = file.read(buffer.data(), buffer.size())) > 0)
            total += n;
    }
    return total;
}

QString makeSmallCard(const QString &dir)
{
#ifdef MENDRAL_MAKE_CARD
    QProcess card;
    card.setProcessChannelMode(QProcess::ForwardedChannels);
    card.start(QStringLiteral("bash"), {QStringLiteral(MENDRAL_CARD_SCRIPT), QStringLiteral("small"), dir,
                                        QStringLiteral(MENDRAL_MAKE_CARD)});
    if (!card.waitForStarted() || !card.waitForFinished(-1))
        return QStringLiteral("could not run ") + QStringLiteral(MENDRAL_CARD_SCRIPT);
    if (card.exitStatus() != QProcess::NormalExit || card.exitCode() != 0)
        return QStringLiteral("card.sh small failed with code ") + QString::number(card.exitCode());
    return QString();
#else
    Q_UNUSED(dir);
    return QStringLiteral("make-card was not built (libtiff-dev missing); make a card with "
                          "bench/quality/card.sh small DIR and pass DIR");
#endif
}

} // namespace mendral::bench

#include "commands.h"

#include "platform/filepath.h"
#include "scan/scanner.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>
#include <unistd.h>

namespace mendral::cli {

namespace {

QJsonObject photoJson(const Photo &p)
{
    QJsonArray companions;
    for (const QString &c : p.companions)
        companions.append(c);
    return QJsonObject{{"id", p.id},
                       {"name", p.name()},
                       {"url", p.url},
                       {"companions", companions},
                       {"captureDate", p.captureDate},
                       {"fileSize", qint64(p.fileSize)},
                       {"pixelWidth", p.pixelWidth},
                       {"pixelHeight", p.pixelHeight},
                       {"isRAW", p.isRAW}};
}

} // namespace

int scanCommand(const QStringList &args)
{
    QString folder;
    bool recursive = true;
    for (const QString &a : args) {
        if (a == "--top-level")
            recursive = false;
        else if (folder.isEmpty())
            folder = a;
        else {
            std::fprintf(stderr, "mendral-cli scan: unexpected argument %s\n", pathToBytes(a).constData());
            return 2;
        }
    }
    if (folder.isEmpty()) {
        std::fprintf(stderr, "usage: mendral-cli scan FOLDER [--top-level]\n");
        return 2;
    }
    const auto st = statFile(folder);
    if (!st || !st->isDirectory) {
        std::fprintf(stderr, "mendral-cli scan: %s is not a folder\n", pathToBytes(folder).constData());
        return 2;
    }
    if (::access(pathToBytes(folder).constData(), R_OK | X_OK) != 0) {
        std::fprintf(stderr, "mendral-cli scan: cannot read the folder %s\n",
                     pathToBytes(folder).constData());
        return 2;
    }

    int lastPercent = -1;
    const auto photos = Scanner::scan(folder, recursive, [&](double f) {
        const int percent = int(f * 100);
        if (percent != lastPercent) {
            lastPercent = percent;
            std::fprintf(stderr, "\rscanning %3d%%", percent);
            if (f >= 1.0)
                std::fprintf(stderr, "\n");
        }
    });

    QJsonArray list;
    for (const Photo &p : photos)
        list.append(photoJson(p));
    const QByteArray json = QJsonDocument(QJsonObject{{"photos", list}}).toJson(QJsonDocument::Indented);
    std::fwrite(json.constData(), 1, size_t(json.size()), stdout);
    return 0;
}

} // namespace mendral::cli

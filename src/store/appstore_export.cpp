// Export of the picked photos into a folder named after the source.

#include "appstore.h"

#include "platform/fileops.h"
#include "platform/filepath.h"

#include <QStandardPaths>

namespace mendral {

int AppStore::pickedCount() const
{
    int n = 0;
    for (const PhotoGroup &g : m_groups)
        n += int(g.resolved().size());
    return n;
}

QString AppStore::exportFolderName() const
{
    const QString name = m_sourceFolder ? fileName(*m_sourceFolder) : QString();
    return name.isEmpty() ? QStringLiteral("精选") : QStringLiteral("精选_") + name;
}

QString AppStore::defaultDestination(const QString &folder) const
{
    QString base = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (base.isEmpty())
        base = QStandardPaths::writableLocation(QStandardPaths::HomeLocation);
    return base + QStringLiteral("/精选/") + fileName(folder);
}

void AppStore::exportPicked()
{
    const int n = pickedCount();
    if (n < 1) {
        setStatusText(QStringLiteral("还没有选中的照片：进组把要用的照片选上，再点导出"));
        return;
    }
    if (!m_dialogs)
        return;
    const QString message = QStringLiteral("选择导出到哪个位置（已选 ") + QString::number(n) +
                            QStringLiteral(" 张；会自动新建「") + exportFolderName() + QStringLiteral("」）");
    QString startDir;
    if (m_destFolder) {
        const qsizetype slash = m_destFolder->lastIndexOf(QLatin1Char('/'));
        startDir = slash > 0 ? m_destFolder->left(slash) : QStringLiteral("/");
    } else {
        startDir = defaultDestination(m_sourceFolder.value_or(
            QStandardPaths::writableLocation(QStandardPaths::HomeLocation)));
    }
    const auto chosen = m_dialogs->chooseExportLocation(message, startDir);
    if (!chosen || chosen->isEmpty())
        return;
    const QString dest = (chosen->endsWith(QLatin1Char('/')) ? *chosen : *chosen + QLatin1Char('/')) +
                         exportFolderName();
    if (const auto err = makePath(dest)) {
        setErrorText(QStringLiteral("无法创建导出文件夹：") + dest + QLatin1Char('\n') + *err);
        return;
    }
    setDestFolder(dest);
    setSyncedCount(0);
    QMetaObject::invokeMethod(this, [this, dest] { exportAll(dest); }, Qt::QueuedConnection);
}

void AppStore::exportAll(const QString &dest)
{
    if (m_groups.empty()) {
        Q_EMIT exportFinished();
        return;
    }
    makePath(dest); // a failure shows up in the first sync
    // Groups and photos are taken together once: a new import or a duplicate removal during
    // the export cannot make it index outside the list it was given.
    m_exporter.syncAll(m_groups, m_photos, dest)
        .then(this, [this, dest](const ExportService::SyncAllResult &r) {
            setSyncedCount(r.writtenCount);
            if (r.lastError) {
                setErrorText(*r.lastError);
                setStatusText(QStringLiteral("导出未完成：") + *r.lastError);
            } else {
                setStatusText(QStringLiteral("已导出 ") + QString::number(m_syncedCount) +
                              QStringLiteral(" 个文件到「") + fileName(dest) + QStringLiteral("」"));
            }
            Q_EMIT exportFinished();
        });
}

void AppStore::revealDestination()
{
    if (!m_destFolder)
        return;
    makePath(*m_destFolder);
    if (m_dialogs)
        m_dialogs->revealFolder(*m_destFolder);
}

} // namespace mendral

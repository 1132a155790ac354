#include "ui/windowdialogs.h"

#include <QCheckBox>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QMessageBox>
#include <QPushButton>
#include <QStandardPaths>
#include <QUrl>

namespace mendral {

namespace {

QString startFolder()
{
    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    return QDir(pictures).exists() ? pictures : QDir::homePath();
}

} // namespace

std::optional<StoreDialogs::ImportChoice> WindowDialogs::chooseImportFolder(bool includeSubfolders)
{
    // The platform's own dialog cannot carry the checkbox, so Qt's dialog is used.
    QFileDialog dialog(m_window, QStringLiteral("选择照片所在的文件夹"), startFolder());
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    dialog.setLabelText(QFileDialog::Accept, QStringLiteral("导入"));
    auto *checkbox = new QCheckBox(QStringLiteral("包含子文件夹"), &dialog);
    checkbox->setChecked(includeSubfolders);
    if (auto *grid = qobject_cast<QGridLayout *>(dialog.layout()))
        grid->addWidget(checkbox, grid->rowCount(), 0, 1, grid->columnCount());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return ImportChoice{dialog.selectedFiles().front(), checkbox->isChecked()};
}

std::optional<QString> WindowDialogs::chooseExportLocation(const QString &message, const QString &startDirectory)
{
    QFileDialog dialog(m_window, message, startDirectory.isEmpty() ? startFolder() : startDirectory);
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    dialog.setLabelText(QFileDialog::Accept, QStringLiteral("导出到这里"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().front();
}

bool WindowDialogs::confirmMoveToTrash(const QString &message, const QString &informativeText)
{
    QMessageBox box(QMessageBox::Warning, QString(), message, QMessageBox::NoButton, m_window);
    box.setInformativeText(informativeText);
    QPushButton *trash = box.addButton(QStringLiteral("移到废纸篓"), QMessageBox::AcceptRole);
    box.addButton(QStringLiteral("取消"), QMessageBox::RejectRole);
    box.setDefaultButton(trash);
    box.exec();
    return box.clickedButton() == trash;
}

bool WindowDialogs::confirmAction(const QString &message, const QString &informativeText, const QString &acceptLabel)
{
    QMessageBox box(QMessageBox::Question, QString(), message, QMessageBox::NoButton, m_window);
    box.setInformativeText(informativeText);
    QPushButton *accept = box.addButton(acceptLabel, QMessageBox::AcceptRole);
    box.addButton(QStringLiteral("取消"), QMessageBox::RejectRole);
    box.setDefaultButton(accept);
    box.exec();
    return box.clickedButton() == accept;
}

void WindowDialogs::revealFolder(const QString &folder)
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
}

} // namespace mendral

#pragma once

#include "store/storedialogs.h"

class QWidget;

namespace mendral {

/**
 * The store's questions as real dialogs over the main window: folder choosers (the import one
 * with the "包含子文件夹" checkbox below its list), the warning before moving files to the
 * Trash, and showing a folder in the file browser.
 */
class WindowDialogs : public StoreDialogs {
public:
    explicit WindowDialogs(QWidget *window = nullptr) : m_window(window) {}
    void setWindow(QWidget *window) { m_window = window; }

    std::optional<ImportChoice> chooseImportFolder(bool includeSubfolders) override;
    std::optional<QString> chooseExportLocation(const QString &message, const QString &startDirectory) override;
    bool confirmMoveToTrash(const QString &message, const QString &informativeText) override;
    bool confirmAction(const QString &message, const QString &informativeText, const QString &acceptLabel) override;
    void revealFolder(const QString &folder) override;

private:
    QWidget *m_window = nullptr;
};

} // namespace mendral

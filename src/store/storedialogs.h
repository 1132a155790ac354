#pragma once

#include <QString>

#include <optional>

namespace mendral {

/**
 * The questions the store asks the user. The window implements them with real dialogs; tests
 * answer them directly.
 */
class StoreDialogs {
public:
    virtual ~StoreDialogs() = default;

    struct ImportChoice {
        QString folder;
        bool includeSubfolders = true;
    };
    /** Folder chooser with the "包含子文件夹" checkbox starting at includeSubfolders. */
    virtual std::optional<ImportChoice> chooseImportFolder(bool includeSubfolders) = 0;
    /** Folder chooser for the export location (new folders allowed). */
    virtual std::optional<QString> chooseExportLocation(const QString &message,
                                                        const QString &startDirectory) = 0;
    /** Warning alert with "移到废纸篓" (default) and "取消"; true for the first. */
    virtual bool confirmMoveToTrash(const QString &message, const QString &informativeText) = 0;
    /** Question with acceptLabel (default) and "取消"; true for the first. */
    virtual bool confirmAction(const QString &message, const QString &informativeText,
                               const QString &acceptLabel) = 0;
    /** Shows a folder in the file browser. */
    virtual void revealFolder(const QString &folder) = 0;
};

} // namespace mendral

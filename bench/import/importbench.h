#pragma once

#include "importrun.h"
#include "platform/filepath.h"

#include <QString>

#include <atomic>
#include <memory>
#include <optional>

namespace mendral::bench {

/** Prints one figure line: its name in a column, then its text. */
void printFigure(const char *figure, const QString &text);

/** The three measurements on one card folder, each returning false with why set on a fault. */
class ImportBench {
public:
    explicit ImportBench(const QString &folder) : m_folder(folder) {}
    ~ImportBench() { m_store.reset(); } // before the dialogs and counter it uses

    /** Cold import, then re-imports in the same store and in a new one; prints their lines. */
    bool imports();
    /** Duplicate search through the imported store and by jdupes; run after imports(). */
    bool duplicates();
    const QString &why() const { return m_why; }

private:
    void openStore();
    bool checkImport(const ImportRun &run);
    bool checkReimport(const char *figure, const ImportRun &run, const std::optional<FileStat> &cacheBefore);

    QString m_folder;
    CancellingDialogs m_dialogs;
    std::atomic<int> m_analyseCalls{0};
    std::unique_ptr<AppStore> m_store;
    ImportRun m_cold;
    QString m_why;
};

} // namespace mendral::bench

#pragma once

#include <QMainWindow>

#include <array>

class QAction;

namespace mendral {

class AppStore;
class ImageStore;
class RootView;

/**
 * The one window, titled "DorvaniPhoto", around the root view, with the File, Edit and View
 * menus. Every command is a store operation; whether it is enabled is worked out again on
 * every change of the store.
 */
class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    enum class Command {
        importFolder,
        exportPicked,
        regroup,
        undo,
        revealDestination,
        hideDecidedPane,
        showDecidedPane,
        deleteDuplicates,
        acceptAllRecommendations,
    };
    static constexpr int commandCount = 9;
    static constexpr QSize minimumWindowSize{1040, 700};
    static constexpr QSize defaultWindowSize{1280, 840};

    explicit MainWindow(AppStore &store, ImageStore *images = nullptr, QWidget *parent = nullptr);

    QAction *action(Command command) const { return m_actions[size_t(command)]; }
    RootView *rootView() const { return m_root; }

    /** Re-evaluates which commands are enabled (done on every store change). */
    void updateCommands();

private:
    QAction *addCommand(QMenu *menu, Command command, const QString &title, const QKeySequence &shortcut);

    AppStore &m_store;
    RootView *m_root = nullptr;
    std::array<QAction *, commandCount> m_actions{};
};

} // namespace mendral

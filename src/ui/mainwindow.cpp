#include "ui/mainwindow.h"

#include "store/appstore.h"
#include "ui/rootview.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>

namespace mendral {

MainWindow::MainWindow(AppStore &store, ImageStore *images, QWidget *parent)
    : QMainWindow(parent), m_store(store)
{
    setWindowTitle(QStringLiteral("DorvaniPhoto"));
    setMinimumSize(minimumWindowSize);
    resize(defaultWindowSize);
    m_root = new RootView(store, images, this);
    setCentralWidget(m_root);

    QMenu *file = menuBar()->addMenu(QStringLiteral("文件"));
    QMenu *edit = menuBar()->addMenu(QStringLiteral("编辑"));
    QMenu *view = menuBar()->addMenu(QStringLiteral("显示"));

    addCommand(file, Command::importFolder, QStringLiteral("导入文件夹…"), QKeySequence(Qt::CTRL | Qt::Key_I));
    addCommand(file, Command::exportPicked, QStringLiteral("导出已选照片…"), QKeySequence(Qt::CTRL | Qt::Key_E));
    file->addSeparator();
    addCommand(file, Command::regroup, QStringLiteral("重新分组"), QKeySequence(Qt::CTRL | Qt::Key_R));
    addCommand(file, Command::undo, QStringLiteral("撤销选择"), QKeySequence(Qt::CTRL | Qt::Key_Z));
    file->addSeparator();
    addCommand(file, Command::revealDestination, QStringLiteral("打开导出文件夹"),
               QKeySequence(Qt::SHIFT | Qt::CTRL | Qt::Key_O));
    addCommand(edit, Command::deleteDuplicates, QStringLiteral("删除完全重复图片"), QKeySequence());
    addCommand(edit, Command::acceptAllRecommendations, QStringLiteral("采纳全部推荐（不含需确认的组）"), QKeySequence());
    addCommand(view, Command::hideDecidedPane, QStringLiteral("收起已选栏"), QKeySequence(Qt::CTRL | Qt::Key_Right));
    addCommand(view, Command::showDecidedPane, QStringLiteral("展开已选栏"), QKeySequence(Qt::CTRL | Qt::Key_Left));

    connect(action(Command::importFolder), &QAction::triggered, this, [this] { m_store.pickFolder(); });
    connect(action(Command::exportPicked), &QAction::triggered, this, [this] { m_store.exportPicked(); });
    connect(action(Command::regroup), &QAction::triggered, this, [this] { m_store.regroup(); });
    connect(action(Command::undo), &QAction::triggered, this, [this] { m_store.undo(); });
    connect(action(Command::revealDestination), &QAction::triggered, this, [this] { m_store.revealDestination(); });
    // The overview slides its decided pane whenever the setting changes.
    connect(action(Command::hideDecidedPane), &QAction::triggered, this, [this] { m_store.setShowDecidedPane(false); });
    connect(action(Command::showDecidedPane), &QAction::triggered, this, [this] { m_store.setShowDecidedPane(true); });
    connect(action(Command::deleteDuplicates), &QAction::triggered, this, [this] {
        // Its confirmation dialog must not run inside the menu's own event handling.
        QTimer::singleShot(0, &m_store, [store = &m_store] { store->deleteExactDuplicates(); });
    });

    connect(action(Command::acceptAllRecommendations), &QAction::triggered, this, [this] {
        QTimer::singleShot(0, &m_store, [store = &m_store] { store->acceptAllRecommendations(); });
    });

    for (auto signal : {&AppStore::photosChanged, &AppStore::groupsChanged, &AppStore::phaseChanged,
                        &AppStore::settingsChanged, &AppStore::exportStateChanged, &AppStore::selectionChanged,
                        &AppStore::textsChanged})
        connect(&m_store, signal, this, &MainWindow::updateCommands);
    updateCommands();
}

QAction *MainWindow::addCommand(QMenu *menu, Command command, const QString &title, const QKeySequence &shortcut)
{
    auto *a = menu->addAction(title);
    if (!shortcut.isEmpty())
        a->setShortcut(shortcut);
    // Shortcuts work from any widget of the window, the review screen included.
    a->setShortcutContext(Qt::WindowShortcut);
    m_actions[size_t(command)] = a;
    return a;
}

void MainWindow::updateCommands()
{
    const bool hasPhotos = !m_store.photos().empty();
    action(Command::importFolder)->setEnabled(true);
    action(Command::exportPicked)->setEnabled(hasPhotos);
    action(Command::regroup)->setEnabled(hasPhotos);
    action(Command::undo)->setEnabled(m_store.canUndo());
    action(Command::revealDestination)->setEnabled(m_store.destFolder().has_value());
    action(Command::hideDecidedPane)->setEnabled(hasPhotos && m_store.showDecidedPane());
    action(Command::showDecidedPane)->setEnabled(hasPhotos && !m_store.showDecidedPane());
    action(Command::deleteDuplicates)->setEnabled(m_store.phase() == Phase::ready && hasPhotos);
    action(Command::acceptAllRecommendations)
        ->setEnabled(m_store.phase() == Phase::ready && m_store.acceptableRecommendationCount() > 0);
}

} // namespace mendral

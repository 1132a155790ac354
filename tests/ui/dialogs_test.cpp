// The store's questions as real dialogs: the folder chooser's checkbox, the Trash warning.

#include "ui/windowdialogs.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>

using namespace mendral;

namespace {

/** Runs `answer` on the modal dialog once it is up (the caller is blocked in exec()). */
void whenModal(std::function<void(QWidget *)> answer)
{
    auto *timer = new QTimer;
    auto tries = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, [timer, tries, answer] {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal && ++*tries < 500)
            return;
        timer->stop();
        timer->deleteLater();
        if (modal)
            answer(modal);
    });
    timer->start(10);
}

TEST(WindowDialogsTest, ImportChooserHasTheSubfolderCheckboxAndReturnsItsState)
{
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkpath("card"));
    WindowDialogs dialogs;
    bool startedChecked = false;
    whenModal([&](QWidget *w) {
        auto *dialog = qobject_cast<QFileDialog *>(w);
        ASSERT_NE(dialog, nullptr);
        EXPECT_TRUE(dialog->testOption(QFileDialog::DontUseNativeDialog));
        auto *box = dialog->findChild<QCheckBox *>();
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->text(), "包含子文件夹");
        QAbstractItemView *list = nullptr; // the list or the detail view, whichever is shown
        for (auto *view : dialog->findChildren<QAbstractItemView *>())
            if (view->isVisible() && (view->objectName() == "listView" || view->objectName() == "treeView"))
                list = view;
        ASSERT_NE(list, nullptr);
        EXPECT_GT(box->mapTo(dialog, QPoint(0, 0)).y(), list->mapTo(dialog, QPoint(0, list->height())).y())
            << "below the list";
        startedChecked = box->isChecked();
        box->setChecked(false);
        dialog->setDirectory(dir.path());
        dialog->selectFile(dir.path() + "/card");
        QMetaObject::invokeMethod(dialog, "accept"); // a slot, protected in C++
    });
    const auto choice = dialogs.chooseImportFolder(true);
    EXPECT_TRUE(startedChecked) << "the box starts at the store's setting";
    ASSERT_TRUE(choice.has_value());
    EXPECT_EQ(QDir(choice->folder).dirName(), "card");
    EXPECT_FALSE(choice->includeSubfolders);
}

TEST(WindowDialogsTest, CancelledChooserGivesNothing)
{
    WindowDialogs dialogs;
    whenModal([](QWidget *w) { static_cast<QDialog *>(w)->reject(); });
    EXPECT_FALSE(dialogs.chooseImportFolder(false).has_value());
}

TEST(WindowDialogsTest, TrashWarningDefaultsToMovingAndCancelKeepsFiles)
{
    WindowDialogs dialogs;
    whenModal([](QWidget *w) {
        auto *box = qobject_cast<QMessageBox *>(w);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->icon(), QMessageBox::Warning);
        EXPECT_EQ(box->informativeText(), "细节");
        ASSERT_NE(box->defaultButton(), nullptr);
        EXPECT_EQ(box->defaultButton()->text(), "移到废纸篓");
        box->defaultButton()->click();
    });
    EXPECT_TRUE(dialogs.confirmMoveToTrash("发现 2 张完全重复的图片", "细节"));

    whenModal([](QWidget *w) {
        auto *box = qobject_cast<QMessageBox *>(w);
        ASSERT_NE(box, nullptr);
        for (QAbstractButton *b : box->buttons())
            if (b->text() == "取消")
                b->click();
    });
    EXPECT_FALSE(dialogs.confirmMoveToTrash("发现 2 张完全重复的图片", "细节"));

    whenModal([](QWidget *w) { static_cast<QDialog *>(w)->reject(); }); // Escape or closing
    EXPECT_FALSE(dialogs.confirmMoveToTrash("x", "y"));
}

} // namespace

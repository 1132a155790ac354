// Qt's own dialogs speak the window's language.

#include "ui/qttranslations.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QRegularExpression>
#include <QTranslator>
#include <gtest/gtest.h>

TEST(QtTranslations, FolderChooserAndStandardButtonsAreChinese)
{
    QTranslator *translator = mendral::installQtTranslations(*QCoreApplication::instance());
    ASSERT_NE(translator, nullptr) << "Qt's translations are missing (scripts/setup installs qt6-translations-l10n)";

    QDialogButtonBox buttons(QDialogButtonBox::Cancel);
    EXPECT_EQ(buttons.button(QDialogButtonBox::Cancel)->text(), "取消");

    QFileDialog chooser;
    chooser.setOption(QFileDialog::DontUseNativeDialog);
    chooser.setFileMode(QFileDialog::Directory);
    QStringList labels;
    for (const QLabel *label : chooser.findChildren<QLabel *>())
        if (!label->text().isEmpty())
            labels << label->text();
    ASSERT_FALSE(labels.isEmpty());
    for (const QString &text : labels)
        EXPECT_FALSE(text.contains(QRegularExpression("[A-Za-z]{3,}"))) << text.toStdString();

    // Leave the other tests the untranslated application they expect.
    QCoreApplication::removeTranslator(translator);
    delete translator;
    QLocale::setDefault(QLocale::system());
}

#include "ui/qttranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <cstdio>

namespace mendral {

QTranslator *installQtTranslations(QCoreApplication &app)
{
    const QLocale chinese(QLocale::Chinese, QLocale::SimplifiedChineseScript, QLocale::China);
    QLocale::setDefault(chinese);
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    auto *translator = new QTranslator(&app);
    if (!translator->load(chinese, QStringLiteral("qtbase"), QStringLiteral("_"), folder) ||
        !QCoreApplication::installTranslator(translator)) {
        delete translator;
        std::fprintf(stderr, "mendral: Qt's Chinese texts (qtbase_zh_CN.qm) are not in %s; stock dialogs "
                             "stay in English (install qt6-translations-l10n)\n",
                     qPrintable(folder));
        return nullptr;
    }
    return translator;
}

} // namespace mendral

#pragma once

class QCoreApplication;
class QTranslator;

namespace mendral {

/**
 * Makes Qt's own texts (the folder chooser, standard buttons, context menus of text fields)
 * speak the interface's language, Simplified Chinese: loads Qt's qtbase translation from
 * Qt's translations folder (Debian: qt6-translations-l10n) into `app` and sets the default
 * locale, so that the dialogs' dates and numbers match. Returns the installed translator
 * (owned by `app`), or null with a line on stderr when the translation is not installed.
 */
QTranslator *installQtTranslations(QCoreApplication &app);

} // namespace mendral

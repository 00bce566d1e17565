#pragma once

#include <QList>

class QTranslator;

namespace plovex {

// Loads Qt's own Simplified Chinese translations (Debian's
// qt6-translations-l10n) into the application, so that the standard
// dialogs and buttons (file, colour and print dialogs, "Cancel", ...) speak
// the language of the rest of the program. The message boxes keep their
// English captions and buttons: the program names those texts itself.
// Returns the translators installed, owned by the application; none when
// the translation files are missing.
QList<QTranslator*> InstallQtTranslations();

} // namespace plovex

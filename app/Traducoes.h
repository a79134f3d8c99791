#pragma once
// Qt's own texts (the standard buttons of a message box, the entries of a
// text field's menu) in the user's language: Qt draws them in English unless
// its translations are loaded.
#include <QLocale>

class QCoreApplication;
class QTranslator;

namespace velmora::app {

// When `locale` is Brazilian Portuguese, loads Qt's translation qtbase_pt_BR
// from Qt's translations folder and installs it in `application` (which owns
// it); "Yes" / "No" then read "Sim" / "Não". Returns the installed translator,
// or nullptr for another locale or when the file is not there (the texts
// then stay in English; nothing else changes).
QTranslator* CarregaTraducoes(QCoreApplication& application, const QLocale& locale = QLocale());

}   // namespace velmora::app

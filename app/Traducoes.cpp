#include "app/Traducoes.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace velmora::app {

QTranslator* CarregaTraducoes(QCoreApplication& application, const QLocale& locale) {
    if (locale.language() != QLocale::Portuguese || locale.territory() != QLocale::Brazil) return nullptr;
    auto* translator = new QTranslator(&application);
    if (!translator->load(QStringLiteral("qtbase_pt_BR"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
        !QCoreApplication::installTranslator(translator)) {
        delete translator;
        return nullptr;
    }
    return translator;
}

}   // namespace velmora::app

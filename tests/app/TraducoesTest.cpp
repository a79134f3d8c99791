// Qt's own translations: a Yes/No message box of a Brazilian user shows
// "Sim" and "Não".
#include <gtest/gtest.h>
#include <QAbstractButton>
#include <QApplication>
#include <QLocale>
#include <QMessageBox>
#include <QTranslator>
#include "app/Traducoes.h"

namespace velmora::app {
namespace {

// The captions of a box's standard buttons, without the "&" of a shortcut.
QString Caption(QMessageBox& box, QMessageBox::StandardButton which) { return box.button(which)->text().remove('&'); }

TEST(Traducoes, StandardButtonsReadInBrazilianPortuguese) {
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::Portuguese, QLocale::Brazil));
    QTranslator* translator = CarregaTraducoes(*QApplication::instance());
    QLocale::setDefault(before);
    ASSERT_NE(translator, nullptr) << "qtbase_pt_BR.qm is missing (package qt6-translations-l10n)";

    QMessageBox box(QMessageBox::Question, "Confirmar", "Continuar?", QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(Caption(box, QMessageBox::Yes), QString::fromUtf8("Sim"));
    EXPECT_EQ(Caption(box, QMessageBox::No), QString::fromUtf8("N\xC3\xA3o"));
    QMessageBox ok(QMessageBox::Warning, "Aviso do sistema", "Texto", QMessageBox::Ok);
    EXPECT_EQ(Caption(ok, QMessageBox::Ok), "OK");

    QCoreApplication::removeTranslator(translator);
    delete translator;
}

TEST(Traducoes, AnotherLocaleKeepsQtsTexts) {
    EXPECT_EQ(CarregaTraducoes(*QApplication::instance(), QLocale(QLocale::English, QLocale::UnitedStates)), nullptr);
    EXPECT_EQ(CarregaTraducoes(*QApplication::instance(), QLocale(QLocale::Portuguese, QLocale::Portugal)), nullptr);
    QMessageBox box(QMessageBox::Question, "Confirmar", "Continuar?", QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(Caption(box, QMessageBox::Yes), "Yes");
}

}   // namespace
}   // namespace velmora::app

// The generic message window, drawn offscreen.
#include <memory>
#include <QApplication>
#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <gtest/gtest.h>

#include "app/MensagemConfirmarGenericaForm.h"

namespace velmora {
namespace {

// Made by the first window test, gone after the last test of the program:
// Qt must be torn down before the process's own exit handlers run.
std::unique_ptr<QApplication> application;

class QtTeardown : public ::testing::Environment {
public:
    void TearDown() override { application.reset(); }
};
[[maybe_unused]] ::testing::Environment* const qtTeardown = ::testing::AddGlobalTestEnvironment(new QtTeardown);

class MensagemTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (!QApplication::instance()) {
            static int argc = 1;
            static char name[] = "test_maintenance";
            static char* argv[] = {name, nullptr};
            application = std::make_unique<QApplication>(argc, argv);
        }
    }
    ~MensagemTest() override {
        SetMensagemSleep(nullptr);
        if (frmMensagemConfirmarGenerica) frmMensagemConfirmarGenerica->close();
        DeletePending();
    }
    static void DeletePending() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }
};

// What the window looked like while the thread slept.
struct Seen {
    std::chrono::milliseconds wait{0};
    int sleeps = 0;
    QPointer<TfrmMensagemConfirmarGenerica> form;
    bool visible = false;
    QString text;
    QSize size;
    QPoint position;
};

TEST_F(MensagemTest, NoticeIsPaintedThenClosesItselfAfterFiveSeconds) {
    Seen seen;
    SetMensagemSleep([&](std::chrono::milliseconds wait) {
        ++seen.sleeps;
        seen.wait = wait;
        seen.form = frmMensagemConfirmarGenerica;
        ASSERT_NE(seen.form, nullptr);
        seen.visible = seen.form->isVisible();
        seen.text = seen.form->lblMensagem->text();
        seen.size = seen.form->size();
        seen.position = seen.form->pos();
    });
    const std::string text = "AVISO: Existe uma nova versão do aplicativo velmoraMonitorMDFe. "
                             "A atualização será feita automaticamente. Aguarde...";

    MostraMensagem(text, false, true);

    EXPECT_EQ(seen.sleeps, 1);
    EXPECT_EQ(seen.wait, std::chrono::milliseconds(5000));
    EXPECT_TRUE(seen.visible);
    EXPECT_EQ(seen.text.toStdString(), text);
    EXPECT_EQ(seen.size, QSize(540, 80));
    EXPECT_EQ(seen.position, QPoint(0, 0));

    EXPECT_EQ(frmMensagemConfirmarGenerica, nullptr);
    ASSERT_FALSE(seen.form.isNull());
    EXPECT_FALSE(seen.form->isVisible());
    DeletePending();
    EXPECT_TRUE(seen.form.isNull());   // closing freed it
}

TEST_F(MensagemTest, NoticeAndConfirmationForms) {
    struct Case {
        bool confirm;
        int height;
    };
    const Case cases[] = {{false, 80}, {true, 200}};
    const std::string longText(2000, 'x');
    for (const auto& c : cases) {
        SCOPED_TRACE(c.confirm ? "confirmation" : "notice");
        int sleeps = 0;
        SetMensagemSleep([&](std::chrono::milliseconds) { ++sleeps; });

        MostraMensagem(longText, c.confirm, false);

        ASSERT_NE(frmMensagemConfirmarGenerica, nullptr);
        auto* form = frmMensagemConfirmarGenerica;
        EXPECT_EQ(sleeps, 0);             // returns at once without autoClose
        EXPECT_TRUE(form->isVisible());   // nothing closes it but the program
        EXPECT_EQ(form->windowTitle(), "Aviso do Sistema");
        EXPECT_EQ(form->size(), QSize(540, c.height));   // however long the text
        EXPECT_EQ(form->ckbConcordo->isVisible(), c.confirm);
        EXPECT_EQ(form->btnOk->isVisible(), c.confirm);
        EXPECT_EQ(form->Panel1->isVisible(), c.confirm);
        EXPECT_FALSE(form->windowFlags() & Qt::WindowCloseButtonHint);
        form->close();
        EXPECT_EQ(frmMensagemConfirmarGenerica, nullptr);
        DeletePending();
    }
}

TEST_F(MensagemTest, OkIsEnabledExactlyWhileTheBoxIsTicked) {
    MostraMensagem("Leia com atenção.", true, false);
    QPointer<TfrmMensagemConfirmarGenerica> form = frmMensagemConfirmarGenerica;
    ASSERT_FALSE(form.isNull());
    EXPECT_EQ(form->ckbConcordo->text(), "Estou ciente destas informações.");
    EXPECT_FALSE(form->ckbConcordo->isChecked());
    EXPECT_FALSE(form->btnOk->isEnabled());

    form->btnOk->click();   // disabled: nothing happens
    EXPECT_EQ(frmMensagemConfirmarGenerica, form.data());

    form->ckbConcordo->click();
    EXPECT_TRUE(form->btnOk->isEnabled());
    form->ckbConcordo->click();
    EXPECT_FALSE(form->btnOk->isEnabled());
    form->ckbConcordo->click();

    form->btnOk->click();
    EXPECT_EQ(frmMensagemConfirmarGenerica, nullptr);
    DeletePending();
    EXPECT_TRUE(form.isNull());
}

}   // namespace
}   // namespace velmora

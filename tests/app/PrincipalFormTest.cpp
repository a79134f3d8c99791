// The main window on the Qt side: its elements, the labels the engine writes,
// the timer, putting the window away and bringing it back, the tray icon and
// the end of the program.
#include <array>
#include <memory>
#include <QAction>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QThread>
#include <QElapsedTimer>
#include <gtest/gtest.h>
#include "app/PrincipalForm.h"
#include "platform/Locale.h"
#include "platform/Paths.h"
#include "tests/app/QtTestSupport.h"
#include "tests/support/TempDir.h"

namespace velmora::app {
namespace {

using test::ModalAnswerer;
using test::WaitUntil;

// The window with the notification area present or absent at will: offscreen
// there is none, but the window must behave in both worlds.
class Window : public TfrmPrincipal {
public:
    bool tray = true;
    template <typename T>
    T* Find(const char* name) const {
        T* found = findChild<T*>(name);
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    QString Text(const char* label) const { return Find<QLabel>(label)->text(); }

protected:
    bool TrayAvailable() const override { return tray; }
};

struct CounterRow {
    const char* group;
    const char* caption;
    const char* valueLabel;
};

// Top to bottom, as the user reads them.
const CounterRow kRows[] = {
    {"GroupBox1", "Lotes Processados =", "lblLotesProcessados"},
    {"GroupBox1", "Pedidos Gerados =", "lblPedidosGerados"},
    {"GroupBox1", "Confirmações Recebidas  =", "lblConfirmacaoRecebida"},
    {"GroupBox1", "MDF-e Autorizadas =", "lblMDFeAutorizada"},
    {"GroupBox1", "MDF-e Canceladas =", "lblMDFeCanceladas"},
    {"GroupBox1", "MDF-e Encerradas =", "lblMDFeEncerradas"},
    {"GroupBox1", "Consultas da MDF-e =", "lblConsultasMDFe"},
    {"GroupBox2", "Solicitações Inconsistentes =", "lblSolicitacaoInconsistente"},
    {"GroupBox2", "Lotes com o Erro =", "lblLotesErro"},
    {"GroupBox2", "Confirmações com Erro =", "lblConfirmacaoErro"},
    {"GroupBox2", "MDF-e com Erro =", "lblMDFeErro"},
    {"GroupBox2", "Consultas com Erro =", "lblConsultasComErro"},
};

TEST(MainWindow, HasEveryElementWithItsCaptionInAFixedWindow) {
    Window w;
    w.show();
    ASSERT_TRUE(WaitUntil([&] { return w.isVisible(); }));

    EXPECT_EQ(w.objectName(), "frmPrincipal");
    EXPECT_EQ(w.windowTitle(), "velmora Monitor MDF-e");
    EXPECT_EQ(w.size(), QSize(540, 357));
    EXPECT_EQ(w.minimumSize(), QSize(540, 357));
    EXPECT_EQ(w.maximumSize(), QSize(540, 357));
    Qt::WindowFlags flags = w.windowFlags();
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);

    auto* pages = w.Find<QTabWidget>("PageControl1");
    ASSERT_EQ(pages->count(), 1);
    EXPECT_EQ(pages->tabText(0), "Controle");

    EXPECT_EQ(w.Text("lblVersao"), "VERSÃO:");
    EXPECT_TRUE(w.Find<QLabel>("lblVersao")->alignment() & Qt::AlignHCenter);
    EXPECT_EQ(w.Text("Label10"), "Lendo Arquivo:");
    EXPECT_EQ(w.Text("lblNomeArquivo"), "");

    EXPECT_EQ(w.Find<QGroupBox>("GroupBox1")->title(), "Arquivos Processados com Sucesso");
    EXPECT_EQ(w.Find<QGroupBox>("GroupBox2")->title(), "Arquivos com Problemas");
    EXPECT_TRUE(w.Find<QGroupBox>("GroupBox1")->font().bold());
    EXPECT_TRUE(w.Find<QGroupBox>("GroupBox2")->font().bold());

    int rowInGroup = 0;
    const char* group = "";
    for (const CounterRow& row : kRows) {
        SCOPED_TRACE(row.valueLabel);
        if (qstrcmp(group, row.group) != 0) rowInGroup = 0;
        group = row.group;
        auto* grid = qobject_cast<QGridLayout*>(w.Find<QGroupBox>(row.group)->layout());
        ASSERT_NE(grid, nullptr);
        auto* caption = qobject_cast<QLabel*>(grid->itemAtPosition(rowInGroup, 0)->widget());
        auto* value = qobject_cast<QLabel*>(grid->itemAtPosition(rowInGroup, 1)->widget());
        ASSERT_TRUE(caption && value);
        EXPECT_EQ(caption->text(), QString::fromUtf8(row.caption));
        EXPECT_EQ(value->objectName(), row.valueLabel);
        EXPECT_EQ(value->text(), "000.000");
        EXPECT_EQ(caption->font().pixelSize(), 15);
        EXPECT_EQ(value->font().pixelSize(), 15);
        EXPECT_FALSE(caption->font().bold());
        ++rowInGroup;
    }
    EXPECT_EQ(w.Find<QGroupBox>("GroupBox1")->findChildren<QLabel*>().size(), 14);
    EXPECT_EQ(w.Find<QGroupBox>("GroupBox2")->findChildren<QLabel*>().size(), 10);

    const std::pair<const char*, const char*> buttons[] = {
        {"BitBtn3", "Reiniciar"}, {"BitBtn2", "Zerar Valores"}, {"BitBtn1", "Minimizar"}};
    int previousRight = -1;
    for (const auto& [name, caption] : buttons) {
        auto* button = w.Find<QPushButton>(name);
        EXPECT_EQ(button->text(), caption);
        EXPECT_FALSE(button->icon().isNull()) << name;
        // Left to right in this order.
        EXPECT_GT(button->x(), previousRight) << name;
        previousRight = button->x() + button->width() - 1;
    }
    EXPECT_FALSE(w.Find<QListWidget>("FileListBox1")->isVisible());

    // Everything fits the fixed window, and no caption is cut.
    const QRect client = w.rect();
    for (QWidget* child : w.findChildren<QWidget*>()) {
        if (!child->isVisible()) continue;
        QRect area(child->mapTo(&w, QPoint(0, 0)), child->size());
        EXPECT_TRUE(client.contains(area)) << child->objectName().toStdString();
        auto* label = qobject_cast<QLabel*>(child);
        if ((label && label != w.Find<QLabel>("lblNomeArquivo")) || qobject_cast<QPushButton*>(child)) {
            EXPECT_GE(child->width(), child->sizeHint().width()) << child->objectName().toStdString();
            EXPECT_GE(child->height(), child->minimumSizeHint().height()) << child->objectName().toStdString();
        }
    }
}

struct ThousandsCase {
    const char* name;
    const char* separator;
    // Expected text per value label, in the order of kRows.
    std::array<const char*, 12> texts;
};
void PrintTo(const ThousandsCase& c, std::ostream* out) { *out << c.name; }

class CounterDisplay : public ::testing::TestWithParam<ThousandsCase> {
protected:
    void TearDown() override { platform::OverrideLocale(std::nullopt); }
};

TEST_P(CounterDisplay, EachCounterLandsInItsOwnLabelGroupedByTheUsersSeparator) {
    platform::OverrideLocale(platform::LocaleSettings{"%d/%m/%Y", "%H:%M:%S", GetParam().separator});
    Window w;
    Contadores c;
    // A different value for every counter, so a label wired to the wrong
    // counter shows.
    c.iLotesProcessados = 0;
    c.iPedidosGerados = 1;
    c.iConfirmacaoRecebida = 999;
    c.iMDFeAutorizada = 1000;
    c.iMDFeCancelada = 1234;
    c.iMDFeEncerrada = 12345;
    c.iConsultasMDFe = 123456;
    c.iSolicitacaoInconsistente = 1234567;
    c.iLotesErro = 2147483647;
    c.iConfirmacaoErro = 7;
    c.iMDFeErro = 70;
    c.iConsultasMDFeErro = 700000;
    w.ShowCounters(c);
    for (size_t i = 0; i < std::size(kRows); ++i)
        EXPECT_EQ(w.Text(kRows[i].valueLabel).toStdString(), GetParam().texts[i]) << kRows[i].valueLabel;
}

INSTANTIATE_TEST_SUITE_P(Locales, CounterDisplay,
                         ::testing::Values(ThousandsCase{"point",
                                                         ".",
                                                         {"0", "1", "999", "1.000", "1.234", "12.345", "123.456",
                                                          "1.234.567", "2.147.483.647", "7", "70", "700.000"}},
                                           ThousandsCase{"comma",
                                                         ",",
                                                         {"0", "1", "999", "1,000", "1,234", "12,345", "123,456",
                                                          "1,234,567", "2,147,483,647", "7", "70", "700,000"}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(MainWindow, FileNameAndVersionLinesShowWhatTheEngineSends) {
    Window w;
    w.show();
    w.ShowFileName("MDFe41190612345678000199580010000001231000001234-pro-rec.xml");
    EXPECT_EQ(w.Text("lblNomeArquivo"), "MDFe41190612345678000199580010000001231000001234-pro-rec.xml");
    w.ShowFileName("");
    EXPECT_EQ(w.Text("lblNomeArquivo"), "");
    w.ShowVersion("Versão: 25/03/2019 14:37");
    EXPECT_EQ(w.Text("lblVersao"), "Versão: 25/03/2019 14:37");
    // A long path is cut, it does not stretch the fixed window.
    w.ShowFileName(std::string(400, 'x'));
    QCoreApplication::processEvents();
    EXPECT_EQ(w.size(), QSize(540, 357));
}

TEST(MainWindow, StatusLineShowsUnderTheFileNameAndInTheTrayTip) {
    const std::string stop =
        "Parado: Não foi possível ler o arquivo MDFe41190612345678000199580010000001231000001234-pro-rec.xml — "
        "123-pro-rec.xml";
    Window w;
    // Sent before the tray icon exists (early in start-up): the icon starts
    // with it.
    w.ShowStatus("Iniciando");
    w.CreateTrayIcon();
    auto* tray = w.Find<QSystemTrayIcon>("TrayIconData");
    EXPECT_EQ(tray->toolTip(), "velmora Monitor MDF-e\nIniciando");
    w.ShowStatus("");
    w.show();
    ASSERT_TRUE(WaitUntil([&] { return w.isVisible(); }));
    auto* status = w.Find<QLabel>("lblSituacao");
    EXPECT_EQ(status->text(), "");
    EXPECT_EQ(tray->toolTip(), "velmora Monitor MDF-e");
    const QRect buttonsBefore = w.Find<QPushButton>("BitBtn3")->geometry();

    w.ShowFileName("123-pro-rec.xml");
    w.ShowStatus(stop);
    QCoreApplication::processEvents();
    EXPECT_EQ(status->text().toStdString(), stop);
    EXPECT_EQ(tray->toolTip().toStdString(), "velmora Monitor MDF-e\n" + stop);
    // One line below the file name, above the buttons, which do not move;
    // a line longer than the window is cut, not the window widened.
    auto area = [&](QWidget* widget) { return QRect(widget->mapTo(&w, QPoint(0, 0)), widget->size()); };
    EXPECT_GE(area(status).top(), area(w.Find<QLabel>("lblNomeArquivo")).bottom());
    EXPECT_LT(area(status).bottom(), area(w.Find<QPushButton>("BitBtn3")).top());
    EXPECT_LE(status->height(), 2 * status->fontMetrics().height());
    EXPECT_EQ(w.Find<QPushButton>("BitBtn3")->geometry(), buttonsBefore);
    EXPECT_EQ(w.size(), QSize(540, 357));
    EXPECT_TRUE(w.rect().contains(area(status)));
    // For the eye: the window as the user finds it after a stop.
    Contadores counters;
    counters.iLotesProcessados = 12;
    counters.iPedidosGerados = 12;
    counters.iConfirmacaoRecebida = 14;
    counters.iMDFeAutorizada = 11;
    counters.iMDFeErro = 1;
    counters.iConfirmacaoErro = 1;
    w.ShowCounters(counters);
    w.ShowVersion("Versão: 25/03/2019 14:37");
    EXPECT_TRUE(w.grab().save(VELMORA_BINARY_DIR "/janela-parado.png", "PNG"));

    w.ShowStatus("");
    EXPECT_EQ(status->text(), "");
    EXPECT_EQ(tray->toolTip(), "velmora Monitor MDF-e");
}

TEST(MainWindow, SleepKeepsTheWindowAnsweringUntilTheTimeIsUp) {
    Window w;
    w.CreateTrayIcon();
    w.show();
    ASSERT_TRUE(WaitUntil([&] { return w.isVisible(); }));
    bool timerRan = false;
    QTimer::singleShot(50, [&] { timerRan = true; });
    // A click on "Minimizar" waiting in the queue when the wait begins.
    auto* minimizar = w.Find<QPushButton>("BitBtn1");
    const QPointF centre = QRectF(minimizar->rect()).center();
    const QPointF global = minimizar->mapToGlobal(centre);
    QCoreApplication::postEvent(minimizar, new QMouseEvent(QEvent::MouseButtonPress, centre, global, Qt::LeftButton,
                                                           Qt::LeftButton, Qt::NoModifier));
    QCoreApplication::postEvent(minimizar, new QMouseEvent(QEvent::MouseButtonRelease, centre, global, Qt::LeftButton,
                                                           Qt::NoButton, Qt::NoModifier));

    QElapsedTimer clock;
    clock.start();
    w.Sleep(std::chrono::milliseconds(1000));
    const qint64 waited = clock.elapsed();

    EXPECT_TRUE(timerRan);
    EXPECT_FALSE(w.isVisible());   // put away while the engine waited
    EXPECT_GE(waited, 1000);
    EXPECT_LT(waited, 2000);
}

TEST(MainWindow, ZerarValoresClearsCountersAndFileNameAndLeavesTheTimerRunning) {
    platform::OverrideLocale(platform::LocaleSettings{"%d/%m/%Y", "%H:%M:%S", "."});
    Window w;
    // What the labels show after some passes.
    Contadores shown;
    shown.iMDFeAutorizada = 1500;
    shown.iConsultasMDFeErro = 3;
    w.ShowCounters(shown);
    w.ShowFileName("x-sit.xml");
    w.SetTimerEnabled(true);
    ASSERT_EQ(w.Text("lblMDFeAutorizada"), "1.500");

    w.Find<QPushButton>("BitBtn2")->click();

    for (const CounterRow& row : kRows) EXPECT_EQ(w.Text(row.valueLabel), "0") << row.valueLabel;
    EXPECT_EQ(w.Text("lblNomeArquivo"), "");
    EXPECT_EQ(w.monitor().contadores(), Contadores{});
    EXPECT_TRUE(w.TimerEnabled());
    platform::OverrideLocale(std::nullopt);
}

TEST(MainWindow, TimerTicksEveryFiveSecondsAndSwitchingItOnAgainKeepsItsInterval) {
    Window w;
    auto* timer = w.Find<QTimer>("Timer1");
    EXPECT_EQ(timer->interval(), 5000);
    EXPECT_FALSE(w.TimerEnabled());

    w.SetTimerEnabled(true);
    EXPECT_TRUE(w.TimerEnabled());
    QThread::msleep(1000);
    const int before = timer->remainingTime();
    w.SetTimerEnabled(true);
    EXPECT_TRUE(w.TimerEnabled());
    // A restarted interval would show about 5000 ms again (a coarse timer
    // may move its due time by up to 5%).
    EXPECT_LE(timer->remainingTime(), before);
    EXPECT_LT(timer->remainingTime(), 4500);

    w.SetTimerEnabled(false);
    EXPECT_FALSE(w.TimerEnabled());
    w.SetTimerEnabled(false);
    EXPECT_FALSE(w.TimerEnabled());
}

struct PutAwayCase {
    bool trayAvailable;
    bool byButton;   // "Minimizar", or else the title bar's close box
};
std::string Name(const PutAwayCase& c) {
    return std::string(c.byButton ? "Minimizar" : "CloseBox") + (c.trayAvailable ? "WithTray" : "WithoutTray");
}
void PrintTo(const PutAwayCase& c, std::ostream* out) { *out << Name(c); }

class PuttingAway : public ::testing::TestWithParam<PutAwayCase> {};

TEST_P(PuttingAway, NeverClosesTheWindowAndTheTrayMenuBringsItBack) {
    auto w = std::make_unique<Window>();
    QPointer<Window> alive(w.get());
    w->tray = GetParam().trayAvailable;
    w->CreateTrayIcon();
    w->show();
    w->SetTimerEnabled(true);
    ASSERT_TRUE(WaitUntil([&] { return w->isVisible(); }));

    if (GetParam().byButton) w->Find<QPushButton>("BitBtn1")->click();
    else EXPECT_FALSE(w->close());
    QCoreApplication::processEvents();

    ASSERT_FALSE(alive.isNull());
    EXPECT_FALSE(w->Ended());
    EXPECT_TRUE(w->TimerEnabled());
    if (GetParam().trayAvailable) {
        EXPECT_FALSE(w->isVisible());
    } else {
        // No notification area to come back from: it stays on the taskbar.
        EXPECT_TRUE(w->isVisible());
        EXPECT_TRUE(w->isMinimized());
    }

    w->Find<QAction>("pmnuiOpen")->trigger();
    QCoreApplication::processEvents();
    EXPECT_TRUE(w->isVisible());
    EXPECT_FALSE(w->isMinimized());
}

INSTANTIATE_TEST_SUITE_P(Ways, PuttingAway,
                         ::testing::Values(PutAwayCase{true, true}, PutAwayCase{true, false}, PutAwayCase{false, true},
                                           PutAwayCase{false, false}),
                         [](const auto& info) { return Name(info.param); });

TEST(TrayIcon, CarriesTheTitleAndTheMenuAndOnlyADoubleClickOpensTheWindow) {
    Window w;
    w.CreateTrayIcon();
    auto* tray = w.Find<QSystemTrayIcon>("TrayIconData");
    ASSERT_NE(tray, nullptr);
    EXPECT_EQ(tray->toolTip(), "velmora Monitor MDF-e");
    EXPECT_FALSE(tray->icon().isNull());

    QMenu* menu = tray->contextMenu();
    ASSERT_EQ(menu, w.Find<QMenu>("PopupMenu1"));
    const auto actions = menu->actions();
    ASSERT_EQ(actions.size(), 3);
    EXPECT_EQ(actions[0]->text(), "&Abrir Monitor MDF-e");
    EXPECT_EQ(actions[0]->objectName(), "pmnuiOpen");
    EXPECT_TRUE(actions[1]->isSeparator());
    EXPECT_EQ(actions[2]->text(), "&Sair");
    EXPECT_EQ(actions[2]->objectName(), "Sair1");

    for (auto reason : {QSystemTrayIcon::Trigger, QSystemTrayIcon::Context, QSystemTrayIcon::MiddleClick}) {
        emit tray->activated(reason);
        EXPECT_FALSE(w.isVisible()) << reason;
    }
    emit tray->activated(QSystemTrayIcon::DoubleClick);
    EXPECT_TRUE(w.isVisible());
}

TEST(MessageBoxes, ShowTitleTextAndIconAndAnswerTheQuestion) {
    Window w;
    {
        ModalAnswerer answerer;
        w.MessageBox("Aviso do Sistema", "Não foi possível acessar a pasta Dados no Servidor.", Icon::Error);
        w.MessageBox("Aviso do Sistema", "aviso", Icon::Warning);
        w.MessageBox("t", "sem ícone", Icon::None);
        ASSERT_EQ(answerer.seen.size(), 3u);
        EXPECT_EQ(answerer.seen[0].title, "Aviso do Sistema");
        EXPECT_EQ(answerer.seen[0].text, "Não foi possível acessar a pasta Dados no Servidor.");
        EXPECT_EQ(answerer.seen[0].icon, QMessageBox::Critical);
        EXPECT_EQ(answerer.seen[1].icon, QMessageBox::Warning);
        EXPECT_EQ(answerer.seen[2].icon, QMessageBox::NoIcon);
    }
    const char* question = "Ocorreu um erro na geração deste MDF-e. Deseja visualizar o arquivo de erro?";
    for (auto [answer, expected] : {std::pair{QMessageBox::Yes, true}, std::pair{QMessageBox::No, false}}) {
        ModalAnswerer answerer(answer);
        EXPECT_EQ(w.AskYesNo(question), expected);
        ASSERT_EQ(answerer.seen.size(), 1u);
        EXPECT_EQ(answerer.seen[0].title, "velmora Monitor MDF-e");
        EXPECT_EQ(answerer.seen[0].text, question);
        EXPECT_EQ(answerer.seen[0].icon, QMessageBox::Question);
    }
    // An error escaping a handler reaches the generic box through the window.
    ModalAnswerer answerer;
    w.monitor().RunHandler([] { throw Error("Falha ao ler o arquivo"); });
    ASSERT_EQ(answerer.seen.size(), 1u);
    EXPECT_EQ(answerer.seen[0].title, "velmora Monitor MDF-e");
    EXPECT_EQ(answerer.seen[0].text, "Falha ao ler o arquivo.");
    EXPECT_EQ(answerer.seen[0].icon, QMessageBox::Critical);
}

TEST(EndOfProgram, SairStopsTheLoopAndDestroysWindowAndTrayIcon) {
    auto* w = new Window;
    QPointer<Window> window(w);
    w->CreateTrayIcon();
    w->show();
    w->SetTimerEnabled(true);
    QPointer<QSystemTrayIcon> tray = w->Find<QSystemTrayIcon>("TrayIconData");
    QPointer<QTimer> timer = w->Find<QTimer>("Timer1");

    QAction* sair = w->Find<QAction>("Sair1");
    QTimer::singleShot(0, sair, &QAction::trigger);
    bool stoppedWithTimerOff = false;
    QObject::connect(tray.data(), &QObject::destroyed, [&] { stoppedWithTimerOff = timer && !timer->isActive(); });
    // Should "&Sair" not end the loop, this does, with another code.
    QTimer failsafe;
    failsafe.setSingleShot(true);
    QObject::connect(&failsafe, &QTimer::timeout, [] { QCoreApplication::exit(1); });
    failsafe.start(10000);

    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_TRUE(tray.isNull());
    EXPECT_TRUE(stoppedWithTimerOff);
    EXPECT_TRUE(window.isNull());
    delete window.data();
}

TEST(EndOfProgram, AnEndDuringStartUpLeavesNothingToShowAndNoLoopToRun) {
    // The program "runs" from an empty folder: no configuration beside it,
    // so start-up tells the user and ends the program.
    test::TempDir folder;
    platform::OverrideExecutablePath(folder.str() + "velmoraMonitorMDFe");
    auto* w = new Window;
    QPointer<Window> window(w);
    ModalAnswerer answerer;
    const bool started = w->Start();
    platform::OverrideExecutablePath("");

    EXPECT_FALSE(started);
    ASSERT_FALSE(window.isNull());   // deleted by the entry, which runs no loop
    EXPECT_TRUE(w->Ended());
    EXPECT_FALSE(w->isVisible());
    EXPECT_FALSE(w->TimerEnabled());
    EXPECT_EQ(w->findChild<QSystemTrayIcon*>("TrayIconData"), nullptr);
    ASSERT_EQ(answerer.seen.size(), 1u);
    EXPECT_EQ(answerer.seen[0].title, "Aviso do Sistema");
    EXPECT_EQ(answerer.seen[0].text, "Não foi encontrado o arquivo de inicialização");
    // The counters were drawn before the configuration was looked for.
    EXPECT_EQ(w->Text("lblLotesProcessados"), "0");
    EXPECT_EQ(QApplication::applicationName(), "velmora Monitor MDF-e");
    delete w;
}

}   // namespace
}   // namespace velmora::app

#include "app/PrincipalForm.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QStyle>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>
#include "app/Icons.h"
#include "app/MensagemConfirmarGenericaForm.h"
#include "platform/Locale.h"

namespace velmora::app {

namespace {

constexpr int kClientWidth = 540;
constexpr int kClientHeight = 357;
constexpr int kTimerInterval = 5000;
constexpr int kCounterFontPixels = 15;

QString Q(const std::string& utf8) { return QString::fromStdString(utf8); }

QFrame* HorizontalRule(QWidget* parent) {
    auto* rule = new QFrame(parent);
    rule->setFrameShape(QFrame::HLine);
    rule->setFrameShadow(QFrame::Sunken);
    return rule;
}

QMessageBox::Icon ToQt(Icon icon) {
    switch (icon) {
    case Icon::Error: return QMessageBox::Critical;
    case Icon::Warning: return QMessageBox::Warning;
    case Icon::Information: return QMessageBox::Information;
    case Icon::Question: return QMessageBox::Question;
    case Icon::None: break;
    }
    return QMessageBox::NoIcon;
}

// A one-line label that, when its text is wider than itself, leaves out the
// middle ("…") instead of cutting the end: a stop line names the file it is
// about last, and both the reason and the file must stay readable.
class OneLineLabel : public QLabel {
public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        const QRect area = contentsRect();
        const QString shown = fontMetrics().elidedText(text(), Qt::ElideMiddle, area.width());
        style()->drawItemText(&painter, area, Qt::AlignLeft | Qt::AlignVCenter, palette(), isEnabled(), shown,
                              foregroundRole());
    }
};

}   // namespace

TfrmPrincipal::TfrmPrincipal(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
    setObjectName("frmPrincipal");
    setWindowTitle(kTitulo);
    setWindowIcon(ApplicationIcon());
    BuildControls();
    setFixedSize(kClientWidth, kClientHeight);

    // Created switched off: start-up switches it on once its first cycle
    // went through.
    Timer1 = new QTimer(this);
    Timer1->setObjectName("Timer1");
    Timer1->setInterval(kTimerInterval);
    connect(Timer1, &QTimer::timeout, this, [this] { monitor_->RunHandler([this] { monitor_->Timer1Timer(); }); });

    monitor_ = std::make_unique<Monitor>(*this);
}

TfrmPrincipal::~TfrmPrincipal() {
    // The engine goes first: closing its session may still talk to the window.
    monitor_.reset();
    delete TrayIconData.data();
}

void TfrmPrincipal::BuildControls() {
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName("PageControl1");
    outer->addWidget(PageControl1);

    // The counter rows are set apart from the bold captions and drawn larger
    // than the rest of the window so the numbers read from a distance. The
    // window's width is fixed, and with a wide system font the longest
    // captions ("Solicitações Inconsistentes =") would be cut: narrower cuts
    // of the same font are tried until both groups fit side by side.
    const QFont::Stretch widths[] = {QFont::Unstretched, QFont::SemiCondensed, QFont::Condensed, QFont::ExtraCondensed};
    for (QFont::Stretch width : widths) {
        QFont rowFont = font();
        rowFont.setBold(false);   // not taken from the bold group captions
        rowFont.setPixelSize(kCounterFontPixels);
        rowFont.setStretch(width);
        QWidget* page = BuildPage(rowFont);
        PageControl1->addTab(page, "Controle");
        const bool narrowest = width == QFont::ExtraCondensed;
        if (narrowest || PageControl1->sizeHint().width() <= kClientWidth) break;
        PageControl1->removeTab(0);
        delete page;
    }
}

QWidget* TfrmPrincipal::BuildPage(const QFont& rowFont) {
    auto* page = new QWidget;
    page->setObjectName("TabSheet1");
    auto* column = new QVBoxLayout(page);
    column->setContentsMargins(6, 4, 6, 4);
    column->setSpacing(6);

    lblVersao = new QLabel("VERSÃO:", page);
    lblVersao->setObjectName("lblVersao");
    lblVersao->setAlignment(Qt::AlignCenter);
    column->addWidget(lblVersao);
    column->addWidget(HorizontalRule(page));

    auto* groups = new QHBoxLayout;
    groups->setSpacing(6);
    QWidget* success =
        BuildCounterGroup(rowFont, "GroupBox1", "Arquivos Processados com Sucesso",
                          {{"Lotes Processados =", "lblLotesProcessados", &lblLotesProcessados},
                           {"Pedidos Gerados =", "lblPedidosGerados", &lblPedidosGerados},
                           {"Confirmações Recebidas  =", "lblConfirmacaoRecebida", &lblConfirmacaoRecebida},
                           {"MDF-e Autorizadas =", "lblMDFeAutorizada", &lblMDFeAutorizada},
                           {"MDF-e Canceladas =", "lblMDFeCanceladas", &lblMDFeCanceladas},
                           {"MDF-e Encerradas =", "lblMDFeEncerradas", &lblMDFeEncerradas},
                           {"Consultas da MDF-e =", "lblConsultasMDFe", &lblConsultasMDFe}});
    QWidget* problems = BuildCounterGroup(
        rowFont, "GroupBox2", "Arquivos com Problemas",
        {{"Solicitações Inconsistentes =", "lblSolicitacaoInconsistente", &lblSolicitacaoInconsistente},
         {"Lotes com o Erro =", "lblLotesErro", &lblLotesErro},
         {"Confirmações com Erro =", "lblConfirmacaoErro", &lblConfirmacaoErro},
         {"MDF-e com Erro =", "lblMDFeErro", &lblMDFeErro},
         {"Consultas com Erro =", "lblConsultasComErro", &lblConsultasComErro}});
    // Each group as wide as its longest caption asks; what is left over is
    // shared out.
    groups->addWidget(success);
    groups->addWidget(problems);
    column->addLayout(groups);
    column->addWidget(HorizontalRule(page));

    auto* fileLine = new QHBoxLayout;
    Label10 = new QLabel("Lendo Arquivo:", page);
    Label10->setObjectName("Label10");
    lblNomeArquivo = new QLabel(page);
    lblNomeArquivo->setObjectName("lblNomeArquivo");
    // A long path must not widen the fixed window; it is cut at the right.
    lblNomeArquivo->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    fileLine->addWidget(Label10);
    fileLine->addWidget(lblNomeArquivo, 1);
    column->addLayout(fileLine);
    // What the monitor is doing, or why it stopped: the one place the user
    // sees that the counters stand still for a reason. Always there (empty
    // when there is nothing to say) so the rows below never move; a long
    // line is shortened in the middle, with the whole line in its tip.
    lblSituacao = new OneLineLabel(page);
    lblSituacao->setObjectName("lblSituacao");
    lblSituacao->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    lblSituacao->setFixedHeight(lblSituacao->fontMetrics().height());
    lblSituacao->setTextFormat(Qt::PlainText);
    column->addWidget(lblSituacao);
    column->addWidget(HorizontalRule(page));

    auto* buttons = new QHBoxLayout;
    auto makeButton = [&](const char* name, const char* caption, const QIcon& icon) {
        auto* button = new QPushButton(icon, caption, page);
        button->setObjectName(name);
        button->setAutoDefault(false);
        buttons->addWidget(button);
        return button;
    };
    BitBtn3 = makeButton("BitBtn3", "Reiniciar", RestartIcon());
    BitBtn2 = makeButton("BitBtn2", "Zerar Valores", ResetIcon());
    BitBtn1 = makeButton("BitBtn1", "Minimizar", MinimizeIcon());
    column->addLayout(buttons);
    column->addStretch(1);

    connect(BitBtn3, &QPushButton::clicked, this,
            [this] { monitor_->RunHandler([this] { monitor_->BitBtn3Click(); }); });
    connect(BitBtn2, &QPushButton::clicked, this,
            [this] { monitor_->RunHandler([this] { monitor_->BitBtn2Click(); }); });
    connect(BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(); });

    // Never shown: the engine lists folders with its own file list; the
    // control stays so the window has every element it is known by.
    FileListBox1 = new QListWidget(page);
    FileListBox1->setObjectName("FileListBox1");
    FileListBox1->hide();
    return page;
}

QWidget* TfrmPrincipal::BuildCounterGroup(const QFont& rowFont, const QString& name, const QString& caption,
                                          std::initializer_list<CounterRow> rows) {
    auto* group = new QGroupBox(caption);
    group->setObjectName(name);
    QFont bold = group->font();
    bold.setBold(true);
    group->setFont(bold);

    auto* grid = new QGridLayout(group);
    grid->setContentsMargins(6, 4, 6, 4);
    grid->setVerticalSpacing(4);
    grid->setHorizontalSpacing(4);
    int row = 0;
    for (const CounterRow& r : rows) {
        auto* captionLabel = new QLabel(r.caption, group);
        captionLabel->setFont(rowFont);
        auto* value = new QLabel("000.000", group);
        value->setFont(rowFont);
        value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        value->setObjectName(r.name);
        *r.field = value;
        grid->addWidget(captionLabel, row, 0);
        grid->addWidget(value, row, 1);
        ++row;
    }
    grid->setRowStretch(row, 1);
    return group;
}

bool TfrmPrincipal::Start() {
    QCoreApplication::setApplicationName(kTitulo);
    CreateTrayIcon();
    monitor_->RunHandler([this] { monitor_->FormCreate(); });
    return !ended_;
}

void TfrmPrincipal::CreateTrayIcon() {
    if (TrayIconData) return;
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName("PopupMenu1");
    QAction* open = PopupMenu1->addAction("&Abrir Monitor MDF-e");
    open->setObjectName("pmnuiOpen");
    PopupMenu1->addSeparator();
    QAction* quit = PopupMenu1->addAction("&Sair");
    quit->setObjectName("Sair1");
    connect(open, &QAction::triggered, this, [this] { pmnuiOpenClick(); });
    connect(quit, &QAction::triggered, this, [this] { monitor_->RunHandler([this] { monitor_->Sair1Click(); }); });

    TrayIconData = new QSystemTrayIcon(windowIcon(), this);
    TrayIconData->setObjectName("TrayIconData");
    TrayIconData->setToolTip(TrayTip());
    // The menu opens on the right button by itself; a single click does
    // nothing, a double click brings the window back.
    TrayIconData->setContextMenu(PopupMenu1);
    connect(TrayIconData, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::DoubleClick) pmnuiOpenClick();
    });
    TrayIconData->show();
}

void TfrmPrincipal::pmnuiOpenClick() {
    if (isMinimized()) showNormal();
    else show();
    raise();
    activateWindow();
}

void TfrmPrincipal::BitBtn1Click() { close(); }

void TfrmPrincipal::closeEvent(QCloseEvent* event) {
    event->ignore();
    if (ended_) return;   // on its way out; must not come back as a minimised window
    if (TrayAvailable()) hide();
    else showMinimized();
}

bool TfrmPrincipal::TrayAvailable() const { return TrayIconData && QSystemTrayIcon::isSystemTrayAvailable(); }

// ---- UserInterface ----

void TfrmPrincipal::MessageBox(const std::string& title, const std::string& text, Icon icon) {
    // Over the window while it is on screen; centred on the screen while it
    // sits in the notification area.
    QMessageBox box(ToQt(icon), Q(title), Q(text), QMessageBox::Ok, isVisible() ? this : nullptr);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

bool TfrmPrincipal::AskYesNo(const std::string& text) {
    QMessageBox box(QMessageBox::Question, kTitulo, Q(text), QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(QMessageBox::Yes);
    box.setWindowModality(Qt::ApplicationModal);
    return box.exec() == QMessageBox::Yes;
}

void TfrmPrincipal::ProcessMessages() { QCoreApplication::processEvents(); }

void TfrmPrincipal::Sleep(std::chrono::milliseconds duration) {
    // The wait before a result is read again lasts seconds: the window keeps
    // painting and answering its buttons and tray menu meanwhile. The engine
    // starts no second cycle from what is dispatched here and looks for the
    // end of the program once the wait is over.
    if (duration.count() <= 0) return;
    QEventLoop wait;
    QTimer::singleShot(duration, Qt::PreciseTimer, &wait, &QEventLoop::quit);
    wait.exec();
}

void TfrmPrincipal::SetTimerEnabled(bool on) {
    // Switching on a running timer must not start its interval again.
    if (on && !Timer1->isActive()) Timer1->start();
    else if (!on) Timer1->stop();
}

bool TfrmPrincipal::TimerEnabled() const { return Timer1->isActive(); }

void TfrmPrincipal::ShowFileName(const std::string& name) {
    lblNomeArquivo->setText(Q(name));
    // Drawn now: the thread stays busy with the file until it is done.
    lblNomeArquivo->repaint();
}

void TfrmPrincipal::ShowCounters(const Contadores& c) {
    const std::pair<QLabel*, int32_t> order[] = {
        {lblLotesProcessados, c.iLotesProcessados},
        {lblSolicitacaoInconsistente, c.iSolicitacaoInconsistente},
        {lblPedidosGerados, c.iPedidosGerados},
        {lblLotesErro, c.iLotesErro},
        {lblConfirmacaoRecebida, c.iConfirmacaoRecebida},
        {lblConfirmacaoErro, c.iConfirmacaoErro},
        {lblMDFeAutorizada, c.iMDFeAutorizada},
        {lblMDFeErro, c.iMDFeErro},
        {lblMDFeCanceladas, c.iMDFeCancelada},
        {lblMDFeEncerradas, c.iMDFeEncerrada},
        {lblConsultasMDFe, c.iConsultasMDFe},
        {lblConsultasComErro, c.iConsultasMDFeErro},
    };
    for (const auto& [label, value] : order) label->setText(Q(platform::FormatThousands(value)));
}

void TfrmPrincipal::ShowVersion(const std::string& text) {
    lblVersao->setText(Q(text));
    lblVersao->repaint();
}

void TfrmPrincipal::ShowStatus(const std::string& line) {
    lblSituacao->setText(Q(line));
    lblSituacao->setToolTip(Q(line));
    // Drawn now: a stop line must show even if the thread is busy next.
    lblSituacao->repaint();
    if (TrayIconData) TrayIconData->setToolTip(TrayTip());
}

QString TfrmPrincipal::TrayTip() const {
    const QString status = lblSituacao->text();
    return status.isEmpty() ? QString(kTitulo) : QString(kTitulo) + "\n" + status;
}

void TfrmPrincipal::MostraMensagem(const std::string& text, bool confirm, bool autoClose) {
    velmora::MostraMensagem(text, confirm, autoClose);
}

void TfrmPrincipal::CloseAndQuit() {
    if (ended_) return;
    ended_ = true;
    Timer1->stop();
    if (TrayIconData) {
        TrayIconData->hide();
        delete TrayIconData.data();
    }
    hide();
    // Destroyed by the loop once the handler that got here has returned;
    // before the loop runs, the entry deletes it.
    deleteLater();
    QCoreApplication::exit(0);
}

}   // namespace velmora::app

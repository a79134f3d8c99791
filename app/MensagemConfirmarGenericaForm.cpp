#include "app/MensagemConfirmarGenericaForm.h"

#include <thread>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFrame>
#include <QIcon>
#include <QLabel>
#include <QPainter>
#include <QPen>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>

#include "platform/MessageIcon.h"

namespace velmora {

TfrmMensagemConfirmarGenerica* frmMensagemConfirmarGenerica = nullptr;

namespace {

std::function<void(std::chrono::milliseconds)> sleepFunction;

// The green tick of the OK button; Qt greys it by itself while disabled.
QIcon GreenTick() {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(0, 150, 0), 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPolyline(QPolygonF({QPointF(3, 8.5), QPointF(6.5, 12), QPointF(13, 4)}));
    return QIcon(pixmap);
}

}   // namespace

TfrmMensagemConfirmarGenerica::TfrmMensagemConfirmarGenerica()
    : QWidget(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::MSWindowsFixedSizeDialogHint) {
    setObjectName("frmMensagemConfirmarGenerica");
    setWindowTitle(QString::fromUtf8(kAvisoDoSistema));
    setAttribute(Qt::WA_DeleteOnClose);   // closing frees the window
    setFont(QFont("Tahoma", 8));
    setFixedSize(540, 200);
    move(0, 0);

    lblMensagem = new QLabel(QString::fromUtf8("Mensagem Genérica"), this);
    lblMensagem->setObjectName("lblMensagem");
    lblMensagem->setGeometry(8, 16, 517, 72);
    lblMensagem->setWordWrap(true);
    lblMensagem->setTextFormat(Qt::PlainText);
    lblMensagem->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    ckbConcordo = new QCheckBox(QString::fromUtf8("Estou ciente destas informações."), this);
    ckbConcordo->setObjectName("ckbConcordo");
    ckbConcordo->setGeometry(8, 94, 185, 17);

    Panel1 = new QFrame(this);
    Panel1->setObjectName("Panel1");
    Panel1->setFrameShape(QFrame::NoFrame);

    btnOk = new QPushButton(QString::fromUtf8("OK"), Panel1);
    btnOk->setObjectName("btnOk");
    btnOk->setGeometry(445, 7, 75, 25);
    btnOk->setIcon(GreenTick());
    btnOk->setIconSize(QSize(16, 16));
    btnOk->setEnabled(false);

    setTabOrder(ckbConcordo, btnOk);
    ckbConcordo->setFocus();

    connect(ckbConcordo, &QCheckBox::clicked, this, &TfrmMensagemConfirmarGenerica::ckbConcordoClick);
    connect(btnOk, &QPushButton::clicked, this, &TfrmMensagemConfirmarGenerica::btnOkClick);
}

TfrmMensagemConfirmarGenerica::~TfrmMensagemConfirmarGenerica() {
    if (frmMensagemConfirmarGenerica == this) frmMensagemConfirmarGenerica = nullptr;
}

void TfrmMensagemConfirmarGenerica::ckbConcordoClick() { btnOk->setEnabled(ckbConcordo->isChecked()); }

void TfrmMensagemConfirmarGenerica::btnOkClick() { close(); }

void TfrmMensagemConfirmarGenerica::closeEvent(QCloseEvent* event) {
    // The window itself goes once pending events are done (WA_DeleteOnClose);
    // nobody may reach it through the remembered instance from now on.
    if (frmMensagemConfirmarGenerica == this) frmMensagemConfirmarGenerica = nullptr;
    event->accept();
}

void TfrmMensagemConfirmarGenerica::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Panel1->setGeometry(0, height() - 40, width(), 40);   // docked at the bottom
}

void MostraMensagem(const std::string& text, bool confirm, bool autoClose) {
    auto* form = new TfrmMensagemConfirmarGenerica();
    frmMensagemConfirmarGenerica = form;
    QPointer<TfrmMensagemConfirmarGenerica> guard(form);
    form->show();

    form->Panel1->setVisible(confirm);
    form->ckbConcordo->setVisible(confirm);
    form->btnOk->setVisible(confirm);
    form->setFixedSize(540, confirm ? 200 : 80);
    form->repaint();

    form->lblMensagem->setText(QString::fromStdString(text));
    form->lblMensagem->repaint();

    QApplication::processEvents();   // painted before the thread goes to sleep

    if (autoClose) {
        // The thread blocks on purpose: the notice stays on screen, painted,
        // while nothing else of the program may run.
        const std::chrono::milliseconds wait(5000);
        if (sleepFunction) sleepFunction(wait);
        else std::this_thread::sleep_for(wait);
        if (guard) guard->close();
    }
}

void SetMensagemSleep(std::function<void(std::chrono::milliseconds)> sleep) { sleepFunction = std::move(sleep); }

}   // namespace velmora

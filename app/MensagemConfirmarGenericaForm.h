#pragma once
// The generic message window: a notice (the text alone) or a confirmation
// whose "OK" stays disabled until "Estou ciente destas informações." is
// ticked. The update check shows the notice and lets it close itself.
#include <chrono>
#include <functional>
#include <string>
#include <QWidget>

class QCheckBox;
class QFrame;
class QLabel;
class QPushButton;

namespace velmora {

class TfrmMensagemConfirmarGenerica : public QWidget {
    Q_OBJECT
public:
    TfrmMensagemConfirmarGenerica();
    ~TfrmMensagemConfirmarGenerica() override;

    QLabel* lblMensagem;
    QCheckBox* ckbConcordo;
    QFrame* Panel1;
    QPushButton* btnOk;

    void ckbConcordoClick();
    void btnOkClick();

protected:
    void closeEvent(QCloseEvent* event) override;   // FormClose
    void resizeEvent(QResizeEvent* event) override;
};

// The one window shown at a time; empty once it closes.
extern TfrmMensagemConfirmarGenerica* frmMensagemConfirmarGenerica;

// Shows the window without waiting for the user. With autoClose the thread
// blocks for 5000 ms after the window is painted, then closes it.
void MostraMensagem(const std::string& text, bool confirm, bool autoClose);

// The blocking wait of autoClose; tests put a recorder in its place
// (nullptr restores the real sleep).
void SetMensagemSleep(std::function<void(std::chrono::milliseconds)> sleep);

}   // namespace velmora

#pragma once
// The main window frmPrincipal: the counters, the file-name line, the status
// line, the three buttons, the tray icon with its menu and the 5000 ms timer. It owns the
// engine (Monitor) for the whole run and is the engine's UserInterface; every
// button, menu item and tick runs its engine handler through RunHandler.
#include <memory>
#include <QPointer>
#include <QWidget>
#include "monitor/Monitor.h"
#include "monitor/UserInterface.h"

class QLabel;
class QListWidget;
class QMenu;
class QPushButton;
class QSystemTrayIcon;
class QTabWidget;
class QTimer;

namespace velmora::app {

class TfrmPrincipal : public QWidget, public UserInterface {
    Q_OBJECT

public:
    explicit TfrmPrincipal(QWidget* parent = nullptr);
    ~TfrmPrincipal() override;

    // The start-up of the window: application title, tray icon, then the
    // engine's steps (counters, version line, configuration, session, first
    // cycle, update check, timer). False when the program ended during it;
    // the window must then not be shown.
    bool Start();
    // The tray icon with its menu, shown at once.
    void CreateTrayIcon();
    // The program's end was carried out (CloseAndQuit ran).
    bool Ended() const { return ended_; }

    Monitor& monitor() { return *monitor_; }

    // "&Abrir Monitor MDF-e" and the tray icon's double click.
    void pmnuiOpenClick();
    // "Minimizar": asks the window to close, which puts it away (FormClose).
    void BitBtn1Click();

    // ---- UserInterface ----
    void MessageBox(const std::string& title, const std::string& text, Icon icon) override;
    bool AskYesNo(const std::string& text) override;
    void ProcessMessages() override;
    void Sleep(std::chrono::milliseconds duration) override;
    void SetTimerEnabled(bool on) override;
    bool TimerEnabled() const override;
    void ShowFileName(const std::string& name) override;
    void ShowCounters(const Contadores& counters) override;
    void ShowVersion(const std::string& text) override;
    void ShowStatus(const std::string& line) override;
    void MostraMensagem(const std::string& text, bool confirm, bool autoClose) override;
    void CloseAndQuit() override;

protected:
    // FormClose: the window is never closed, only put away.
    void closeEvent(QCloseEvent* event) override;
    // Whether there is a notification area to put the window into. Without
    // one a hidden window could not be brought back, so it is minimised.
    virtual bool TrayAvailable() const;

private:
    void BuildControls();
    // The tray icon's tip: the title, and the status line below it.
    QString TrayTip() const;
    QWidget* BuildPage(const QFont& rowFont);
    struct CounterRow {
        const char* caption;
        const char* name;   // object name of the value label
        QLabel** field;
    };
    QWidget* BuildCounterGroup(const QFont& rowFont, const QString& name, const QString& caption,
                               std::initializer_list<CounterRow> rows);

    QTabWidget* PageControl1 = nullptr;
    QLabel* lblVersao = nullptr;
    QLabel* lblLotesProcessados = nullptr;
    QLabel* lblPedidosGerados = nullptr;
    QLabel* lblConfirmacaoRecebida = nullptr;
    QLabel* lblMDFeAutorizada = nullptr;
    QLabel* lblMDFeCanceladas = nullptr;
    QLabel* lblMDFeEncerradas = nullptr;
    QLabel* lblConsultasMDFe = nullptr;
    QLabel* lblSolicitacaoInconsistente = nullptr;
    QLabel* lblLotesErro = nullptr;
    QLabel* lblConfirmacaoErro = nullptr;
    QLabel* lblMDFeErro = nullptr;
    QLabel* lblConsultasComErro = nullptr;
    QLabel* Label10 = nullptr;
    QLabel* lblNomeArquivo = nullptr;
    QLabel* lblSituacao = nullptr;
    QPushButton* BitBtn1 = nullptr;
    QPushButton* BitBtn2 = nullptr;
    QPushButton* BitBtn3 = nullptr;
    QListWidget* FileListBox1 = nullptr;
    QTimer* Timer1 = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QPointer<QSystemTrayIcon> TrayIconData;

    bool ended_ = false;
    // Last, so that it is built when the controls it draws on exist and
    // destroyed while they still do.
    std::unique_ptr<Monitor> monitor_;
};

}   // namespace velmora::app

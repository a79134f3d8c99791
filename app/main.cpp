// Program entry: one monitor per user session, then the main window, its
// start-up and the message loop. No command-line argument is read.
#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include "app/Icons.h"
#include "app/PrincipalForm.h"
#include "app/SingleInstance.h"
#include "app/Traducoes.h"
#include "monitor/Monitor.h"
#include "platform/Journal.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    // Before any window: the standard buttons read "Sim" / "Não" for a
    // Brazilian user.
    velmora::app::CarregaTraducoes(application);
    // The window is put away, never closed; the program ends through the
    // engine (CloseAndQuit) only.
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setApplicationName(velmora::kTitulo);
    QApplication::setWindowIcon(velmora::app::ApplicationIcon());

    velmora::app::SingleInstance instance(velmora::kTitulo);
    if (!instance.Acquire()) {
        // Nothing of this instance exists yet: no window, no tray icon, no
        // session. The title's lower-case "s" is how users have always seen it.
        QMessageBox box(QMessageBox::Warning, "Aviso do sistema", "O velmora Monitor MDF-e já está em execução",
                        QMessageBox::Ok);
        box.exec();
        return 0;
    }

    // What this monitor does, for the support desk: from here to the end.
    velmora::platform::journal::Open();

    // The window deletes itself when the program ends; the pointer follows.
    QPointer<velmora::app::TfrmPrincipal> frmPrincipal = new velmora::app::TfrmPrincipal;
    int result = 0;
    if (frmPrincipal->Start()) {
        frmPrincipal->show();
        result = QApplication::exec();
    }
    delete frmPrincipal.data();
    velmora::platform::journal::Close();
    return result;
}

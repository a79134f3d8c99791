#pragma once
// What the window tests share: the one QApplication of the test program, and
// a watcher that answers the modal boxes the window opens (offscreen nobody
// else would, and the box would block the test for ever).
#include <functional>
#include <string>
#include <vector>
#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QTimer>

namespace velmora::test {

struct SeenBox {
    std::string title;
    std::string text;
    QMessageBox::Icon icon;
};

// While it lives, every modal message box that opens is recorded and answered
// with `answer` a moment later.
class ModalAnswerer {
public:
    explicit ModalAnswerer(QMessageBox::StandardButton answer = QMessageBox::Ok) : answer_(answer) {
        timer_.setInterval(20);
        QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
        timer_.start();
    }
    std::vector<SeenBox> seen;

private:
    void Poll() {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        // Boxes are often made in the same place on the stack one after the
        // other, so each is marked rather than remembered by address.
        if (!box || box->property("velmoraAnswered").toBool()) return;
        box->setProperty("velmoraAnswered", true);
        seen.push_back({box->windowTitle().toStdString(), box->text().toStdString(), box->icon()});
        if (QAbstractButton* button = box->button(answer_)) button->click();
        else box->reject();
    }
    QMessageBox::StandardButton answer_;
    QTimer timer_;
};

// Runs the event loop until `done` holds or `timeoutMs` passed; true if done.
inline bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 5000) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

}   // namespace velmora::test

#include "kernel/qt_platform.h"

#include <QApplication>
#include <QEventLoop>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPointer>
#include <QScreen>
#include <QShowEvent>
#include <QTimer>

#include <cstdio>

#include "kernel/platform.h"
#include "kernel/window_placement.h"

namespace tallivo {

namespace {

QPointer<QWidget>& keyboardWindow() {
    static QPointer<QWidget> window;
    return window;
}

QPointer<QWidget>& printerWindow() {
    static QPointer<QWidget> window;
    return window;
}

// A message box that opens where the panels, which stay on top, cannot hide
// it: the box's final size is known in its show event, before the window
// system maps it.
class PlacedMessageBox final : public QMessageBox {
public:
    PlacedMessageBox(const QString& caption, const QString& text)
        : QMessageBox(QMessageBox::NoIcon, caption, text, QMessageBox::Ok) {
        if (keyboardWindow() || printerWindow()) setWindowFlag(Qt::WindowStaysOnTopHint, true);
        frameWatch_.setInterval(20);
        QObject::connect(&frameWatch_, &QTimer::timeout, this, [this] { checkFrame(); });
    }

protected:
    void showEvent(QShowEvent* event) override {
        QMessageBox::showEvent(event);
        QWidget* keyboard = keyboardWindow();
        QWidget* printer = printerWindow();
        if (keyboard == nullptr && printer == nullptr) return;
        PanelFrames frames;
        QWidget* reference = keyboard != nullptr ? keyboard : printer;
        const QScreen* display = reference->screen() ? reference->screen() : QGuiApplication::primaryScreen();
        if (display == nullptr) return;
        frames.area = display->availableGeometry();
        if (keyboard != nullptr && keyboard->isVisible()) frames.keyboard = keyboard->frameGeometry();
        if (printer != nullptr && printer->isVisible()) frames.printer = printer->frameGeometry();
        // The box is not framed yet: the window manager will give it the
        // frame it gave the panel.
        const QSize decoration = reference->frameGeometry().size() - reference->geometry().size();
        const QPoint clientOffset = reference->geometry().topLeft() - reference->frameGeometry().topLeft();
        wanted_ = placeClearOfPanels(size() + decoration, frames, Alignment::Centre);
        // Until a window is framed, a window manager may take the corner
        // asked for as the frame's or as the client area's: asked for one
        // frame border lower, the box is clear of the panels either way.
        // Once the box is framed, its frame is put exactly where it was
        // wanted. Without a window manager there is no frame, and the first
        // placing stands.
        move(wanted_ + clientOffset);
        checks_ = 0;
        frameWatch_.start();
    }

private:
    void checkFrame() {
        // A second at most.
        if (++checks_ > 50) frameWatch_.stop();
        if (frameGeometry() == geometry()) return;
        frameWatch_.stop();
        if (frameGeometry().topLeft() != wanted_) move(wanted_);
    }

    QPoint wanted_;
    QTimer frameWatch_;
    int checks_ = 0;
};

}  // namespace

void handleEventsFor(int milliseconds) {
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

void keepMessageBoxesClearOf(QWidget* keyboard, QWidget* printer) {
    keyboardWindow() = keyboard;
    printerWindow() = printer;
}

void installQtPlatform() {
    Platform& p = platform();
    p.showMessage = [](const std::string& text) {
        // A user at a terminal (or a script) reads it there too.
        std::fputs((text + "\n").c_str(), stderr);
        // The caption is the executable's file name without its extension.
        PlacedMessageBox box(QCoreApplication::applicationName(), QString::fromStdString(text));
        box.exec();
    };
    p.toolkitExit = [] {
        // exit rather than quit, which would first ask the windows to close.
        QCoreApplication::exit(0);
        return 0;
    };
}

}  // namespace tallivo

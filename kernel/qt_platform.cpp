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
    }

  protected:
    void showEvent(QShowEvent* event) override {
        QMessageBox::showEvent(event);
        QWidget* keyboard = keyboardWindow();
        QWidget* printer = printerWindow();
        if (keyboard == nullptr && printer == nullptr) return;
        PanelFrames frames;
        QWidget* reference = keyboard != nullptr ? keyboard : printer;
        const QScreen* display =
            reference->screen() ? reference->screen() : QGuiApplication::primaryScreen();
        if (display == nullptr) return;
        frames.area = display->availableGeometry();
        if (keyboard != nullptr && keyboard->isVisible())
            frames.keyboard = keyboard->frameGeometry();
        if (printer != nullptr && printer->isVisible()) frames.printer = printer->frameGeometry();
        // The box is not framed yet: the window manager will give it the
        // frame it gave the panel.
        const QSize decoration = reference->frameGeometry().size() - reference->geometry().size();
        const QPoint clientOffset =
            reference->geometry().topLeft() - reference->frameGeometry().topLeft();
        // Room for the box and for the border it may be moved down by.
        const QSize room = size() + decoration + QSize(clientOffset.x(), clientOffset.y());
        const QPoint wanted = placeClearOfPanels(room, frames, Alignment::Centre);
        // Until a window is framed, a window manager may take the corner
        // asked for as the frame's or as the client area's; the toolkit
        // cannot tell which until later, and moving it again then races with
        // the window manager. Asked for with the frame's border added, the
        // box is clear of the panels either way (at worst a caption's height
        // lower than it could be).
        move(wanted + clientOffset);
    }
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

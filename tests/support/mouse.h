#pragma once
// The left mouse button pressed or let go at the middle of a widget, sent
// the way the window system delivers it, for the tests of the windows.
#include <QApplication>
#include <QMouseEvent>
#include <QWidget>

namespace tallivo::testing {

inline void sendMouseButton(QWidget* widget, bool down) {
    const QPointF centre = QRectF(widget->rect()).center();
    QMouseEvent event(down ? QEvent::MouseButtonPress : QEvent::MouseButtonRelease, centre,
                      widget->mapToGlobal(centre), Qt::LeftButton,
                      down ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

inline void clickWithMouse(QWidget* widget) {
    sendMouseButton(widget, true);
    sendMouseButton(widget, false);
}

}  // namespace tallivo::testing

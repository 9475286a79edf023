#pragma once
// Where a window goes so that the two panels, which stay on top at the top
// left corner of the screen, hide none of it: below them where it fits, else
// beside them, else where the least of it lies under them. The printer's
// paper counts first: a window goes under the printer only when no place on
// the screen keeps it clear of it.
//
// All rectangles are window frames, caption included, in screen pixels.
#include <QPoint>
#include <QRect>
#include <QSize>

namespace tallivo {

struct PanelFrames {
    QRect area;      // the screen's work area
    QRect keyboard;  // empty when not shown
    QRect printer;   // empty when not shown
};

enum class Alignment {
    Start,   // at the left (below) or top (beside) edge of the work area
    Centre,  // centred on the panels: for message boxes
};

// The top left corner of the frame of a window of `frame` size.
QPoint placeClearOfPanels(QSize frame, const PanelFrames& panels, Alignment alignment);

// The pixels of `window` that lie under a panel, printer and keyboard.
long long hiddenByPrinter(const QRect& window, const PanelFrames& panels);
long long hiddenByPanels(const QRect& window, const PanelFrames& panels);

}  // namespace tallivo

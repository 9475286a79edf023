#include "kernel/window_placement.h"

#include <algorithm>
#include <limits>
#include <vector>

namespace tallivo {

namespace {

long long overlap(const QRect& a, const QRect& b) {
    if (a.isEmpty() || b.isEmpty()) return 0;
    const QRect common = a.intersected(b);
    return common.isEmpty() ? 0 : static_cast<long long>(common.width()) * common.height();
}

// The corner that keeps a window of `size` inside the area, as far as it can:
// a window larger than the area keeps its top left corner (and its caption)
// on the screen.
QPoint clampedInto(QPoint corner, QSize size, const QRect& area) {
    const int x = std::max(area.left(), std::min(corner.x(), area.right() + 1 - size.width()));
    const int y = std::max(area.top(), std::min(corner.y(), area.bottom() + 1 - size.height()));
    return {x, y};
}

bool inside(const QRect& window, const QRect& area) {
    return area.contains(window);
}

}  // namespace

long long hiddenByPrinter(const QRect& window, const PanelFrames& panels) {
    return overlap(window, panels.printer);
}

long long hiddenByPanels(const QRect& window, const PanelFrames& panels) {
    return overlap(window, panels.printer) + overlap(window, panels.keyboard);
}

QPoint placeClearOfPanels(QSize frame, const PanelFrames& p, Alignment alignment) {
    const QRect panels = p.keyboard.united(p.printer);
    if (panels.isEmpty()) {
        const QPoint centre = p.area.center() - QPoint(frame.width() / 2, frame.height() / 2);
        return clampedInto(alignment == Alignment::Centre ? centre : p.area.topLeft(), frame,
                           p.area);
    }

    // Below both panels.
    QPoint below(p.area.left(), panels.bottom() + 1);
    if (alignment == Alignment::Centre) below.setX(panels.center().x() - frame.width() / 2);
    below = QPoint(clampedInto(below, frame, p.area).x(), below.y());
    if (inside(QRect(below, frame), p.area)) return below;

    // Beside them, on the right.
    QPoint beside(panels.right() + 1, p.area.top());
    if (alignment == Alignment::Centre) beside.setY(panels.center().y() - frame.height() / 2);
    beside = QPoint(beside.x(), clampedInto(beside, frame, p.area).y());
    if (inside(QRect(beside, frame), p.area)) return beside;

    // Where the least of it is hidden: the edges of the panels and of the
    // area are the only places where the hidden part can be smallest.
    std::vector<int> xs{p.area.left(), p.area.right() + 1 - frame.width()};
    std::vector<int> ys{p.area.top(), p.area.bottom() + 1 - frame.height()};
    for (const QRect& panel : {p.keyboard, p.printer}) {
        if (panel.isEmpty()) continue;
        xs.insert(xs.end(), {panel.right() + 1, panel.left() - frame.width()});
        ys.insert(ys.end(), {panel.bottom() + 1, panel.top() - frame.height()});
    }
    QPoint best = clampedInto(below, frame, p.area);
    long long bestPrinter = std::numeric_limits<long long>::max();
    long long bestTotal = std::numeric_limits<long long>::max();
    for (const int x : xs) {
        for (const int y : ys) {
            const QPoint corner = clampedInto(QPoint(x, y), frame, p.area);
            const QRect window(corner, frame);
            const long long printer = hiddenByPrinter(window, p);
            const long long total = hiddenByPanels(window, p);
            if (printer < bestPrinter || (printer == bestPrinter && total < bestTotal)) {
                best = corner;
                bestPrinter = printer;
                bestTotal = total;
            }
        }
    }
    return best;
}

}  // namespace tallivo

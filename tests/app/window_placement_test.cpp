// Where the flowchart window and the message boxes go beside the two panels,
// which stay on top at the top left corner: the screens of a desktop and of a
// small laptop.
#include "kernel/window_placement.h"

#include <gtest/gtest.h>

namespace tallivo {
namespace {

// The panels as a window manager frames them: the keyboard at the top left,
// the printer beside it, captions included.
PanelFrames screen(int width, int height) {
    PanelFrames p;
    p.area = QRect(0, 0, width, height);
    p.keyboard = QRect(0, 0, 475, 208);
    p.printer = QRect(475, 0, 251, 276);
    return p;
}

// The flowchart window's frame, and where a window of some size goes.
const QSize kFlowchart(754, 386);
QRect placed(QSize size, const PanelFrames& p, Alignment alignment) {
    return QRect(placeClearOfPanels(size, p, alignment), size);
}

TEST(WindowPlacement, BelowThePanelsWhereItFits) {
    const PanelFrames p = screen(1600, 1000);
    const QRect window = placed(kFlowchart, p, Alignment::Start);
    EXPECT_EQ(window.topLeft(), QPoint(0, 276));
    EXPECT_EQ(hiddenByPanels(window, p), 0);
    // A box is centred under the two panels.
    const QRect box = placed(QSize(330, 110), p, Alignment::Centre);
    EXPECT_EQ(box.top(), 276);
    EXPECT_EQ(box.left(), QRect(0, 0, 726, 1).center().x() - 165);
}

TEST(WindowPlacement, BesideThemWhenBelowIsTooLow) {
    const PanelFrames p = screen(1600, 600);
    const QRect window = placed(kFlowchart, p, Alignment::Start);
    EXPECT_EQ(window.topLeft(), QPoint(726, 0));
    EXPECT_EQ(hiddenByPanels(window, p), 0);
    EXPECT_TRUE(p.area.contains(window));
}

TEST(WindowPlacement, OnASmallScreenTheLeastIsHiddenAndThePrinterCountsFirst) {
    const PanelFrames p = screen(1024, 600);
    // Fits neither below nor beside: on the screen, as little as can be
    // under the printer, and then under the keyboard.
    const QRect window = placed(kFlowchart, p, Alignment::Start);
    EXPECT_TRUE(p.area.contains(window));
    EXPECT_EQ(window.bottom(), 599);
    EXPECT_EQ(hiddenByPrinter(window, p), 251LL * (276 - 214));
    EXPECT_EQ(hiddenByPanels(window, p), hiddenByPrinter(window, p));

    // Where some place keeps the window clear of the printer, it goes there,
    // even under the keyboard.
    const QRect tallWindow = placed(QSize(290, 560), p, Alignment::Start);
    EXPECT_TRUE(p.area.contains(tallWindow));
    EXPECT_EQ(hiddenByPrinter(tallWindow, p), 0);
    EXPECT_EQ(tallWindow.left(), 726);

    // The exit report at 1024 × 600 goes under the panels, all of it seen.
    const QRect boxWindow = placed(QSize(330, 110), p, Alignment::Centre);
    EXPECT_TRUE(p.area.contains(boxWindow));
    EXPECT_EQ(hiddenByPanels(boxWindow, p), 0);
}

TEST(WindowPlacement, AWindowLargerThanTheScreenKeepsItsCaptionOnIt) {
    const PanelFrames p = screen(1024, 600);
    const QRect window = placed(QSize(1100, 700), p, Alignment::Start);
    EXPECT_EQ(window.topLeft(), QPoint(0, 0));
}

TEST(WindowPlacement, WithoutPanelsABoxIsCentredOnTheScreen) {
    PanelFrames p;
    p.area = QRect(0, 0, 1024, 600);
    EXPECT_EQ(placeClearOfPanels(QSize(200, 100), p, Alignment::Centre), QPoint(411, 249));
    EXPECT_EQ(placeClearOfPanels(QSize(200, 100), p, Alignment::Start), QPoint(0, 0));
}

}  // namespace
}  // namespace tallivo

#pragma once
// The flowchart window: the FlowchartRecorder's display image in a window of
// its own, sized to the scaled picture. The view loads both pictures from
// their files, checks the display, and paints the areas the recorder reports
// as recoloured.
#include <QImage>
#include <QRect>
#include <QSize>
#include <QWidget>
#include <span>
#include <string>

#include "kernel/net.h"
#include "tools/flowchart_recorder.h"

class QCloseEvent;
class QPaintEvent;

namespace tallivo {

class FlowchartView final : public QWidget, public FlowchartRecorder {
  public:
    FlowchartView();
    ~FlowchartView() override;

    // Creates the window and loads both pictures. Returns 0 at once, doing
    // nothing, when hitValue is 0. Otherwise 0 on success; 1 when the window
    // cannot be created or Flowchart.bmp is unusable; 2 when the display has
    // fewer than 24 bits per pixel; 3 when types.bmp is unusable (also when
    // it is narrower or lower than Flowchart.bmp). Each failure but the first
    // kind shows its message through the platform hook.
    int connect(int hitValue, Net* dataBusNet, Net* syncNet, Net* testNet, Net* resetNet);

    int shutdown() override;

    // The image now shown, as RGB, for writing it to a file without a display.
    QImage displayedImage() const;

    // Measuring the maximised window is the toolkit's; these fix what connect
    // takes for the available area and the display depth instead (an empty
    // size or 0 restores the measurement).
    void overrideAvailableArea(QSize area) { availableOverride = area; }
    void overrideDisplayDepth(int depth) { depthOverride = depth; }

    int scaleDivisorUsed() const { return divisor; }
    bool isWindowOpen() const { return windowOpen; }

    // What standard error gets beside a picture's message: how to start
    // without the flowchart. Empty for none.
    std::string withoutFlowchartHint = "start with -f0 to run the calculator without the flowchart";

    QImage displayBitmap;
    bool windowOpen = false;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void pictureChanged(std::span<const PixelRect> areas) override;

  private:
    // The size at which the window is created, before it is maximised.
    static constexpr int kNominalSide = 100;
    // How long to wait for the window manager to show the maximised window.
    static constexpr int kMaximiseWaitMs = 3000;

    QSize measureAvailableArea();
    int measureDisplayDepth() const;

    QSize availableOverride;
    int depthOverride = 0;
};

}  // namespace tallivo

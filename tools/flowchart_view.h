#pragma once
// The flowchart window: a picture (Flowchart.bmp) whose pixels stand for the
// bytes of ROM page 3 (0x300-0x3FF), lit as the CPU fetches them. The first
// non-zero byte of a pixel, in the order blue, green, red, names a page-3 low
// address and the kind of event it shows: blue an entry (reached right after a
// cycle whose byte was 0xEF, 0xF1 or 0xF3), green a skip (the next recorded
// cycle was two above it), red a visit. A second picture of the same size
// (types.bmp) gives each pixel one of four types, which choose its colours.
//
// The view only listens to the bus. In phase 1 it follows the 4004 cycle on
// DataBus (address in A1-A3, instruction byte in M1-M2) and records in X1 the
// page-3 cycle that follows one at 0x300 or 0x302. Its time base is the rising
// edge of Test, raised by the printer drum once per sector: at each such tick,
// in phase 2, every counter decays by one and the picture is recoloured when
// some pixel may have changed state.
#include <QImage>
#include <QRect>
#include <QSize>
#include <QWidget>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "kernel/component.h"
#include "kernel/net.h"

class QCloseEvent;
class QPaintEvent;

namespace tallivo {

class FlowchartView final : public QWidget, public Component {
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

    int clockPhase1() override;
    int clockPhase2() override;
    int shutdown() override;

    // The image now shown, as RGB, for writing it to a file without a display.
    QImage displayedImage() const;

    // Measuring the maximised window is the toolkit's; these fix what connect
    // takes for the available area and the display depth instead (an empty
    // size or 0 restores the measurement).
    void overrideAvailableArea(QSize area) { availableOverride = area; }
    void overrideDisplayDepth(int depth) { depthOverride = depth; }

    int scaledWidth() const { return pictureWidth; }
    int scaledHeight() const { return pictureHeight; }
    int scaleDivisorUsed() const { return divisor; }
    bool isWindowOpen() const { return windowOpen; }

    // What standard error gets beside a picture's message: how to start
    // without the flowchart. Empty for none.
    std::string withoutFlowchartHint = "start with -f0 to run the calculator without the flowchart";

    // Ticks on which the picture was recoloured, since construction.
    std::uint64_t redraws = 0;

    // The recorder's state, in the names of the hardware description.
    std::int32_t markerCountdown = 0;
    std::int32_t lastEntry = 0;
    std::int32_t lastSkip = 0;
    std::int32_t lastVisit = 0;
    std::uint8_t fetchByte = 0;
    bool afterEntryCode = true;
    std::vector<std::uint8_t> typeMap;
    std::int32_t hitValue = 0;
    bool needsRedraw = false;
    std::int32_t displayImageSize = 0;
    bool fourBytePixels = false;
    std::vector<std::uint8_t> pictureBytes;
    std::uint8_t previousTest = 0;
    Net* testNet = nullptr;
    std::array<std::int32_t, 256> visitCounters{};
    std::array<std::int32_t, 256> entryCounters{};
    std::array<std::int32_t, 256> skipCounters{};
    std::int32_t previousAddress = 0;
    std::vector<std::uint8_t> displayImage;
    QImage displayBitmap;
    bool windowOpen = false;
    bool recordNext = false;
    std::int32_t fetchAddress = 0;
    Net* resetNet = nullptr;
    Net* dataBusNet = nullptr;

protected:
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // The size at which the window is created, before it is maximised.
    static constexpr int kNominalSide = 100;
    // How long to wait for the window manager to show the maximised window.
    static constexpr int kMaximiseWaitMs = 3000;
    // An entry is an event kind (0 entry, 1 skip, 2 visit) and a low address
    // byte: kind * 256 + address.
    static constexpr std::size_t kEntries = 3 * 256;
    static constexpr std::uint16_t kNoEntry = 0xFFFF;
    static constexpr std::uint8_t kNotDrawn = 0xFF;

    void freeBuffers();
    QSize measureAvailableArea();
    void indexPixels();
    int measureDisplayDepth() const;
    void copyPictureToDisplay();
    void recolour();

    int pictureWidth = 0;
    int pictureHeight = 0;
    int divisor = 1;
    int displayRowLength = 0;
    QSize availableOverride;
    int depthOverride = 0;

    // The pixels of each entry: entryPixels[entryFirst[e] .. entryFirst[e + 1]),
    // as indices into the picture; their bounding box; the state they were
    // last coloured in.
    std::vector<std::uint32_t> entryPixels;
    std::array<std::uint32_t, kEntries + 1> entryFirst{};
    std::array<QRect, kEntries> pixelBounds{};
    std::array<std::uint8_t, kEntries> drawnStates{};
};

}  // namespace tallivo

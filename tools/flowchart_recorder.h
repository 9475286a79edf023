#pragma once
// The flowchart's logic without a window: a picture (Flowchart.bmp) whose
// pixels stand for the bytes of ROM page 3 (0x300-0x3FF), lit as the CPU
// fetches them. The first non-zero byte of a pixel, in the order blue, green,
// red, names a page-3 low address and the kind of event it shows: blue an
// entry (reached right after a cycle whose byte was 0xEF, 0xF1 or 0xF3), green
// a skip (the next recorded cycle was two above it), red a visit. A second
// picture of the same size (types.bmp) gives each pixel one of four types,
// which choose its colours.
//
// The recorder only listens to the bus. In phase 1 it follows the 4004 cycle
// on DataBus (address in A1-A3, instruction byte in M1-M2) and records in X1
// the page-3 cycle that follows one at 0x300 or 0x302. Its time base is the
// rising edge of Test, raised by the printer drum once per sector: at each
// such tick, in phase 2, every counter decays by one and the display image is
// recoloured when some pixel may have changed state. Whoever shows the image
// hears of the recoloured areas through pictureChanged.
#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "kernel/component.h"
#include "kernel/net.h"
#include "tools/bitmap_file.h"

namespace tallivo {

// A rectangle of picture pixels; empty when width or height is 0.
struct PixelRect {
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    bool isEmpty() const { return width <= 0 || height <= 0; }
    // Grows to take in pixel (px, py).
    void include(std::int32_t px, std::int32_t py);
};

class FlowchartRecorder : public Component {
  public:
    // Forgets the pictures and everything recorded, and listens with this
    // hit value on these Nets. Writes no Net.
    void start(int hit, Net* dataBus, Net* sync, Net* test, Net* reset);
    // The picture, 3 bytes a pixel (blue, green, red), copied into the
    // display image: 4-byte pixels (blue, green, red, opaque) when
    // fourBytes, else 3-byte pixels in rows padded to 4 bytes.
    void setPicture(ScaledBitmap&& picture, bool fourBytes);
    // The type map of the picture, one type a pixel, of the picture's size;
    // from here on the ticks recolour the display image. False, changing
    // nothing, when its size is not the picture's or no picture is in.
    bool setTypes(ScaledBitmap&& types);

    int clockPhase1() final;
    int clockPhase2() final;

    // The two phases split by cycle phase, for a run loop that knows the
    // phase, with Reset low: sampleAt<P> is phase 1 at the end of P (the
    // SYNC latch aside), followTest phase 2 (the phase count aside).
    template <std::int32_t P>
    void sampleAt(Net bus);
    void followTest() {
        const Net test = testNet != nullptr ? *testNet : Net{0};
        // A rising edge of Test, once per drum sector, is one tick.
        if (test != 0 && previousTest == 0) tick();
        previousTest = test;
    }
    // Lets go of the pictures.
    int shutdown() override;

    int pictureWidthPixels() const { return pictureWidth; }
    int pictureHeightPixels() const { return pictureHeight; }
    // Bytes from one row of the display image to the next.
    int displayRowBytes() const { return displayRowLength; }

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
    bool recordNext = false;
    std::int32_t fetchAddress = 0;
    Net* resetNet = nullptr;
    Net* dataBusNet = nullptr;

  protected:
    // The display image has been recoloured inside these areas.
    virtual void pictureChanged(std::span<const PixelRect> areas) { (void)areas; }

    void freeBuffers();

    int pictureWidth = 0;
    int pictureHeight = 0;
    int divisor = 1;
    int displayRowLength = 0;

  private:
    // An entry is an event kind (0 entry, 1 skip, 2 visit) and a low address
    // byte: kind * 256 + address.
    static constexpr std::size_t kEntries = 3 * 256;
    static constexpr std::uint16_t kNoEntry = 0xFFFF;
    static constexpr std::uint8_t kNotDrawn = 0xFF;

    void indexPixels();
    void recolour();
    // X1 of a page-3 cycle: records it when it follows one at 0x300 or 0x302.
    void recordPage3Cycle();
    // Every counter decays by one; the picture is recoloured if needed.
    void tick();

    // The pixels of each entry: entryPixels[entryFirst[e] .. entryFirst[e + 1]),
    // as indices into the picture; their bounding box; the state they were
    // last coloured in.
    std::vector<std::uint32_t> entryPixels;
    std::array<std::uint32_t, kEntries + 1> entryFirst{};
    std::array<PixelRect, kEntries> pixelBounds{};
    std::array<std::uint8_t, kEntries> drawnStates{};
    // The areas recoloured by one redraw, at most one an entry.
    std::array<PixelRect, kEntries> changed_{};
};

template <std::int32_t P>
inline void FlowchartRecorder::sampleAt(Net value) {
    // The data bus is four bits wide.
    const int bus = value & 0x0F;
    if constexpr (P == kA1 || P == kA2 || P == kA3) {
        fetchAddress = withAddressNibble<P>(fetchAddress, bus);
    } else if constexpr (P == kM1) {
        fetchByte = static_cast<std::uint8_t>(bus << 4);
    } else if constexpr (P == kM2) {
        fetchByte = static_cast<std::uint8_t>(fetchByte | bus);
    } else if constexpr (P == kX1) {
        // Cycles outside page 3 neither record nor change recordNext.
        if (((fetchAddress >> 8) & 0x0F) == 3) recordPage3Cycle();
    }
}

}  // namespace tallivo

#pragma once
// Draws the flowchart window's two pictures from a chart (flowchart_chart.h):
// Flowchart.bmp, whose pixel colours are codes, and types.bmp, which gives
// each pixel the type that chooses its colours when the view lights it.
//
// Layout: the first box (the key wait) at the top, with the tables beside it;
// below it, row by row, the boxes its arrows reach first, then the boxes
// those reach, and so on; a row too long for the width wraps. Arrows run in
// the channels between the rows: an arrow down to the next row straight
// across its channel, an arrow back up (to the key wait) or down past a
// wrapped row along a column at the left or right edge. Each arrow enters
// its box from above, with a head; a dot marks where lines join. Arrows from
// several boxes into one gather into one line; a box with several ways down
// spreads them from a line of its own.
//
// Colour code, a pixel's (blue, green, red):
//   - a routine box is all stripes, one per byte in address order, each
//     (0, 0, address) of type 2: yellow while it runs, red a while after,
//     grey when it has not run lately; its title is black, which the view
//     never recolours, so it reads on all three;
//   - a table box is a grid of cells, one per entry, coded the same way and
//     named in black; its title stands on a grey that never lights;
//   - an entry mark is a band across the top of its stripe, (address, 0, 0),
//     and a skip mark one across the foot, (0, address, 0), both of type 3
//     (yellow, then white, then dark grey);
//   - lines, arrowheads and the caption carry the chart's quiet address,
//     which never lights, with type 0: they stay olive;
//   - the background is black (0, 0, 0) and is left alone by the view.
#include <QRect>
#include <cstdint>
#include <string>
#include <vector>

#include "pictures/flowchart_chart.h"

namespace tallivo {

// Stored type-map values: lines (type 0), stripes (type 2), marks (type 3).
inline constexpr std::uint8_t kTypeLine = 0;
inline constexpr std::uint8_t kTypeStripe = 160;
inline constexpr std::uint8_t kTypeMark = 255;

// The largest picture that the window shows unscaled under the two panels on
// a 1280 × 800 screen, window frames included.
inline constexpr int kFlowchartMaxWidth = 1270;
inline constexpr int kFlowchartMaxHeight = 480;

struct CodedPicture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> bgr;    // blue, green, red a pixel, rows top first
    std::vector<std::uint8_t> types;  // stored type-map value a pixel, rows top first
};

struct FlowchartDrawing {
    CodedPicture picture;
    std::vector<QRect> boxes;  // where each box of the chart stands, in chart order
    bool fits = true;          // within kFlowchartMaxWidth × kFlowchartMaxHeight
};

// Draws the chart. Text needs the toolkit's fonts: a QGuiApplication must
// exist (the offscreen platform serves).
FlowchartDrawing drawFlowchart(const Chart& chart);

// The two files, in the Windows bitmap format that the window reads.
std::vector<std::uint8_t> pictureFile(const CodedPicture& picture);  // 24 bits per pixel
std::vector<std::uint8_t> typesFile(const CodedPicture& picture);    // 8 bits per pixel

}  // namespace tallivo

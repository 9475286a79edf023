#include "tools/flowchart_view.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QPaintEvent>
#include <QPainter>
#include <QRegion>
#include <QScreen>
#include <QWindow>
#include <algorithm>
#include <cstring>
#include <limits>
#include <string>

#include "kernel/data_files.h"
#include "kernel/platform.h"
#include "kernel/qt_platform.h"
#include "tools/bitmap_file.h"

namespace tallivo {

FlowchartView::FlowchartView() : QWidget(nullptr) {}

FlowchartView::~FlowchartView() = default;

namespace {

// The message of an unusable picture, with what a user at a terminal needs
// to put it right: where the file was looked for, why it was refused, and
// that the calculator runs without the flowchart.
void refusePicture(const std::string& message, const char* name, BitmapStatus why,
                   const std::string& withoutFlowchart) {
    platform().detail(describeSearch(name));
    platform().detail(std::string(name) + " was refused: " + bitmapStatusText(why));
    if (!withoutFlowchart.empty()) platform().detail(withoutFlowchart);
    platform().showMessage(message);
}

BitmapStatus checkPicture(const char* name, std::int32_t bitsPerPixel, BitmapHeader& header) {
    FileSource file(findDataFile(name));
    if (!file.isOpen()) return BitmapStatus::cannotOpen;
    return readBitmapHeader(file, bitsPerPixel, header);
}

}  // namespace

int FlowchartView::connect(int hit, Net* dataBus, Net* sync, Net* test, Net* reset) {
    if (hit == 0) return 0;
    // The image goes before the bitmap that points into it.
    displayBitmap = QImage();
    start(hit, dataBus, sync, test, reset);

    // Without a screen there is nothing to create the window on.
    QScreen* display = QGuiApplication::primaryScreen();
    if (display == nullptr) return 1;

    // The files are checked before the window opens, in the order of their
    // messages, so that a broken picture gets its box with no empty window
    // behind it.
    static constexpr const char* kBitmapMessage =
        "ERROR Connecting Flowchart module, please check bitmap file";
    static constexpr const char* kTypeMessage =
        "ERROR Connecting Flowchart module, please check type file";
    BitmapHeader pictureHeader;
    if (const BitmapStatus why = checkPicture("Flowchart.bmp", 24, pictureHeader);
        why != BitmapStatus::ok) {
        refusePicture(kBitmapMessage, "Flowchart.bmp", why, withoutFlowchartHint);
        return 1;
    }
    const int depth = measureDisplayDepth();
    if (depth < 24) {
        platform().detail("the display has " + std::to_string(depth) +
                          " bits per pixel; the flowchart needs 24");
        if (!withoutFlowchartHint.empty()) platform().detail(withoutFlowchartHint);
        platform().showMessage("ERROR: Incompatible display format");
        return 2;
    }
    fourBytePixels = depth > 24;
    BitmapHeader typeHeader;
    BitmapStatus typeStatus = checkPicture("types.bmp", 8, typeHeader);
    if (typeStatus == BitmapStatus::ok &&
        (typeHeader.width < pictureHeader.width || typeHeader.height < pictureHeader.height))
        typeStatus = BitmapStatus::smallerThanPicture;
    if (typeStatus != BitmapStatus::ok) {
        refusePicture(kTypeMessage, "types.bmp", typeStatus, withoutFlowchartHint);
        return 3;
    }

    // A plain top-level window with a caption and nothing else: no system
    // menu, no sizing border, no minimise or maximise box. It paints every
    // pixel itself, so the toolkit need not erase it first.
    setWindowTitle(QStringLiteral("Flowchart"));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setGeometry(0, 0, kNominalSide, kNominalSide);
    showMaximized();
    windowOpen = true;
    const QSize available = measureAvailableArea();

    FileSource pictureFile(findDataFile("Flowchart.bmp"));
    ScaledBitmap picture;
    if (const BitmapStatus why =
            loadScaledPicture(pictureFile, available.width(), available.height(), picture);
        why != BitmapStatus::ok) {
        refusePicture(kBitmapMessage, "Flowchart.bmp", why, withoutFlowchartHint);
        return 1;
    }

    // The type map is read at the picture's scale, from its sizes.
    const ScaledBitmap sizes{picture.width,
                             picture.height,
                             picture.bytesPerPixel,
                             picture.sourceWidth,
                             picture.sourceHeight,
                             picture.divisor,
                             {}};
    // The display bitmap's rows: 4-byte pixels (blue, green, red, unused) on
    // a display deeper than 24 bits, else 3-byte pixels in rows padded to 4
    // bytes.
    setPicture(std::move(picture), depth > 24);
    displayBitmap = QImage(displayImage.data(), pictureWidth, pictureHeight, displayRowLength,
                           fourBytePixels ? QImage::Format_RGB32 : QImage::Format_BGR888);

    // Leave the maximised state and make the client area exactly the scaled
    // picture, at the top left corner of the work area (the application
    // places it clear of the panels). The user cannot resize it.
    const QPoint origin = display->availableGeometry().topLeft();
    setWindowState(Qt::WindowNoState);
    setFixedSize(pictureWidth, pictureHeight);
    move(origin);

    FileSource typeFile(findDataFile("types.bmp"));
    ScaledBitmap types;
    if (const BitmapStatus why = loadTypeMap(typeFile, sizes, types); why != BitmapStatus::ok) {
        refusePicture(kTypeMessage, "types.bmp", why, withoutFlowchartHint);
        return 3;
    }
    setTypes(std::move(types));
    update();
    return 0;
}

QSize FlowchartView::measureAvailableArea() {
    if (availableOverride.isValid() && !availableOverride.isEmpty()) return availableOverride;
    // Under a window manager the window is framed and maximised before it is
    // first exposed, and the client size then is the area. Its size, state
    // and frame come in as window events: wait for them. Without a window
    // manager nobody maximises it; it keeps its nominal size, and the area is
    // the screen's work area.
    QElapsedTimer waited;
    waited.start();
    QWindow* window = windowHandle();
    while (window != nullptr && !window->isExposed() && waited.elapsed() < kMaximiseWaitMs)
        handleEventsFor(10);
    // The events that came with the expose (the new size, the frame).
    handleEventsFor(20);
    if (size() != QSize(kNominalSide, kNominalSide)) return size();
    const QScreen* display = screen() != nullptr ? screen() : QGuiApplication::primaryScreen();
    const QSize frame = frameGeometry().size() - geometry().size();
    return display->availableGeometry().size() - frame;
}

int FlowchartView::measureDisplayDepth() const {
    if (depthOverride != 0) return depthOverride;
    const QScreen* display = screen() != nullptr ? screen() : QGuiApplication::primaryScreen();
    return display->depth();
}

void FlowchartView::pictureChanged(std::span<const PixelRect> areas) {
    // Only what was recoloured is painted again.
    QRegion changed;
    for (const PixelRect& area : areas) changed += QRect(area.x, area.y, area.width, area.height);
    update(changed);
}

void FlowchartView::paintEvent(QPaintEvent* event) {
    if (displayBitmap.isNull()) return;
    QPainter painter(this);
    for (const QRect& area : event->region()) painter.drawImage(area, displayBitmap, area);
}

void FlowchartView::closeEvent(QCloseEvent* event) {
    // As with the printer, only the end of the run closes the window: closed
    // from its frame it would go on costing time with nothing to show.
    if (windowOpen) {
        event->ignore();
        return;
    }
    event->accept();
}

QImage FlowchartView::displayedImage() const {
    if (displayBitmap.isNull()) return {};
    return displayBitmap.convertToFormat(QImage::Format_RGB888);
}

int FlowchartView::shutdown() {
    if (windowOpen) {
        hide();
        destroy();
    }
    // The bitmap points into displayImage: let go of it first.
    displayBitmap = QImage();
    FlowchartRecorder::shutdown();
    windowOpen = false;
    return 0;
}

}  // namespace tallivo

// The calculator's board for a web page: the same components in the same
// order as the desktop program, behind a small C interface that the page's
// script calls. The page paces the clock; the board runs the periods it asks
// for, and a typed tape's end is found at the very period it comes.
//
// Strings handed back stay valid until the next call that returns a string.
//
// The machine's sound, when the page turns it on, is made here too: the drum
// and the keys report their hammer blows, paper feeds and key clicks as the
// board runs, and the page takes the samples up to the board's clock after
// each run, to play them in the same time as the simulated clock.
#include <emscripten/emscripten.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kernel/board.h"
#include "kernel/board_state.h"
#include "kernel/key_schedule.h"
#include "kernel/platform.h"
#include "panel/key_matrix.h"
#include "panel/machine_sound.h"
#include "panel/paper_roll.h"
#include "panel/pc_key_bindings.h"
#include "panel/printer_drum.h"
#include "resources/dialog_layouts.h"
#include "tools/bitmap_file.h"
#include "tools/flowchart_recorder.h"

namespace tallivo {
namespace {

// The flowchart's display image as the canvas takes it: red, green, blue,
// alpha. Only what the recorder has recoloured is converted again, and the
// page is told those areas, so that it copies and draws them alone instead
// of the whole 2.3 MB picture at every recolouring.
class WebFlowchart final : public FlowchartRecorder {
  public:
    // The image with every recolouring so far converted.
    const std::uint8_t* rgba() {
        const std::size_t pixels =
            static_cast<std::size_t>(pictureWidth) * static_cast<std::size_t>(pictureHeight);
        if (rgba_.size() != pixels * 4) {
            rgba_.assign(pixels * 4, 0xFF);
            wholePicture_ = true;
        }
        if (displayImage.size() < pixels * 4) return rgba_.data();
        if (wholePicture_) {
            areas_.assign(1, PixelRect{0, 0, pictureWidth, pictureHeight});
            converted_ = 0;
            wholePicture_ = false;
        }
        for (; converted_ < areas_.size(); ++converted_) convert(areas_[converted_]);
        return rgba_.data();
    }

    // Hands the page the areas recoloured since it last asked (x, y, width,
    // height each), the image converted; their count.
    int takeAreas() {
        rgba();
        taken_.clear();
        for (const PixelRect& area : areas_)
            taken_.insert(taken_.end(), {area.x, area.y, area.width, area.height});
        areas_.clear();
        converted_ = 0;
        return static_cast<int>(taken_.size() / 4);
    }
    const std::int32_t* takenAreas() const { return taken_.data(); }

  protected:
    void pictureChanged(std::span<const PixelRect> changed) override {
        if (wholePicture_) return;
        for (const PixelRect& area : changed) {
            // Clipped to the picture, so neither the conversion nor the page
            // reads past it.
            const std::int32_t x0 = std::max(area.x, 0), y0 = std::max(area.y, 0);
            const std::int32_t x1 = std::min(area.x + area.width, pictureWidth);
            const std::int32_t y1 = std::min(area.y + area.height, pictureHeight);
            if (x1 > x0 && y1 > y0) areas_.push_back({x0, y0, x1 - x0, y1 - y0});
        }
        // Past this many areas one copy of the whole picture costs less.
        if (areas_.size() > kMostAreas) wholePicture_ = true;
    }

  private:
    static constexpr std::size_t kMostAreas = 256;

    // Converts one area of the picture. The display image has 4-byte pixels:
    // blue, green, red, opaque.
    void convert(const PixelRect& area) {
        for (std::int32_t y = area.y; y < area.y + area.height; ++y) {
            const std::uint8_t* from =
                displayImage.data() +
                static_cast<std::size_t>(y) * static_cast<std::size_t>(displayRowLength) +
                static_cast<std::size_t>(area.x) * 4;
            std::uint8_t* to = rgba_.data() + (static_cast<std::size_t>(y) *
                                                   static_cast<std::size_t>(pictureWidth) +
                                               static_cast<std::size_t>(area.x)) *
                                                  4;
            for (std::int32_t x = 0; x < area.width; ++x, from += 4, to += 4) {
                to[0] = from[2];
                to[1] = from[1];
                to[2] = from[0];
                to[3] = 0xFF;
            }
        }
    }

    std::vector<std::uint8_t> rgba_;
    bool wholePicture_ = true;      // convert and hand out the whole picture next
    std::vector<PixelRect> areas_;  // recoloured since the page last took them
    std::size_t converted_ = 0;     // how many of areas_ are converted
    std::vector<std::int32_t> taken_;
};

// The page's clock rate, in periods a second: the sound is timed by it.
constexpr std::uint64_t kPeriodsPerSecond = 740000;

struct Calculator {
    Board board;
    KeyMatrix keys;
    PaperRoll printer;  // the page's copy of the paper
    WebFlowchart flowchart;
    MachineSound sound{kPeriodsPerSecond};
    bool typing = false;           // a typed tape has still to be typed and printed
    std::uint64_t tapeEnd = 0;     // the period its last line was printed, 0 for none
    std::uint64_t periodsRun = 0;  // since the warm-up
};

// The pictures as the page handed them in, read and checked.
struct Pictures {
    ScaledBitmap picture;
    ScaledBitmap types;
};

std::unique_ptr<Calculator> calculator;
std::optional<Pictures> pictures;
// Whether the page listens; it holds for every start until turned off.
bool soundOn = false;

// The last samples handed to the page, -1 to 1, and the number of the first
// (counted at the sample rate from the board's first period).
struct SoundHandOut {
    std::vector<std::int16_t> rendered;
    std::vector<float> samples;
    std::uint64_t first = 0;
};
SoundHandOut soundOut;

// The drum and the keys tell the sound what they do only while the page
// listens: with the sound off they tell nobody and nothing is queued. Turned
// on, the sound starts at the board's now; nothing from before is heard.
void attachSound(Calculator& c, bool on) {
    c.printer.sound = on ? &c.sound : nullptr;
    c.keys.sound = on ? &c.sound : nullptr;
    c.sound.clear();
    c.sound.skipTo(c.sound.sampleAt(c.printer.periodsRun()));
}
std::string lastError;
std::string returned;

// Messages of the core (a code file that will not load) become the error of
// the call that caused them.
void catchMessages() {
    platform().showMessage = [](const std::string& text) {
        if (!lastError.empty()) lastError += "\n";
        lastError += text;
    };
    platform().detail = platform().showMessage;
}

const char* hand(std::string text) {
    returned = std::move(text);
    return returned.c_str();
}

std::string picturesError(const char* name, BitmapStatus why) {
    return std::string(name) + " was refused: " + bitmapStatusText(why);
}

std::string layoutJson() {
    std::string json = "{\"width\":" + std::to_string(layout::kKeyboardWidth) +
                       ",\"height\":" + std::to_string(layout::kKeyboardHeight) + ",\"controls\":[";
    bool first = true;
    for (const layout::Control& c : layout::kKeyboardControls) {
        const char* kind = "label";
        switch (c.kind) {
            case layout::ControlKind::Key:
                kind = "key";
                break;
            case layout::ControlKind::QuitButton:
                kind = "quit";
                break;
            case layout::ControlKind::DecimalSwitch:
                kind = "decimal";
                break;
            case layout::ControlKind::RoundingSwitch:
                kind = "rounding";
                break;
            case layout::ControlKind::Lamp:
                kind = "lamp";
                break;
            case layout::ControlKind::Label:
                kind = "label";
                break;
        }
        const std::string caption(c.caption);
        json += std::string(first ? "" : ",") + "{\"id\":" + std::to_string(c.id) + ",\"kind\":\"" +
                kind + "\",\"caption\":" + jsonString(caption) + ",\"rect\":[" +
                std::to_string(c.rect.x) + "," + std::to_string(c.rect.y) + "," +
                std::to_string(c.rect.width) + "," + std::to_string(c.rect.height) + "]";
        if (c.kind == layout::ControlKind::Key) {
            json += ",\"key\":" + std::to_string(KeyMatrix::keyIndex(c.caption)) +
                    ",\"tooltip\":" + jsonString(pcKeyTooltipText(c.caption));
        }
        json += "}";
        first = false;
    }
    const char* lamp = "";
    json += "],\"lamps\":{";
    for (const auto& [name, id] :
         {std::pair{"M", layout::kLampMId}, std::pair{"OVF", layout::kLampOvfId},
          std::pair{"NEG", layout::kLampNegId}}) {
        json += std::string(lamp) + "\"" + name + "\":" + std::to_string(id);
        lamp = ",";
    }
    // The About box's caption and text.
    return json + "},\"about\":{\"caption\":" + jsonString(std::string(layout::kAboutCaption)) +
           ",\"text\":" + jsonString(std::string(layout::kAboutText)) + "}}";
}

}  // namespace
}  // namespace tallivo

using namespace tallivo;

extern "C" {

// Why the last call that failed did so, for the page to show.
EMSCRIPTEN_KEEPALIVE const char* tallivo_last_error() {
    return lastError.c_str();
}

// The keyboard's layout in dialog units, as JSON: its size, and every control
// with its id, kind, caption and rectangle; keys also carry their number and
// PC-key tooltip. Then the lamps' ids and the About box's caption and text.
EMSCRIPTEN_KEEPALIVE const char* tallivo_layout_json() {
    return hand(layoutJson());
}

// Reads and checks the two flowchart pictures, the bytes of Flowchart.bmp and
// types.bmp; the next start shows them. 0 on success; 1 when Flowchart.bmp
// is unusable, 3 when types.bmp is (the pictures are then forgotten).
EMSCRIPTEN_KEEPALIVE int tallivo_set_pictures(const std::uint8_t* picture, std::size_t pictureSize,
                                              const std::uint8_t* types, std::size_t typesSize) {
    lastError.clear();
    pictures.reset();
    if (picture == nullptr || types == nullptr) {
        lastError = "the flowchart pictures are missing";
        return 1;
    }
    Pictures loaded;
    // The page scales the picture itself: read it whole.
    MemorySource pictureFile(std::span<const std::uint8_t>(picture, pictureSize));
    if (const BitmapStatus why =
            loadScaledPicture(pictureFile, static_cast<std::int32_t>(kMaxBitmapSide),
                              static_cast<std::int32_t>(kMaxBitmapSide), loaded.picture);
        why != BitmapStatus::ok) {
        lastError = picturesError("Flowchart.bmp", why);
        return 1;
    }
    MemorySource typesFile(std::span<const std::uint8_t>(types, typesSize));
    if (const BitmapStatus why = loadTypeMap(typesFile, loaded.picture, loaded.types);
        why != BitmapStatus::ok) {
        lastError = picturesError("types.bmp", why);
        return 3;
    }
    pictures = std::move(loaded);
    return 0;
}

// Builds the board from a code file's text, connects and registers every
// component in the desktop program's order (with the flowchart when pictures
// are set and hitValue is not 0) and runs the warm-up. 0 on success; 1 when
// the code will not load, with nothing running then.
EMSCRIPTEN_KEEPALIVE int tallivo_start(const char* codeText, int hitValue) {
    lastError.clear();
    catchMessages();
    calculator.reset();
    // The ROMs read their code file by name: it goes into the module's own
    // file system first.
    const char* path = "/4001.code";
    {
        std::ofstream code(path, std::ios::binary | std::ios::trunc);
        code << (codeText != nullptr ? codeText : "");
        if (!code) {
            lastError = "the code could not be stored";
            return 1;
        }
    }
    auto c = std::make_unique<Calculator>();
    c->board.connectKeyboard(c->keys);
    c->board.connectPrinter(c->printer);
    if (hitValue != 0 && pictures) {
        c->board.connectRecorder(c->flowchart, hitValue);
        // The canvas takes 4-byte pixels.
        ScaledBitmap picture = pictures->picture;
        ScaledBitmap types = pictures->types;
        c->flowchart.setPicture(std::move(picture), true);
        c->flowchart.setTypes(std::move(types));
    }
    BoardSettings chips;
    chips.codeFile = path;
    chips.traceFile.clear();
    if (c->board.connectChips(chips) != 0) {
        if (lastError.empty()) lastError = "the code could not be loaded";
        return 1;
    }
    c->board.warmUp();
    attachSound(*c, soundOn);
    calculator = std::move(c);
    return 0;
}

// Runs `periods` clock periods (a fraction is dropped). A typed tape ends at
// the period the calculator is back in its key wait with every key taken;
// the run goes on past it. Returns the periods run since the warm-up.
EMSCRIPTEN_KEEPALIVE double tallivo_run(double periods) {
    if (!calculator || !(periods > 0))
        return calculator ? static_cast<double>(calculator->periodsRun) : 0;
    Calculator& c = *calculator;
    // A count past any run's length is taken as that length: converting a
    // larger double would be undefined.
    constexpr double kLongestRun = 1e15;
    const std::uint64_t end =
        c.periodsRun + static_cast<std::uint64_t>(periods < kLongestRun ? periods : kLongestRun);
    auto tapeDone = [&] {
        if (c.typing && c.keys.keyWaitReached()) {
            c.typing = false;
            c.tapeEnd = c.periodsRun;
        }
    };
    while (c.periodsRun < end) {
        tapeDone();
        std::uint64_t until = end;
        if (c.typing)
            until = std::min(
                until, c.periodsRun + std::max<std::uint64_t>(c.keys.periodsBeforeKeyWait(), 1));
        c.board.run(until - c.periodsRun);
        c.periodsRun = until;
    }
    tapeDone();
    return static_cast<double>(c.periodsRun);
}

// Turns the machine's sound on (1) or off (0); off at first. It stays so
// for every later start.
EMSCRIPTEN_KEEPALIVE void tallivo_sound(int on) {
    soundOn = on != 0;
    if (calculator) attachSound(*calculator, soundOn);
}

// The sound's samples a second.
EMSCRIPTEN_KEEPALIVE int tallivo_sound_rate() {
    return MachineSound::kSampleRate;
}

// Renders the sound from where the last call left off up to the board's
// clock, into tallivo_sound_samples() (-1 to 1); returns their count. Of
// more than `most` samples only the newest `most` are rendered: the older
// ones are too late to be worth hearing. While nothing rings and nothing
// waits to, nothing is rendered: 0 comes back and the sound moves on to the
// clock. tallivo_sound_first() numbers the first sample handed out, so that
// the page places the samples in time with what it played before. A `most`
// of 0 or less drops whatever is due.
EMSCRIPTEN_KEEPALIVE int tallivo_sound_render(int most) {
    if (!calculator || !soundOn) return 0;
    MachineSound& sound = calculator->sound;
    const std::uint64_t now = sound.sampleAt(calculator->printer.periodsRun());
    if (now <= sound.samplesRendered()) return 0;
    const std::uint64_t limit = most > 0 ? static_cast<std::uint64_t>(most) : 0;
    if (sound.silent() || limit == 0) {
        sound.skipTo(now);
        return 0;
    }
    if (now - sound.samplesRendered() > limit) sound.skipTo(now - limit);
    const auto count = static_cast<std::size_t>(now - sound.samplesRendered());
    soundOut.first = sound.samplesRendered();
    soundOut.rendered.resize(count);
    soundOut.samples.resize(count);
    sound.render(soundOut.rendered.data(), count);
    for (std::size_t i = 0; i < count; ++i)
        soundOut.samples[i] = static_cast<float>(soundOut.rendered[i]) / 32768.0f;
    return static_cast<int>(count);
}

EMSCRIPTEN_KEEPALIVE const float* tallivo_sound_samples() {
    return soundOut.samples.data();
}

EMSCRIPTEN_KEEPALIVE double tallivo_sound_first() {
    return static_cast<double>(soundOut.first);
}

// Whether a sound still rings or waits to be rendered: 0 while the sound is
// off or all is silence.
EMSCRIPTEN_KEEPALIVE int tallivo_sound_waiting() {
    return calculator && soundOn && !calculator->sound.silent() ? 1 : 0;
}

EMSCRIPTEN_KEEPALIVE double tallivo_periods_run() {
    return calculator ? static_cast<double>(calculator->periodsRun) : 0;
}

// Types a tape as tallivo-run --type takes it (captions separated by spaces,
// or text typed through the PC keys), as fast as the calculator takes its
// keys: they join the keys' queue at once, after any keys still waiting.
// 0 on success; 1 for a character with no key or a tape longer than the
// queue has room for (nothing is typed).
EMSCRIPTEN_KEEPALIVE int tallivo_type(const char* text) {
    lastError.clear();
    if (!calculator) {
        lastError = "the calculator is not running";
        return 1;
    }
    if (!typeTape(text != nullptr ? text : "", calculator->keys, lastError)) return 1;
    calculator->typing = true;
    calculator->tapeEnd = 0;
    return 0;
}

// The period (counted since the warm-up) at which the typed tape had typed
// its keys and printed its last lines; 0 while it is still typing, or with
// no tape.
EMSCRIPTEN_KEEPALIVE double tallivo_tape_end() {
    return calculator ? static_cast<double>(calculator->tapeEnd) : 0;
}

// Presses waiting for the calculator, the one it is shown included.
EMSCRIPTEN_KEEPALIVE int tallivo_keys_waiting() {
    return calculator ? static_cast<int>(calculator->keys.pressesWaiting()) : 0;
}

// Key `key` (0 to 29, the layout's order) goes down: the press joins the
// keys' queue and reaches the firmware however soon it is let go. 0 on
// success; 1, with a reason, when the queue is full or there is no such key.
EMSCRIPTEN_KEEPALIVE int tallivo_press_key(int key) {
    lastError.clear();
    if (!calculator) return 1;
    if (calculator->keys.pressKey(key)) return 0;
    if (key < 0 || key >= KeyMatrix::kKeyCount) {
        lastError = "there is no key " + std::to_string(key);
    } else {
        lastError =
            std::to_string(calculator->keys.pressesWaiting()) +
            " presses are waiting for the calculator, as many as the keyboard keeps: the key \"" +
            std::string(KeyMatrix::keyCaption(key)) + "\" was not taken";
    }
    return 1;
}

EMSCRIPTEN_KEEPALIVE void tallivo_release_key(int key) {
    if (calculator) calculator->keys.releaseKey(key);
}

// The key that a PC key holds, by its key code (the upper-case character, or
// one of the codes of the keys without one); -1 for none.
EMSCRIPTEN_KEEPALIVE int tallivo_key_for_pc_key(int keyCode) {
    const std::string_view caption = calculatorKeyFor(keyCode);
    return caption.empty() ? -1 : KeyMatrix::keyIndex(caption);
}

EMSCRIPTEN_KEEPALIVE int tallivo_pc_key_code(int which) {
    switch (which) {
        case 0:
            return pc_key::kEscape;
        case 1:
            return pc_key::kBackspace;
        case 2:
            return pc_key::kReturn;
        case 3:
            return pc_key::kEnter;
        default:
            return 0;
    }
}

// Turns the decimal-point switch (0 to 7) and the rounding switch (0 to 2).
// 0 on success; 1, changing nothing, for a position out of range.
EMSCRIPTEN_KEEPALIVE int tallivo_set_switches(int decimalPoint, int rounding) {
    if (!calculator || decimalPoint < 0 || decimalPoint > 7 || rounding < 0 || rounding > 2)
        return 1;
    calculator->keys.setDecimalPointIndex(decimalPoint);
    calculator->keys.setRoundingIndex(rounding);
    return 0;
}

// The keys held now and the key the board is shown from the queue (a typed
// one too): bit k for key k.
EMSCRIPTEN_KEEPALIVE int tallivo_keys_down() {
    if (!calculator) return 0;
    int bits = 0;
    for (int key = 0; key < KeyMatrix::kKeyCount; ++key)
        if (calculator->keys.keyIsDown(key)) bits |= 1 << key;
    if (const int shown = calculator->keys.keyShown(); shown >= 0) bits |= 1 << shown;
    return bits;
}

// The lamps: bit 0 M, bit 1 OVF, bit 2 NEG.
EMSCRIPTEN_KEEPALIVE int tallivo_lamps() {
    if (!calculator) return 0;
    const KeyMatrix& k = calculator->keys;
    return (k.lampM() ? 1 : 0) | (k.lampOvf() ? 2 : 0) | (k.lampNeg() ? 4 : 0);
}

// The lines printed so far, and line `index` (its 24 columns) with its red
// flag; an index out of range gives an empty line.
EMSCRIPTEN_KEEPALIVE int tallivo_paper_count() {
    return calculator ? static_cast<int>(calculator->printer.lines.size()) : 0;
}

EMSCRIPTEN_KEEPALIVE const char* tallivo_paper_line(int index) {
    if (!calculator || index < 0 ||
        static_cast<std::size_t>(index) >= calculator->printer.lines.size())
        return "";
    return calculator->printer.lines[static_cast<std::size_t>(index)].c_str();
}

EMSCRIPTEN_KEEPALIVE int tallivo_paper_red(int index) {
    if (!calculator || index < 0 ||
        static_cast<std::size_t>(index) >= calculator->printer.red.size())
        return 0;
    return calculator->printer.red[static_cast<std::size_t>(index)];
}

// The flowchart picture's size (0 without a flowchart), the times it has
// been recoloured, and its pixels: width × height × 4 bytes, red, green,
// blue, alpha, top row first.
EMSCRIPTEN_KEEPALIVE int tallivo_flowchart_width() {
    return calculator ? calculator->flowchart.pictureWidthPixels() : 0;
}

EMSCRIPTEN_KEEPALIVE int tallivo_flowchart_height() {
    return calculator ? calculator->flowchart.pictureHeightPixels() : 0;
}

EMSCRIPTEN_KEEPALIVE double tallivo_flowchart_redraws() {
    return calculator ? static_cast<double>(calculator->flowchart.redraws) : 0;
}

EMSCRIPTEN_KEEPALIVE const std::uint8_t* tallivo_flowchart_pixels() {
    if (!calculator || calculator->flowchart.pictureWidthPixels() == 0) return nullptr;
    return calculator->flowchart.rgba();
}

// The areas recoloured since the last call, with the pixels brought up to
// date: their count, then tallivo_flowchart_areas() holds x, y, width and
// height of each. The whole picture is one area the first time.
EMSCRIPTEN_KEEPALIVE int tallivo_flowchart_take_areas() {
    if (!calculator || calculator->flowchart.pictureWidthPixels() == 0) return 0;
    return calculator->flowchart.takeAreas();
}

EMSCRIPTEN_KEEPALIVE const std::int32_t* tallivo_flowchart_areas() {
    return calculator ? calculator->flowchart.takenAreas() : nullptr;
}

// The board's state and the front panel's as the runner's --dump-state
// writes it.
EMSCRIPTEN_KEEPALIVE const char* tallivo_state_json() {
    if (!calculator) return "";
    return hand(boardStateJson(
        calculator->board, runStateJson(calculator->periodsRun, {}, calculator->printer.sector) +
                               "," + panelStateJson(calculator->keys, calculator->printer.lines)));
}

}  // extern "C"

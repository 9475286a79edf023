#include "pictures/flowchart_pictures.h"

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <cmath>
#include <deque>
#include <limits>
#include <map>
#include <set>

#include "tools/bitmap_file.h"

namespace tallivo {

namespace {

constexpr int kMargin = 8;
constexpr int kBoxGap = 10;
constexpr int kWideGap = 40;  // the widest gap between the boxes of a spread row
constexpr int kBoxMinWidth = 96;
constexpr int kBoxMaxWidth = 180;
constexpr int kMinStripe = 2;  // a long routine gets a wider box rather than thinner stripes
constexpr int kPad = 4;
constexpr int kBand = 3;  // height of an entry or skip mark
constexpr int kLine = 2;  // width of a line
constexpr int kLaneGap = 8;
constexpr int kChannelPad = 10;  // room for an arrowhead between a lane and a box
constexpr int kEmptyChannel = 14;
constexpr int kColumnGap = 8;
constexpr int kHead = 6;
constexpr int kHeadHalf = 4;
constexpr int kDot = 6;
constexpr int kCellHeight = 15;
constexpr int kCellMinWidth = 30;
constexpr int kCellGap = 2;
constexpr int kTitlePixels = 12;
constexpr int kCellPixels = 10;
constexpr int kCaptionPixels = 11;

struct Code {
    std::uint8_t blue = 0;
    std::uint8_t green = 0;
    std::uint8_t red = 0;
};
std::uint8_t low(int address) {
    return static_cast<std::uint8_t>(address & 0xFF);
}
Code visit(int address) {
    return {0, 0, low(address)};
}
Code entry(int address) {
    return {low(address), 0, 0};
}
Code skip(int address) {
    return {0, low(address), 0};
}
constexpr Code kBlack{};

QFont chartFont(int pixels, bool bold = false) {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(pixels);
    font.setBold(bold);
    // Every pixel is a code: smoothed glyph edges would be colours that name
    // other addresses.
    font.setStyleStrategy(QFont::NoAntialias);
    font.setHintingPreference(QFont::PreferFullHinting);
    return font;
}

QStringList wrap(const QString& text, const QFontMetrics& metrics, int width) {
    QStringList lines;
    QString current;
    for (const QString& word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const QString candidate = current.isEmpty() ? word : current + QLatin1Char(' ') + word;
        if (current.isEmpty() || metrics.horizontalAdvance(candidate) <= width) {
            current = candidate;
        } else {
            lines << current;
            current = word;
        }
    }
    if (!current.isEmpty()) lines << current;
    return lines;
}

class Canvas {
  public:
    Canvas(int width, int height) {
        picture_.width = width;
        picture_.height = height;
        picture_.bgr.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3,
                            0);
        picture_.types.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height),
                              0);
    }

    void fill(QRect area, Code code, std::uint8_t type) {
        area &= QRect(0, 0, picture_.width, picture_.height);
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x) set(x, y, code, type);
    }

    // Text in `area`, clipped to it; only the glyphs' pixels are written.
    void text(QRect area, const QString& text, const QFont& font, int flags, Code code,
              std::uint8_t type) {
        if (area.isEmpty()) return;
        QImage mask(area.size(), QImage::Format_ARGB32_Premultiplied);
        mask.fill(Qt::transparent);
        {
            QPainter painter(&mask);
            painter.setRenderHint(QPainter::TextAntialiasing, false);
            painter.setFont(font);
            painter.setPen(Qt::white);
            painter.drawText(QRect(QPoint(0, 0), area.size()), flags, text);
        }
        for (int y = 0; y < mask.height(); ++y)
            for (int x = 0; x < mask.width(); ++x)
                if (qAlpha(mask.pixel(x, y)) >= 128) {
                    const int px = area.left() + x, py = area.top() + y;
                    if (px >= 0 && py >= 0 && px < picture_.width && py < picture_.height)
                        set(px, py, code, type);
                }
    }

    CodedPicture take() { return std::move(picture_); }

  private:
    void set(int x, int y, Code code, std::uint8_t type) {
        const std::size_t at =
            static_cast<std::size_t>(y) * static_cast<std::size_t>(picture_.width) +
            static_cast<std::size_t>(x);
        picture_.bgr[3 * at] = code.blue;
        picture_.bgr[3 * at + 1] = code.green;
        picture_.bgr[3 * at + 2] = code.red;
        picture_.types[at] = type;
    }

    CodedPicture picture_;
};

// A group of arrows drawn as one tree of lines: the arrows from one box to
// several (its sources hold that box alone), or the arrows from several boxes
// into one (its targets hold that box alone).
struct ArrowTree {
    bool up = false;
    std::vector<int> sources;
    std::vector<int> targets;
    std::set<int> channels;     // channel r runs below row r; -1 above row 0
    int column = -1;            // x of the column joining its channels; -1: one channel
    std::map<int, int> lane;    // channel → y of its lane there
    std::map<int, int> exitX;   // source box → x where its line leaves the box
    std::map<int, int> entryX;  // target box → x where its arrow enters the box
};

class Layout {
  public:
    explicit Layout(const Chart& chart)
        : chart_(chart),
          titleFont_(chartFont(kTitlePixels, true)),
          cellFont_(chartFont(kCellPixels)),
          captionFont_(chartFont(kCaptionPixels)),
          titleMetrics_(titleFont_),
          cellMetrics_(cellFont_) {}

    FlowchartDrawing draw() {
        assignLayers();
        buildNets();
        // The column count decides the room left for the boxes, and the
        // wrapping of the rows decides which arrows need a column.
        int right = 0;
        for (int attempt = 0; attempt < 4; ++attempt) {
            const int left = static_cast<int>(
                std::count_if(nets_.begin(), nets_.end(), [](const ArrowTree& n) { return n.up; }));
            arrange(left, right);
            findChannels();
            const int needed =
                static_cast<int>(std::count_if(nets_.begin(), nets_.end(), [](const ArrowTree& n) {
                    return !n.up && n.channels.size() > 1;
                }));
            if (needed <= right) break;
            right = needed;
        }
        placeLines();
        return paint();
    }

  private:
    int boxCount() const { return static_cast<int>(chart_.boxes.size()); }
    const ChartBox& box(int i) const { return chart_.boxes[static_cast<std::size_t>(i)]; }
    QRect& rect(int i) { return rects_[static_cast<std::size_t>(i)]; }
    int rowOf(int i) const { return rowOf_[static_cast<std::size_t>(i)]; }

    // Breadth first from the first box: a box goes one layer below the
    // first box that reaches it. Boxes that nothing reaches start layers of
    // their own; tables stand in layer 0 after the rest.
    void assignLayers() {
        layerOf_.assign(chart_.boxes.size(), -1);
        auto reach = [&](int root) {
            if (layerOf_[static_cast<std::size_t>(root)] >= 0) return;
            layerOf_[static_cast<std::size_t>(root)] = 0;
            order_.push_back(root);
            std::deque<int> queue{root};
            while (!queue.empty()) {
                const int from = queue.front();
                queue.pop_front();
                for (int to : box(from).next) {
                    if (layerOf_[static_cast<std::size_t>(to)] >= 0) continue;
                    layerOf_[static_cast<std::size_t>(to)] =
                        layerOf_[static_cast<std::size_t>(from)] + 1;
                    order_.push_back(to);
                    queue.push_back(to);
                }
            }
        };
        reach(0);
        for (int i = 0; i < boxCount(); ++i)
            if (!box(i).table) reach(i);
        for (int i = 0; i < boxCount(); ++i)
            if (layerOf_[static_cast<std::size_t>(i)] < 0) {
                layerOf_[static_cast<std::size_t>(i)] = 0;
                order_.push_back(i);
            }
    }

    // Arrows up (to the same or an earlier layer) go by target, as one line
    // that gathers them; so do arrows down from boxes with one way down (the
    // routines that may end in the overflow); a box with several ways down
    // spreads them from one line of its own (the key wait).
    void buildNets() {
        std::map<int, std::size_t> upNetOf, downNetOf;
        auto gather = [](std::vector<ArrowTree>& nets, std::map<int, std::size_t>& netOf, int from,
                         int to, bool up) {
            auto [it, added] = netOf.emplace(to, nets.size());
            if (added) {
                nets.emplace_back();
                nets.back().up = up;
                nets.back().targets.push_back(to);
            }
            nets[it->second].sources.push_back(from);
        };
        for (int from = 0; from < boxCount(); ++from) {
            std::vector<int> down;
            for (int to : box(from).next) {
                if (layerOf_[static_cast<std::size_t>(to)] >
                    layerOf_[static_cast<std::size_t>(from)])
                    down.push_back(to);
                else
                    gather(upNets_, upNetOf, from, to, true);
            }
            if (down.size() == 1) {
                gather(downNets_, downNetOf, from, down.front(), false);
            } else if (!down.empty()) {
                spreadNets_.emplace_back();
                spreadNets_.back().sources.push_back(from);
                spreadNets_.back().targets = down;
            }
        }
        nets_ = upNets_;
        nets_.insert(nets_.end(), spreadNets_.begin(), spreadNets_.end());
        nets_.insert(nets_.end(), downNets_.begin(), downNets_.end());
    }

    // A table is drawn as its source is written: a row of cells per line,
    // each cell in its column.
    static int tableColumns(const ChartBox& table) {
        int most = 1;
        for (const ChartStep& step : table.steps) most = std::max(most, step.column + 1);
        return most;
    }

    int tableWidth(const ChartBox& table) const {
        int cell = kCellMinWidth;
        for (const ChartStep& step : table.steps)
            cell = std::max(cell,
                            cellMetrics_.horizontalAdvance(QString::fromStdString(step.name)) + 6);
        const int columns = tableColumns(table);
        return std::max(columns * cell + (columns - 1) * kCellGap,
                        titleMetrics_.horizontalAdvance(QString::fromStdString(table.title))) +
               2 * kPad;
    }

    int tableCellWidth(const ChartBox& table, int width) const {
        const int columns = tableColumns(table);
        return (width - 2 * kPad - (columns - 1) * kCellGap) / columns;
    }

    int tableHeight(const ChartBox& table) const {
        const int rows = std::max(1, table.lineCount());
        return kPad + titleMetrics_.height() + 2 + rows * kCellHeight + (rows - 1) * kCellGap +
               kPad;
    }

    int stripedWidth(int i, int width) const {
        return std::max(width, static_cast<int>(box(i).steps.size()) * kMinStripe);
    }

    // Rows, box sizes and places, for `left` columns at the left edge and
    // `right` at the right one.
    void arrange(int left, int right) {
        rows_.clear();
        rowOf_.assign(chart_.boxes.size(), 0);
        rects_.assign(chart_.boxes.size(), QRect());
        lines_.assign(chart_.boxes.size(), QStringList());
        areaLeft_ = kMargin + left * kColumnGap;
        avail_ =
            std::max(kBoxMinWidth, kFlowchartMaxWidth - areaLeft_ - kMargin - right * kColumnGap);

        int layers = 0;
        for (int l : layerOf_) layers = std::max(layers, l + 1);
        for (int layer = 0; layer < layers; ++layer) {
            std::vector<int> routines, tables;
            for (int i : order_) {
                if (layerOf_[static_cast<std::size_t>(i)] != layer) continue;
                (box(i).table ? tables : routines).push_back(i);
            }
            splitLayer(routines, tables);
        }
        for (std::size_t r = 0; r < rows_.size(); ++r)
            for (int i : rows_[r]) rowOf_[static_cast<std::size_t>(i)] = static_cast<int>(r);
        for (std::size_t r = 0; r < rows_.size(); ++r) sizeRow(rows_[r]);
        placeRows();
    }

    // Wraps a layer into as few rows as keep its boxes at least the narrowest
    // width; the tables go into the first of them.
    void splitLayer(const std::vector<int>& routines, const std::vector<int>& tables) {
        int tablesWidth = 0;
        for (int t : tables) {
            rect(t).setWidth(tableWidth(box(t)));
            tablesWidth += rect(t).width() + kBoxGap;
        }
        const int n = static_cast<int>(routines.size());
        if (n == 0) {
            if (!tables.empty()) rows_.push_back(tables);
            return;
        }
        for (int perRow = n; perRow >= 1; --perRow) {
            const int count = (n + perRow - 1) / perRow;
            std::vector<std::vector<int>> chunks;
            std::vector<int> widths;
            bool fits = true;
            int next = 0;
            for (int c = 0; c < count && fits; ++c) {
                const int size = n / count + (c < n % count ? 1 : 0);
                std::vector<int> chunk(routines.begin() + next, routines.begin() + next + size);
                next += size;
                const int room = avail_ - (c == 0 ? tablesWidth : 0) - (size - 1) * kBoxGap;
                const int width = std::min(kBoxMaxWidth, room / size);
                int used = (c == 0 ? tablesWidth : 0) + (size - 1) * kBoxGap;
                for (int i : chunk) used += stripedWidth(i, width);
                fits = (width >= kBoxMinWidth || perRow == 1) && (used <= avail_ || perRow == 1);
                chunks.push_back(chunk);
                widths.push_back(std::max(std::min(width, avail_), 1));
            }
            if (!fits) continue;
            for (std::size_t c = 0; c < chunks.size(); ++c) {
                for (int i : chunks[c])
                    rect(i).setWidth(std::min(stripedWidth(i, widths[c]), avail_));
                if (c == 0) chunks[c].insert(chunks[c].end(), tables.begin(), tables.end());
                rows_.push_back(chunks[c]);
            }
            return;
        }
    }

    // Heights: a table as its grid needs, the routines of a row all as high
    // as the tallest title among them.
    void sizeRow(const std::vector<int>& row) {
        int height = 0;
        for (int i : row) {
            if (box(i).table) continue;
            lines_[static_cast<std::size_t>(i)] = wrap(QString::fromStdString(box(i).title),
                                                       titleMetrics_, rect(i).width() - 2 * kPad);
            const int count =
                std::max<int>(1, static_cast<int>(lines_[static_cast<std::size_t>(i)].size()));
            height = std::max(height, count * titleMetrics_.height() + 2 * (kPad + kBand));
        }
        for (int i : row) rect(i).setHeight(box(i).table ? tableHeight(box(i)) : height);
    }

    int rowWidth(const std::vector<int>& row) {
        int width = -kBoxGap;
        for (int i : row) width += rect(i).width() + kBoxGap;
        return width;
    }

    // The fullest row is spread (or centred); the rows above and below it
    // put each box under or over the middle of the boxes its arrows join it
    // to, in that order, without overlapping.
    void placeRows() {
        if (rows_.empty()) return;
        std::size_t anchor = 0;
        for (std::size_t r = 0; r < rows_.size(); ++r)
            if (rowWidth(rows_[r]) > rowWidth(rows_[anchor])) anchor = r;
        std::vector<bool> placed(chart_.boxes.size(), false);
        placeRow(rows_[anchor], placed);
        for (std::size_t r = anchor; r-- > 0;) placeRow(rows_[r], placed);
        for (std::size_t r = anchor + 1; r < rows_.size(); ++r) placeRow(rows_[r], placed);
    }

    void placeRow(const std::vector<int>& row, std::vector<bool>& placed) {
        constexpr double kNone = std::numeric_limits<double>::infinity();
        std::vector<std::pair<double, int>> wanted;  // centre, box
        for (int i : row) {
            double sum = 0;
            int count = 0;
            for (int j = 0; j < boxCount(); ++j) {
                if (!placed[static_cast<std::size_t>(j)]) continue;
                const auto& from = box(i).next;
                const auto& to = box(j).next;
                if (std::find(from.begin(), from.end(), j) == from.end() &&
                    std::find(to.begin(), to.end(), i) == to.end())
                    continue;
                sum += rect(j).center().x();
                ++count;
            }
            wanted.emplace_back(box(i).table || count == 0 ? kNone : sum / count, i);
        }
        // Tables last, at the right; boxes joined to nothing placed yet keep their order.
        std::stable_sort(wanted.begin(), wanted.end(), [&](const auto& a, const auto& b) {
            if (box(a.second).table != box(b.second).table) return box(b.second).table;
            return a.first < b.first;
        });
        const int right = areaLeft_ + avail_;
        const int total = rowWidth(row);
        const bool anyWanted = std::any_of(wanted.begin(), wanted.end(),
                                           [&](const auto& w) { return w.first != kNone; });
        if (!anyWanted || (row.size() > 1 && total * 4 >= avail_ * 3)) {
            // Spread across the width, with gaps no wider than kWideGap, centred.
            int sum = 0;
            for (int i : row) sum += rect(i).width();
            const int count = static_cast<int>(row.size());
            const int gap =
                count > 1 ? std::clamp((avail_ - sum) / (count - 1), kBoxGap, kWideGap) : 0;
            int x = areaLeft_ + std::max(0, (avail_ - sum - gap * (count - 1)) / 2);
            for (const auto& [centre, i] : wanted) {
                rect(i).moveLeft(x);
                x += rect(i).width() + gap;
            }
        } else {
            int x = areaLeft_;
            for (const auto& [centre, i] : wanted) {
                const int want = box(i).table ? right - rect(i).width()
                                 : centre == kNone
                                     ? x
                                     : static_cast<int>(std::lround(centre)) - rect(i).width() / 2;
                rect(i).moveLeft(std::max(want, x));
                x = rect(i).left() + rect(i).width() + kBoxGap;
            }
            int limit = right;
            for (auto it = wanted.rbegin(); it != wanted.rend(); ++it) {
                QRect& r = rect(it->second);
                r.moveLeft(std::max(areaLeft_, std::min(r.left(), limit - r.width())));
                limit = r.left() - kBoxGap;
            }
        }
        for (int i : row) placed[static_cast<std::size_t>(i)] = true;
    }

    // Channels, lanes, columns, and where each line meets its boxes; then the
    // rows' heights fix every y.
    // The channels a net runs in: the one below the row of each source and
    // the one above the row of each target.
    void findChannels() {
        for (ArrowTree& net : nets_) {
            net.channels.clear();
            for (int s : net.sources) net.channels.insert(rowOf(s));
            for (int t : net.targets) net.channels.insert(rowOf(t) - 1);
        }
    }

    void placeLines() {
        const int rowCount = static_cast<int>(rows_.size());
        // Lanes per channel: lines that only leave the row above nearest to
        // it, lines that only enter the row below nearest to that one.
        std::vector<std::vector<std::size_t>> lanes(static_cast<std::size_t>(rowCount + 1));
        for (int c = -1; c < rowCount; ++c) {
            std::vector<std::pair<int, std::size_t>> here;
            for (std::size_t n = 0; n < nets_.size(); ++n) {
                const ArrowTree& net = nets_[n];
                if (net.channels.count(c) == 0) continue;
                const bool leaves = std::any_of(net.sources.begin(), net.sources.end(),
                                                [&](int s) { return rowOf(s) == c; });
                const bool enters = std::any_of(net.targets.begin(), net.targets.end(),
                                                [&](int t) { return rowOf(t) - 1 == c; });
                here.emplace_back(leaves && !enters ? 0 : leaves ? 1 : 2, n);
            }
            std::stable_sort(here.begin(), here.end(),
                             [](const auto& a, const auto& b) { return a.first < b.first; });
            for (const auto& item : here)
                lanes[static_cast<std::size_t>(c + 1)].push_back(item.second);
        }

        int y = kMargin;
        auto channel = [&](int c) {
            const auto& list = lanes[static_cast<std::size_t>(c + 1)];
            if (list.empty()) {
                y += c < 0 ? 0 : kEmptyChannel;
                return;
            }
            for (std::size_t k = 0; k < list.size(); ++k)
                nets_[list[k]].lane[c] = y + kChannelPad + static_cast<int>(k) * kLaneGap;
            y += 2 * kChannelPad + static_cast<int>(list.size() - 1) * kLaneGap + kLine;
        };
        channel(-1);
        for (int r = 0; r < rowCount; ++r) {
            int height = 0;
            for (int i : rows_[static_cast<std::size_t>(r)]) {
                rect(i).moveTop(y);
                height = std::max(height, rect(i).height());
            }
            rowBottom_.push_back(y + height);
            y += height;
            channel(r);
        }
        linesBottom_ = y;

        contentRight_ = areaLeft_;
        for (const QRect& r : rects_) contentRight_ = std::max(contentRight_, r.right() + 1);
        int left = 0, right = 0;
        for (ArrowTree& net : nets_) {
            if (net.channels.size() < 2) continue;
            net.column = net.up ? kMargin + kColumnGap * left++
                                : contentRight_ + kColumnGap * ++right - kLine;
        }
        rightEdge_ = contentRight_ + right * kColumnGap;

        // Where the lines meet the boxes: spread along the bottom edge for
        // lines leaving a box, along the top for arrows entering it; lines
        // that turn to the left column first.
        for (int i = 0; i < boxCount(); ++i) {
            std::vector<std::size_t> leaving, entering;
            for (std::size_t n = 0; n < nets_.size(); ++n) {
                const ArrowTree& net = nets_[n];
                if (std::find(net.sources.begin(), net.sources.end(), i) != net.sources.end())
                    leaving.push_back(n);
                if (std::find(net.targets.begin(), net.targets.end(), i) != net.targets.end())
                    entering.push_back(n);
            }
            auto meanSourceX = [&](std::size_t n) {
                const ArrowTree& net = nets_[n];
                if (net.column >= 0 && net.up) return -1.0;
                double sum = 0;
                for (int s : net.sources) sum += rect(s).center().x();
                return sum / static_cast<double>(net.sources.size());
            };
            std::stable_sort(entering.begin(), entering.end(), [&](std::size_t a, std::size_t b) {
                return meanSourceX(a) < meanSourceX(b);
            });
            const QRect& r = rect(i);
            for (std::size_t k = 0; k < leaving.size(); ++k)
                nets_[leaving[k]].exitX[i] = r.left() + r.width() * static_cast<int>(k + 1) /
                                                            static_cast<int>(leaving.size() + 1);
            for (std::size_t k = 0; k < entering.size(); ++k)
                nets_[entering[k]].entryX[i] = r.left() + r.width() * static_cast<int>(k + 1) /
                                                              static_cast<int>(entering.size() + 1);
        }
        separateVerticals();
    }

    // A line leaving a box must not run along an arrow entering one of the
    // row below in the same stretch of its channel: move such an arrow aside.
    void separateVerticals() {
        for (ArrowTree& net : nets_) {
            for (auto& [target, x] : net.entryX) {
                const int c = rowOf(target) - 1;
                const int laneY = net.lane[c];
                const QRect& box = rect(target);
                for (int tries = 0; tries < 8; ++tries) {
                    bool clash = false;
                    for (const ArrowTree& other : nets_) {
                        if (&other == &net || other.lane.count(c) == 0) continue;
                        for (const auto& [source, ox] : other.exitX) {
                            if (rowOf(source) != c || std::abs(ox - x) > kLine + 2) continue;
                            if (other.lane.at(c) > laneY) clash = true;
                        }
                    }
                    if (!clash) break;
                    x = std::min(box.right() - kHeadHalf - kLine, x + kLine + 4);
                }
            }
        }
    }

    QString captionText() const {
        bool entries = false, skips = false;
        for (const ChartBox& b : chart_.boxes)
            for (const ChartStep& s : b.steps) {
                entries = entries || s.entry;
                skips = skips || s.skip;
            }
        QString text = QStringLiteral(
            "The firmware's page-3 program: a box per routine, a stripe per operation or operand "
            "byte. "
            "Yellow: running now; red: ran lately; grey: not lately.");
        if (entries)
            text += QStringLiteral(
                " A band across a stripe's top: entered there (a key-table entry, the start).");
        if (skips) text += QStringLiteral(" A band across its foot: skipped two ahead from there.");
        return text;
    }

    FlowchartDrawing paint() {
        const int width = std::max(rightEdge_ + kMargin, 320);
        const QFontMetrics captionMetrics(captionFont_);
        const QStringList caption = wrap(captionText(), captionMetrics, width - 2 * kMargin);
        const int captionTop = linesBottom_ + 2;
        const int height =
            captionTop + static_cast<int>(caption.size()) * captionMetrics.height() + kMargin;
        Canvas canvas(width, height);
        const Code quiet = visit(chart_.quietAddress);

        for (const ArrowTree& net : nets_) drawNet(canvas, net, quiet);
        for (int i = 0; i < boxCount(); ++i)
            box(i).table ? drawTable(canvas, i, quiet) : drawRoutine(canvas, i, quiet);
        for (int k = 0; k < caption.size(); ++k)
            canvas.text(QRect(kMargin, captionTop + k * captionMetrics.height(),
                              width - 2 * kMargin, captionMetrics.height()),
                        caption[k], captionFont_, Qt::AlignLeft | Qt::AlignTop, quiet, kTypeLine);

        FlowchartDrawing drawing;
        drawing.picture = canvas.take();
        drawing.boxes = rects_;
        drawing.fits = width <= kFlowchartMaxWidth && height <= kFlowchartMaxHeight;
        return drawing;
    }

    void drawRoutine(Canvas& canvas, int i, Code quiet) {
        const QRect r = rect(i);
        const auto& steps = box(i).steps;
        if (steps.empty()) canvas.fill(r, quiet, kTypeStripe);
        const int n = static_cast<int>(steps.size());
        for (int k = 0; k < n; ++k) {
            const int x0 = r.left() + r.width() * k / n, x1 = r.left() + r.width() * (k + 1) / n;
            const ChartStep& step = steps[static_cast<std::size_t>(k)];
            canvas.fill(QRect(x0, r.top(), x1 - x0, r.height()), visit(step.address), kTypeStripe);
            if (step.entry)
                canvas.fill(QRect(x0, r.top(), x1 - x0, kBand), entry(step.address), kTypeMark);
            if (step.skip)
                canvas.fill(QRect(x0, r.bottom() - kBand + 1, x1 - x0, kBand), skip(step.address),
                            kTypeMark);
        }
        const QStringList& lines = lines_[static_cast<std::size_t>(i)];
        const int lineHeight = titleMetrics_.height();
        int y = r.top() + (r.height() - static_cast<int>(lines.size()) * lineHeight) / 2;
        for (const QString& line : lines) {
            canvas.text(QRect(r.left() + kPad, y, r.width() - 2 * kPad, lineHeight), line,
                        titleFont_, Qt::AlignHCenter | Qt::AlignTop, kBlack, kTypeLine);
            y += lineHeight;
        }
    }

    void drawTable(Canvas& canvas, int i, Code quiet) {
        const QRect r = rect(i);
        const ChartBox& table = box(i);
        canvas.fill(r, quiet, kTypeStripe);
        canvas.text(
            QRect(r.left() + kPad, r.top() + kPad, r.width() - 2 * kPad, titleMetrics_.height()),
            QString::fromStdString(table.title), titleFont_, Qt::AlignHCenter | Qt::AlignTop,
            kBlack, kTypeLine);
        const int cellWidth = tableCellWidth(table, r.width());
        const int columns = tableColumns(table);
        const int gridLeft =
            r.left() + (r.width() - (columns * (cellWidth + kCellGap) - kCellGap)) / 2;
        const int gridTop = r.top() + kPad + titleMetrics_.height() + 2;
        for (const ChartStep& step : table.steps) {
            const int column = step.column;
            const QRect cell(gridLeft + column * (cellWidth + kCellGap),
                             gridTop + step.line * (kCellHeight + kCellGap), cellWidth,
                             kCellHeight);
            canvas.fill(cell, visit(step.address), kTypeStripe);
            if (step.entry)
                canvas.fill(QRect(cell.left(), cell.top(), cell.width(), kBand),
                            entry(step.address), kTypeMark);
            if (step.skip)
                canvas.fill(QRect(cell.left(), cell.bottom() - kBand + 1, cell.width(), kBand),
                            skip(step.address), kTypeMark);
            canvas.text(cell.adjusted(1, kBand, -1, 0), QString::fromStdString(step.name),
                        cellFont_, Qt::AlignCenter, kBlack, kTypeLine);
        }
    }

    void drawNet(Canvas& canvas, const ArrowTree& net, Code quiet) {
        auto horizontal = [&](int x0, int x1, int y) {
            canvas.fill(QRect(std::min(x0, x1), y, std::abs(x1 - x0) + kLine, kLine), quiet,
                        kTypeLine);
        };
        auto vertical = [&](int x, int y0, int y1) {
            canvas.fill(QRect(x, std::min(y0, y1), kLine, std::abs(y1 - y0) + 1), quiet, kTypeLine);
        };
        auto dot = [&](int x, int y) {
            canvas.fill(QRect(x + kLine / 2 - kDot / 2, y + kLine / 2 - kDot / 2, kDot, kDot),
                        quiet, kTypeLine);
        };
        for (const auto& [c, laneY] : net.lane) {
            std::vector<int> xs;
            if (net.column >= 0) xs.push_back(net.column);
            for (const auto& [source, x] : net.exitX) {
                if (rowOf(source) != c) continue;
                xs.push_back(x);
                vertical(x, rect(source).bottom() + 1, laneY);
            }
            for (const auto& [target, x] : net.entryX) {
                if (rowOf(target) - 1 != c) continue;
                xs.push_back(x);
                const int tip = rect(target).top() - 1;
                vertical(x, laneY, tip);
                for (int d = 0; d < kHead; ++d) {
                    const int half = d * kHeadHalf / (kHead - 1);
                    canvas.fill(QRect(x - half, tip - d, kLine + 2 * half, 1), quiet, kTypeLine);
                }
            }
            const auto [low, high] = std::minmax_element(xs.begin(), xs.end());
            horizontal(*low, *high, laneY);
            for (int x : xs)
                if (x > *low + kLine && x < *high - kLine) dot(x, laneY);
        }
        if (net.column < 0 || net.lane.empty()) return;
        const int top = net.lane.begin()->second, bottom = net.lane.rbegin()->second;
        vertical(net.column, top, bottom + kLine - 1);
        for (const auto& [c, laneY] : net.lane)
            if (laneY > top && laneY < bottom) dot(net.column, laneY);
    }

    const Chart& chart_;
    QFont titleFont_, cellFont_, captionFont_;
    QFontMetrics titleMetrics_, cellMetrics_;
    std::vector<int> layerOf_;
    std::vector<int> order_;  // the boxes in the order the layers reach them
    std::vector<ArrowTree> upNets_, spreadNets_, downNets_, nets_;
    std::vector<std::vector<int>> rows_;
    std::vector<int> rowOf_;
    std::vector<QRect> rects_;
    std::vector<QStringList> lines_;
    std::vector<int> rowBottom_;
    int areaLeft_ = kMargin;
    int avail_ = 0;
    int contentRight_ = 0;
    int rightEdge_ = 0;
    int linesBottom_ = 0;
};

}  // namespace

FlowchartDrawing drawFlowchart(const Chart& chart) {
    if (chart.boxes.empty()) return {};
    return Layout(chart).draw();
}

std::vector<std::uint8_t> pictureFile(const CodedPicture& picture) {
    return encodeBitmap(picture.width, picture.height, 24, picture.bgr);
}

std::vector<std::uint8_t> typesFile(const CodedPicture& picture) {
    return encodeBitmap(picture.width, picture.height, 8, picture.types);
}

}  // namespace tallivo

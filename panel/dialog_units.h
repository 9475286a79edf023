#pragma once
// Converts dialog-template coordinates to pixels for a given dialog font: one
// unit across is a quarter of the font's average character width (measured
// over the Latin letters), one unit down an eighth of its line height.
#include <QFont>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <string_view>

#include "resources/dialog_layouts.h"

namespace tallivo {

class DialogUnits {
  public:
    explicit DialogUnits(const QFont& font);

    int toPixelsX(int units) const;
    int toPixelsY(int units) const;
    QPoint point(int x, int y) const { return {toPixelsX(x), toPixelsY(y)}; }
    QSize size(int width, int height) const { return {toPixelsX(width), toPixelsY(height)}; }
    QRect rect(const layout::Rect& r) const { return {point(r.x, r.y), size(r.width, r.height)}; }

  private:
    int baseWidth_;
    int baseHeight_;
};

// The font the panels are laid out in: the desktop's sans-serif face at the
// 8-point size the calculator's windows were drawn for.
QFont dialogFont();

// A layout text as a QString.
inline QString layoutText(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace tallivo

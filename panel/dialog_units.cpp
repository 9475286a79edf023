#include "panel/dialog_units.h"

#include <QApplication>
#include <QFontMetrics>
#include <QString>

namespace tallivo {

namespace {

// Rounded a * b / c, as dialog coordinates are mapped.
int mulDiv(int a, int b, int c) {
    const long long product = static_cast<long long>(a) * b;
    const long long half = c / 2;
    return static_cast<int>(product >= 0 ? (product + half) / c : (product - half) / c);
}

}  // namespace

DialogUnits::DialogUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    static const QString letters =
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    const int letterCount = static_cast<int>(letters.size());
    baseWidth_ = (metrics.horizontalAdvance(letters) + letterCount / 2) / letterCount;
    baseHeight_ = metrics.height();
    // A font without metrics (no font engine at all) must not collapse the
    // window to nothing.
    if (baseWidth_ <= 0) baseWidth_ = 6;
    if (baseHeight_ <= 0) baseHeight_ = 13;
}

QFont dialogFont() {
    QFont font = QApplication::font();
    font.setPointSize(8);
    return font;
}

int DialogUnits::toPixelsX(int units) const {
    return mulDiv(units, baseWidth_, 4);
}
int DialogUnits::toPixelsY(int units) const {
    return mulDiv(units, baseHeight_, 8);
}

}  // namespace tallivo

#include "controls/Conversions.h"

#include <QFontMetrics>
#include <algorithm>

namespace kestrola::ui {

QColor ToQColor(std::uint32_t colorRef) {
    return QColor(static_cast<int>(colorRef & 0xFF), static_cast<int>((colorRef >> 8) & 0xFF),
                  static_cast<int>((colorRef >> 16) & 0xFF));
}

std::uint32_t ToColorRef(const QColor& colour) {
    const QColor rgb = colour.toRgb();
    return static_cast<std::uint32_t>(rgb.red()) | static_cast<std::uint32_t>(rgb.green()) << 8 |
           static_cast<std::uint32_t>(rgb.blue()) << 16;
}

QFont FontFromRecord(const core::LogFont& record, const QFont& defaultFont) {
    QFont font = defaultFont;
    if (record == core::LogFont{})
        return font;
    if (!record.lfFaceName.empty())
        font.setFamily(QString::fromStdString(record.lfFaceName));
    if ((record.lfPitchAndFamily & 3) == 1) {
        font.setFixedPitch(true);
        font.setStyleHint(QFont::TypeWriter);
    }
    if (record.lfHeight < 0) {
        font.setPixelSize(-record.lfHeight);
    } else if (record.lfHeight > 0) {
        // A positive height is the whole cell (ascent and descent): scale the character size
        // until the cell fits.
        font.setPixelSize(record.lfHeight);
        const int cell = QFontMetrics(font).height();
        if (cell > record.lfHeight)
            font.setPixelSize(std::max(1, record.lfHeight * record.lfHeight / cell));
    }
    if (record.lfWeight > 0)
        font.setWeight(static_cast<QFont::Weight>(std::clamp(record.lfWeight, 1, 1000)));
    font.setItalic(record.lfItalic != 0);
    font.setUnderline(record.lfUnderline != 0);
    font.setStrikeOut(record.lfStrikeOut != 0);
    return font;
}

} // namespace kestrola::ui

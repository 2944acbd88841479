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

QFont FontFromRecord(const FontRecord& record, const QFont& defaultFont) {
    QFont font = defaultFont;
    if (record.IsZero())
        return font;
    if (!record.faceName.empty())
        font.setFamily(QString::fromStdString(record.faceName));
    if ((record.pitchAndFamily & 3) == 1) {
        font.setFixedPitch(true);
        font.setStyleHint(QFont::TypeWriter);
    }
    if (record.height < 0) {
        font.setPixelSize(-record.height);
    } else if (record.height > 0) {
        // A positive height is the whole cell (ascent and descent): scale the character size
        // until the cell fits.
        font.setPixelSize(record.height);
        const int cell = QFontMetrics(font).height();
        if (cell > record.height)
            font.setPixelSize(std::max(1, record.height * record.height / cell));
    }
    if (record.weight > 0)
        font.setWeight(static_cast<QFont::Weight>(std::clamp(record.weight, 1, 1000)));
    font.setItalic(record.italic != 0);
    font.setUnderline(record.underline != 0);
    font.setStrikeOut(record.strikeOut != 0);
    return font;
}

} // namespace kestrola::ui

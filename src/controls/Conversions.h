#pragma once

#include "base/Geometry.h"
#include "settings/AppSettings.h"

#include <QColor>
#include <QFont>
#include <QRect>
#include <cstdint>

namespace kestrola::ui {

/// A colour laid out 0x00BBGGRR (red in the low byte) as a QColor.
QColor ToQColor(std::uint32_t colorRef);
/// A QColor as 0x00BBGGRR.
std::uint32_t ToColorRef(const QColor& colour);

/// The font a font record asks for; a zeroed record gives `defaultFont`.
QFont FontFromRecord(const core::LogFont& record, const QFont& defaultFont);

/// A core rectangle as a QRect.
inline QRect ToQRect(const core::Rect& r) {
    return QRect(r.left, r.top, r.Width(), r.Height());
}
/// A QRect as a core rectangle.
inline core::Rect ToRect(const QRect& r) {
    return {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
}

} // namespace kestrola::ui

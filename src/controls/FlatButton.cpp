#include "controls/FlatButton.h"

#include "controls/Conversions.h"
#include "controls/Resources.h"

#include <QApplication>
#include <QEnterEvent>
#include <QIcon>
#include <QMouseEvent>
#include <QPainter>

namespace kestrola::ui {

namespace {

// The focus frame's colour until one is set: red 0, green 0, blue 250.
constexpr std::uint32_t kDefaultFocusColor = 0xFA0000;

// Fills the pixels of one line from `from` up to, not including, `to`.
void DrawSegment(QPainter& painter, const core::Point& from, const core::Point& to,
                 const QColor& colour) {
    if (from.y == to.y && from.x != to.x) {
        const int first = from.x < to.x ? from.x : to.x + 1;
        const int last = from.x < to.x ? to.x - 1 : from.x;
        painter.fillRect(QRect(first, from.y, last - first + 1, 1), colour);
    } else if (from.x == to.x && from.y != to.y) {
        const int first = from.y < to.y ? from.y : to.y + 1;
        const int last = from.y < to.y ? to.y - 1 : from.y;
        painter.fillRect(QRect(from.x, first, 1, last - first + 1), colour);
    }
}

} // namespace

FlatButton::FlatButton(QWidget* parent) : FlatButton(QString(), parent) {}

FlatButton::FlatButton(const QString& text, QWidget* parent) : QPushButton(text, parent) {
    m_inactiveBackground = palette().color(QPalette::Button);
    m_activeBackground = m_inactiveBackground;
    m_inactiveForeground = palette().color(QPalette::ButtonText);
    m_activeForeground = m_inactiveForeground;
    m_focusColor = ToQColor(kDefaultFocusColor);
    setMouseTracking(true);
    // Every pixel is painted here, so nothing needs to be erased first.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void FlatButton::SetFlat(bool flat) {
    m_flat = flat;
    // The raised look never hovers.
    if (!flat)
        m_hover = false;
    update();
}

void FlatButton::SetShowText(bool show) {
    m_showText = show;
    update();
}

void FlatButton::SetColour(QColor& field, const QColor& colour, bool repaint) {
    field = colour;
    if (repaint)
        update();
}

void FlatButton::SetInactiveBackground(const QColor& colour, bool repaint) {
    SetColour(m_inactiveBackground, colour, repaint);
}
void FlatButton::SetInactiveForeground(const QColor& colour, bool repaint) {
    SetColour(m_inactiveForeground, colour, repaint);
}
void FlatButton::SetActiveBackground(const QColor& colour, bool repaint) {
    SetColour(m_activeBackground, colour, repaint);
}
void FlatButton::SetActiveForeground(const QColor& colour, bool repaint) {
    SetColour(m_activeForeground, colour, repaint);
}
void FlatButton::SetFocusColor(const QColor& colour, bool repaint) {
    SetColour(m_focusColor, colour, repaint);
}

void FlatButton::SetColours(const core::ButtonColorBlock& colours, bool repaint) {
    m_inactiveBackground = ToQColor(colours.inactiveBackground);
    m_activeBackground = ToQColor(colours.activeBackground);
    m_inactiveForeground = ToQColor(colours.inactiveText);
    m_activeForeground = ToQColor(colours.activeText);
    m_focusColor = ToQColor(colours.focus);
    if (repaint)
        update();
}

void FlatButton::ResetInactiveBackground(bool repaint) {
    SetColour(m_inactiveBackground, palette().color(QPalette::Button), repaint);
}
void FlatButton::ResetInactiveForeground(bool repaint) {
    SetColour(m_inactiveForeground, palette().color(QPalette::ButtonText), repaint);
}
void FlatButton::ResetActiveBackground(bool repaint) {
    SetColour(m_activeBackground, palette().color(QPalette::Button), repaint);
}
void FlatButton::ResetActiveForeground(bool repaint) {
    SetColour(m_activeForeground, palette().color(QPalette::ButtonText), repaint);
}

bool FlatButton::SetIcon(int resourceId) {
    const QPixmap icon = LoadImageResource(resourceId, {}, devicePixelRatioF());
    SetIcon(icon);
    return !icon.isNull();
}

void FlatButton::SetIcon(const QPixmap& icon) {
    m_icon = icon;
    const QSize size = icon.deviceIndependentSize().toSize();
    // The size is kept in a byte each, as the icon header holds it.
    m_iconWidth = static_cast<std::uint8_t>(size.width());
    m_iconHeight = static_cast<std::uint8_t>(size.height());
    repaint();
}

void FlatButton::CancelHover() {
    m_hover = false;
    update();
}

core::ButtonFace FlatButton::Face() const {
    core::ButtonFaceInput in;
    in.item = ToRect(rect());
    in.flat = m_flat;
    in.hover = m_hover;
    in.pressed = isDown();
    in.focused = hasFocus();
    in.isDefault = isDefault();
    in.hasIcon = !m_icon.isNull();
    in.iconWidth = m_iconWidth;
    in.iconHeight = m_iconHeight;
    in.hasCaption = m_showText && !text().isEmpty();
    if (in.hasCaption) {
        const QSize size = fontMetrics().size(Qt::TextSingleLine | Qt::TextShowMnemonic, text());
        in.captionSize = {size.width(), size.height()};
    }
    return core::LayOutButtonFace(in);
}

QColor FlatButton::SystemColour(core::FaceColour colour) const {
    switch (colour) {
    case core::FaceColour::Shadow:
        return palette().color(QPalette::Dark);
    case core::FaceColour::Highlight:
        return palette().color(QPalette::Light);
    case core::FaceColour::Light:
        return palette().color(QPalette::Midlight);
    case core::FaceColour::DarkShadow:
        return palette().color(QPalette::Shadow);
    case core::FaceColour::Focus:
        return m_focusColor;
    }
    return m_focusColor;
}

void FlatButton::paintEvent(QPaintEvent* /*event*/) {
    // The widget's backing store is the off-screen surface: one paint, one copy, no flicker.
    QPainter painter(this);
    const core::ButtonFace face = Face();
    const auto drawPaths = [&](const std::vector<core::FacePath>& paths) {
        for (const auto& path : paths) {
            const QColor colour = SystemColour(path.colour);
            for (std::size_t i = 0; i + 1 < path.points.size(); ++i)
                DrawSegment(painter, path.points[i], path.points[i + 1], colour);
        }
    };

    drawPaths(face.frame);
    painter.fillRect(ToQRect(face.fill), face.active ? m_activeBackground : m_inactiveBackground);
    drawPaths(face.edges);

    const bool disabled = !isEnabled();
    if (!m_icon.isNull()) {
        const QPixmap icon = disabled
                                 ? QIcon(m_icon).pixmap(m_icon.deviceIndependentSize().toSize(),
                                                        devicePixelRatioF(), QIcon::Disabled)
                                 : m_icon;
        painter.drawPixmap(QPoint(face.iconAt.x, face.iconAt.y), icon);
    }

    if (m_showText && !text().isEmpty()) {
        painter.setFont(font());
        painter.setPen(disabled      ? palette().color(QPalette::Disabled, QPalette::ButtonText)
                       : face.active ? m_activeForeground
                                     : m_inactiveForeground);
        painter.drawText(ToQRect(face.captionRect),
                         Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine | Qt::TextShowMnemonic,
                         text());
    }
}

void FlatButton::TrackHover(const QPoint& position, bool leftButtonDown) {
    if (leftButtonDown && !m_hover)
        return;
    if (!m_flat)
        return;
    if (rect().contains(position)) {
        // A disabled button takes no mouse input, so it never hovers.
        if (!isEnabled())
            return;
        if (!m_hover && QApplication::activeWindow() != nullptr) {
            m_hover = true;
            update();
        }
    } else if (m_hover) {
        m_hover = false;
        update();
    }
}

void FlatButton::enterEvent(QEnterEvent* event) {
    QPushButton::enterEvent(event);
    TrackHover(event->position().toPoint(), (QApplication::mouseButtons() & Qt::LeftButton) != 0);
}

void FlatButton::leaveEvent(QEvent* event) {
    QPushButton::leaveEvent(event);
    if (m_hover) {
        m_hover = false;
        update();
    }
}

void FlatButton::mouseMoveEvent(QMouseEvent* event) {
    QPushButton::mouseMoveEvent(event);
    TrackHover(event->position().toPoint(), (event->buttons() & Qt::LeftButton) != 0);
}

void FlatButton::changeEvent(QEvent* event) {
    QPushButton::changeEvent(event);
    if (event->type() == QEvent::EnabledChange && !isEnabled() && m_hover) {
        m_hover = false;
        update();
    }
}

void FlatButton::focusOutEvent(QFocusEvent* event) {
    QPushButton::focusOutEvent(event);
    if (m_flat && m_hover) {
        m_hover = false;
        update();
    }
}

} // namespace kestrola::ui

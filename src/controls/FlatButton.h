#pragma once

#include "controls/ButtonFace.h"
#include "settings/AppSettings.h"

#include <QColor>
#include <QPixmap>
#include <QPushButton>
#include <cstdint>

namespace kestrola::ui {

/// A push button that draws itself completely in colours of its own: flat (an edge only under
/// the mouse) or raised (a full edge and a focus frame), with an optional icon beside or
/// instead of its caption.
class FlatButton : public QPushButton {
    Q_OBJECT

public:
    explicit FlatButton(QWidget* parent = nullptr);
    explicit FlatButton(const QString& text, QWidget* parent = nullptr);

    /// Chooses the flat (true) or raised look and repaints.
    void SetFlat(bool flat);
    bool Flat() const { return m_flat; }
    /// Shows or hides the caption and repaints.
    void SetShowText(bool show);
    bool ShowText() const { return m_showText; }
    /// True while the mouse is over a flat button.
    bool Hover() const { return m_hover; }

    /// Background while neither under the mouse nor pressed; repaints when `repaint`.
    void SetInactiveBackground(const QColor& colour, bool repaint);
    /// Caption colour while neither under the mouse nor pressed.
    void SetInactiveForeground(const QColor& colour, bool repaint);
    /// Background while under the mouse or pressed.
    void SetActiveBackground(const QColor& colour, bool repaint);
    /// Caption colour while under the mouse or pressed.
    void SetActiveForeground(const QColor& colour, bool repaint);
    /// The focus frame of the raised look.
    void SetFocusColor(const QColor& colour, bool repaint);
    /// All five colours at once (each 0x00BBGGRR).
    void SetColours(const core::ButtonColorBlock& colours, bool repaint);

    QColor InactiveBackground() const { return m_inactiveBackground; }
    QColor InactiveForeground() const { return m_inactiveForeground; }
    QColor ActiveBackground() const { return m_activeBackground; }
    QColor ActiveForeground() const { return m_activeForeground; }
    QColor FocusColor() const { return m_focusColor; }

    /// Back to the platform's button face colour.
    void ResetInactiveBackground(bool repaint);
    /// Back to the platform's button text colour.
    void ResetInactiveForeground(bool repaint);
    /// Back to the platform's button face colour.
    void ResetActiveBackground(bool repaint);
    /// Back to the platform's button text colour.
    void ResetActiveForeground(bool repaint);

    /// Shows image resource `id` at its natural size and redraws at once; false for an unknown
    /// number (the icon is then removed).
    bool SetIcon(int resourceId);
    /// Shows `icon` at its own size and redraws at once.
    void SetIcon(const QPixmap& icon);
    /// Ends the hover look at once (after a context menu has taken the mouse).
    void CancelHover();

    /// The drawing plan of the button in its present state.
    core::ButtonFace Face() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void TrackHover(const QPoint& position, bool leftButtonDown);
    void SetColour(QColor& field, const QColor& colour, bool repaint);
    QColor SystemColour(core::FaceColour colour) const;

    bool m_showText = true;
    bool m_flat = true;
    bool m_hover = false;
    QPixmap m_icon;
    std::uint8_t m_iconWidth = 0;
    std::uint8_t m_iconHeight = 0;
    QColor m_inactiveBackground;
    QColor m_inactiveForeground;
    QColor m_activeBackground;
    QColor m_activeForeground;
    QColor m_focusColor;
};

} // namespace kestrola::ui

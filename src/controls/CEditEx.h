#pragma once

#include "settings/AppSettings.h"

#include <QColor>
#include <QPlainTextEdit>

class QMenu;

namespace kestrola::ui {

/// The multi-line text area of the viewer and the composer: its own colours and font, and a
/// menu of the program's own on right-click and after a double-click.
class CEditEx : public QPlainTextEdit {
    Q_OBJECT

public:
    explicit CEditEx(QWidget* parent = nullptr);

    /// Sets the background colour; returns the one in force before.
    QColor SetBackgroundColour(const QColor& colour);
    /// Sets the text colour; returns the one in force before.
    QColor SetTextColour(const QColor& colour);
    QColor BackgroundColour() const { return m_backgroundColour; }
    QColor TextColour() const { return m_textColour; }
    /// Uses the font of `record` (a zeroed record: the platform's default font); a null
    /// pointer changes nothing.
    void SetTextFont(const core::LogFont* record);

    /// Menu resource shown on right-click; 0 for the standard edit menu.
    int contextMenuId = 0;
    /// Menu resource shown after a double-click, which selects the link or path under the
    /// mouse for it; 0 for none (the toolkit's word selection).
    int doubleClickMenuId = 0;

signals:
    /// A command of the program's menu was chosen.
    void CommandChosen(int id);

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    /// Shows the first pop-up of menu resource `id` at `position`; false when there is none.
    bool TrackMenu(int id, const QPoint& position);
    void ApplyColours();

    QColor m_backgroundColour;
    QColor m_textColour;
    QFont m_defaultFont;
};

} // namespace kestrola::ui

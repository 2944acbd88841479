#include "controls/CEditEx.h"

#include "controls/Conversions.h"
#include "resources/MenuResources.h"

#include <QContextMenuEvent>
#include <QCursor>
#include <QMenu>

namespace kestrola::ui {

CEditEx::CEditEx(QWidget* parent) : QPlainTextEdit(parent) {
    m_backgroundColour = palette().color(QPalette::Base);
    m_textColour = palette().color(QPalette::Text);
    m_defaultFont = font();
}

QColor CEditEx::SetBackgroundColour(const QColor& colour) {
    const QColor previous = m_backgroundColour;
    m_backgroundColour = colour;
    ApplyColours();
    return previous;
}

QColor CEditEx::SetTextColour(const QColor& colour) {
    const QColor previous = m_textColour;
    m_textColour = colour;
    ApplyColours();
    return previous;
}

void CEditEx::ApplyColours() {
    // Read-only and editable areas look alike: the same colours in every state.
    QPalette colours = palette();
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        colours.setColor(group, QPalette::Base, m_backgroundColour);
        colours.setColor(group, QPalette::Text, m_textColour);
    }
    setPalette(colours);
    viewport()->update();
}

void CEditEx::SetTextFont(const FontRecord* record) {
    if (record == nullptr)
        return;
    setFont(FontFromRecord(*record, m_defaultFont));
}

bool CEditEx::TrackMenu(int id, const QPoint& position) {
    const core::MenuResource* resource = core::LoadMenuResource(id);
    if (resource == nullptr)
        return false;
    QMenu menu(this);
    for (const auto& item : resource->items) {
        if (item.id == 0) {
            menu.addSeparator();
            continue;
        }
        QAction* action = menu.addAction(
            QString::fromUtf8(item.text.data(), static_cast<qsizetype>(item.text.size())));
        action->setData(item.id);
    }
    if (QAction* chosen = menu.exec(position))
        emit CommandChosen(chosen->data().toInt());
    return true;
}

void CEditEx::contextMenuEvent(QContextMenuEvent* event) {
    if (contextMenuId == 0 || !TrackMenu(contextMenuId, event->globalPos()))
        QPlainTextEdit::contextMenuEvent(event);
}

void CEditEx::mouseDoubleClickEvent(QMouseEvent* event) {
    // The word under the mouse is selected first, so the menu's commands can use it.
    QPlainTextEdit::mouseDoubleClickEvent(event);
    if (doubleClickMenuId != 0)
        TrackMenu(doubleClickMenuId, QCursor::pos());
}

} // namespace kestrola::ui

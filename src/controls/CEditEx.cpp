#include "controls/CEditEx.h"

#include "controls/Conversions.h"
#include "controls/LinkToken.h"
#include "window/MenuResources.h"

#include <QContextMenuEvent>
#include <QCursor>
#include <QMenu>
#include <QTextBlock>

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

void CEditEx::SetTextFont(const core::LogFont* record) {
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
    QPlainTextEdit::mouseDoubleClickEvent(event);
    if (doubleClickMenuId == 0)
        return;
    // The menu's commands open links and paths: the whole blank-delimited token under the
    // mouse is selected, not the toolkit's word ("http", "example").
    QTextCursor cursor = cursorForPosition(event->position().toPoint());
    const QTextBlock block = cursor.block();
    const QString line = block.text();
    const core::TokenSpan span =
        core::LinkTokenAt(std::u16string_view(reinterpret_cast<const char16_t*>(line.utf16()),
                                              static_cast<std::size_t>(line.size())),
                          static_cast<std::size_t>(cursor.positionInBlock()));
    if (span.last > span.first) {
        cursor.setPosition(block.position() + static_cast<int>(span.first));
        cursor.setPosition(block.position() + static_cast<int>(span.last), QTextCursor::KeepAnchor);
        setTextCursor(cursor);
    }
    TrackMenu(doubleClickMenuId, QCursor::pos());
}

} // namespace kestrola::ui

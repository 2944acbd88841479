#include "controls/LinkLabel.h"

#include "controls/Conversions.h"
#include "controls/Hyperlink.h"

#include <QApplication>
#include <QMessageBox>
#include <QMouseEvent>

namespace kestrola::ui {

LinkLabel::LinkLabel(platform::Shell& shell, const QString& text, QWidget* parent)
    : QLabel(text, parent), m_shell(shell), m_linkColour(ToQColor(core::kLinkColour)),
      m_visitedColour(ToQColor(core::kVisitedColour)) {
    setTextFormat(Qt::PlainText);
    // A static text starts at the top left unless its style says otherwise.
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // The parent's background shows through.
    setAutoFillBackground(false);
    ApplyLook();
}

void LinkLabel::Attach() {
    if (m_url.isEmpty())
        m_url = text();
    if (text().isEmpty())
        setText(m_url);
    FitToText();
    setCursor(Qt::ArrowCursor);
    setToolTip(m_url);
}

void LinkLabel::SetUrl(const QString& url) {
    m_url = url;
    FitToText();
    setToolTip(m_url);
}

void LinkLabel::SetUnderline(bool underline) {
    m_underline = underline;
    ApplyLook();
}

void LinkLabel::SetVisited(bool visited) {
    m_visited = visited;
    ApplyLook();
}

void LinkLabel::SetLinkColour(const QColor& colour) {
    m_linkColour = colour;
    ApplyLook();
}

void LinkLabel::SetVisitedColour(const QColor& colour) {
    m_visitedColour = colour;
    ApplyLook();
}

void LinkLabel::ApplyLook() {
    QPalette colours = palette();
    colours.setColor(QPalette::WindowText, m_visited ? m_visitedColour : m_linkColour);
    setPalette(colours);
    QFont look = font();
    look.setUnderline(m_underline);
    setFont(look);
    update();
}

void LinkLabel::FitToText() {
    if (!m_fitToText)
        return;
    const QSize size = fontMetrics().size(Qt::TextSingleLine, text());
    const Qt::Alignment align = alignment();
    core::LabelAlignment how;
    how.centreVertically = (align & Qt::AlignVCenter) != 0;
    how.centre = (align & Qt::AlignHCenter) != 0;
    how.right = (align & Qt::AlignRight) != 0;
    const core::Rect fitted =
        core::FitToText(ToRect(geometry()), {size.width(), size.height()}, how);
    setGeometry(ToQRect(fitted));
}

int LinkLabel::GotoUrl(const QString& url) {
    return core::GotoUrl(m_shell, url.toStdString());
}

void LinkLabel::ReportError(int code) {
    QMessageBox::warning(window(), QStringLiteral("Kestrola NET"),
                         QString::fromStdString(core::HyperlinkErrorText(code)));
}

void LinkLabel::mousePressEvent(QMouseEvent* event) {
    QLabel::mousePressEvent(event);
    if (event->button() != Qt::LeftButton)
        return;
    const int result = GotoUrl(m_url);
    if (core::OpenSucceeded(result)) {
        SetVisited(true);
        return;
    }
    QApplication::beep();
    ReportError(result);
    SetVisited(false);
}

} // namespace kestrola::ui

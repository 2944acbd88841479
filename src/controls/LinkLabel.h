#pragma once

#include <QColor>
#include <QLabel>
#include <QString>

namespace kestrola::platform {
class Shell;
}

namespace kestrola::ui {

/// A label that is a link: drawn in the link colour (underlined), it fits itself to its text,
/// shows its URL as tool tip and opens the URL through the shell when clicked.
class LinkLabel : public QLabel {
    Q_OBJECT

public:
    LinkLabel(platform::Shell& shell, const QString& text, QWidget* parent = nullptr);

    /// Makes the label a link once it has its place and text: a label without URL takes its
    /// text as URL, one without text shows its URL; it is fitted to the text, gets the arrow
    /// cursor and the URL as tool tip.
    void Attach();

    /// Sets the URL a click opens (also the tool tip) and fits the label to its text.
    void SetUrl(const QString& url);
    QString Url() const { return m_url; }
    /// Draws the text underlined or not.
    void SetUnderline(bool underline);
    bool Underline() const { return m_underline; }
    /// Draws the text in the visited colour or the link colour.
    void SetVisited(bool visited);
    bool Visited() const { return m_visited; }
    void SetLinkColour(const QColor& colour);
    void SetVisitedColour(const QColor& colour);
    QColor LinkColour() const { return m_linkColour; }
    QColor VisitedColour() const { return m_visitedColour; }
    /// Whether FitToText resizes the label.
    void SetFitToText(bool fit) { m_fitToText = fit; }

    /// Resizes the label to its text, keeping its alignment's anchor (with fit to text on).
    void FitToText();
    /// Opens `url` through the shell, falling back to the web browser; returns the result code
    /// (above 32 means opened).
    int GotoUrl(const QString& url);
    /// Shows the message box of a failed open with result `code`.
    virtual void ReportError(int code);

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    void ApplyLook();

    platform::Shell& m_shell;
    QColor m_linkColour;
    QColor m_visitedColour;
    bool m_visited = false;
    bool m_underline = true;
    bool m_fitToText = true;
    QString m_url;
};

} // namespace kestrola::ui

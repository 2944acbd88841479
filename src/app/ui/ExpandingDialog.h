#pragma once

#include <QDialog>
#include <QSize>
#include <optional>

namespace kestrola::ui {

/// A dialog that shows either its whole area or only the part covered by an invisible marker
/// control, switched by one button. Collapsed, the window ends at the marker's bottom-right
/// corner and every control lying wholly outside the marker is disabled.
class ExpandingDialog : public QDialog {
    Q_OBJECT

public:
    /// A dialog whose marker and button are the controls numbered `markerId` and `buttonId`.
    /// With `keepButtonEnabled` false the button is disabled once the dialog has expanded.
    ExpandingDialog(QWidget* parent, int markerId, int buttonId, bool keepButtonEnabled);

    /// Shows the whole dialog (true) or the marked part; returns whether the dialog is now in
    /// that state (false when CanChangeExpansion refused).
    bool SetExpanded(bool expand);
    /// Switches to the other state.
    void ToggleExpanded();
    /// True while the whole dialog shows.
    bool Expanded() const { return m_expanded; }
    /// The whole dialog's size, known from the first collapse on.
    std::optional<QSize> FullSize() const { return m_fullSize; }

protected:
    /// Asked before each change; false keeps the present state.
    virtual bool CanChangeExpansion(bool currentlyExpanded);
    /// Told after each change made through SetExpanded.
    virtual void ExpansionChanged(bool nowExpanded);
    /// The window's own handling of a click on control `id`; runs after the expansion button
    /// has switched the state.
    virtual void OnCommand(int id);
    /// Initialisation when the window is first shown: wires the numbered buttons to the
    /// command path and collapses without asking or telling the hooks. A derived window that
    /// adds its own initialisation calls this first.
    virtual void OnInitDialog();

    /// The command path of a click on control `id`.
    void RouteCommand(int id);
    void showEvent(QShowEvent* event) override;

private:
    void ApplyExpansion(bool expand);

    int m_markerId;
    int m_buttonId;
    bool m_keepButtonEnabled;
    bool m_expanded = true;
    bool m_initialised = false;
    std::optional<QSize> m_fullSize;
};

} // namespace kestrola::ui

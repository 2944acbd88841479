#pragma once

#include "controls/DialogUnits.h"

#include <QFont>
#include <QRect>
#include <QWidget>

namespace kestrola::ui {

/// Gives `control` the resource number `id` by which its dialog finds it.
void SetControlId(QWidget* control, int id);
/// The resource number of `control`, 0 when it has none.
int ControlId(const QWidget* control);
/// The control numbered `id` among the descendants of `dialog`, or nullptr.
QWidget* FindControl(const QWidget* dialog, int id);

/// The dialog units of `font`: its average letter width and its line height.
core::DialogUnits DialogUnitsOf(const QFont& font);

/// Lays out a dialog given in dialog units: the one place where units become pixels.
class DialogTemplate {
public:
    /// Uses `font` for the dialog and its controls and measures the units from it.
    DialogTemplate(QWidget* dialog, const QFont& font);

    const core::DialogUnits& Units() const { return m_units; }
    /// A rectangle given in dialog units, in pixels.
    QRect ToPixels(int x, int y, int width, int height) const;
    /// Makes the dialog's client area `width` by `height` dialog units.
    void SetSize(int width, int height);
    /// Puts `control` into the dialog at the given place (in dialog units), numbered `id` (0 for
    /// none), and returns it.
    template <typename Control>
    Control* Place(Control* control, int id, int x, int y, int width, int height) {
        PlaceWidget(control, id, x, y, width, height);
        return control;
    }

private:
    void PlaceWidget(QWidget* control, int id, int x, int y, int width, int height);

    QWidget* m_dialog;
    core::DialogUnits m_units;
};

} // namespace kestrola::ui

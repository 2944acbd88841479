#include "controls/DialogTemplate.h"

#include "controls/Conversions.h"

#include <QFontMetrics>
#include <QVariant>

namespace kestrola::ui {

namespace {

constexpr char kIdProperty[] = "kestrolaControlId";

} // namespace

void SetControlId(QWidget* control, int id) {
    control->setProperty(kIdProperty, id);
}

int ControlId(const QWidget* control) {
    return control->property(kIdProperty).toInt();
}

QWidget* FindControl(const QWidget* dialog, int id) {
    if (id == 0)
        return nullptr;
    for (QWidget* child : dialog->findChildren<QWidget*>()) {
        if (ControlId(child) == id)
            return child;
    }
    return nullptr;
}

core::DialogUnits DialogUnitsOf(const QFont& font) {
    const QFontMetrics metrics(font);
    const int alphabet = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return core::DialogUnits::FromFont(alphabet, metrics.height());
}

DialogTemplate::DialogTemplate(QWidget* dialog, const QFont& font)
    : m_dialog(dialog), m_units(DialogUnitsOf(font)) {
    dialog->setFont(font);
}

QRect DialogTemplate::ToPixels(int x, int y, int width, int height) const {
    return ToQRect(m_units.ToPixels(x, y, width, height));
}

void DialogTemplate::SetSize(int width, int height) {
    m_dialog->resize(m_units.X(width), m_units.Y(height));
}

void DialogTemplate::PlaceWidget(QWidget* control, int id, int x, int y, int width, int height) {
    if (control->parentWidget() != m_dialog)
        control->setParent(m_dialog);
    if (id != 0)
        SetControlId(control, id);
    control->setGeometry(ToPixels(x, y, width, height));
}

} // namespace kestrola::ui

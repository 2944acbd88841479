#include "app/ui/PaletteColors.h"

#include "controls/Conversions.h"

#include <QApplication>
#include <QPalette>

namespace kestrola::ui {

core::ColorRef PaletteColors::Get(core::SystemColor color) const {
    const QPalette palette = QApplication::palette();
    switch (color) {
    case core::SystemColor::Window:
        return ToColorRef(palette.color(QPalette::Base));
    case core::SystemColor::WindowText:
        return ToColorRef(palette.color(QPalette::Text));
    case core::SystemColor::ButtonFace:
        return ToColorRef(palette.color(QPalette::Button));
    case core::SystemColor::ButtonText:
        return ToColorRef(palette.color(QPalette::ButtonText));
    case core::SystemColor::None:
        break;
    }
    return 0;
}

} // namespace kestrola::ui

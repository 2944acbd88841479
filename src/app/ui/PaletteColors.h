#pragma once

#include "settings/SystemColors.h"

namespace kestrola::ui {

/// The desktop's system colours, read from the application's palette.
class PaletteColors final : public core::SystemColors {
public:
    core::ColorRef Get(core::SystemColor color) const override;
};

} // namespace kestrola::ui

#pragma once

#include "base/Geometry.h"

#include <vector>

namespace kestrola::core {

/// Which controls a collapse or an expand switches: those lying wholly outside the marker.
/// `children` and `marker` are in the same co-ordinates; the result has one entry per child.
std::vector<bool> OutsideMarker(const std::vector<Rect>& children, const Rect& marker);

/// The size of a collapsed window whose rectangle is `window`: it ends at the marker's
/// bottom-right corner.
Size CollapsedSize(const Rect& window, const Rect& marker);

} // namespace kestrola::core

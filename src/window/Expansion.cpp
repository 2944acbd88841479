#include "window/Expansion.h"

namespace kestrola::core {

std::vector<bool> OutsideMarker(const std::vector<Rect>& children, const Rect& marker) {
    std::vector<bool> outside;
    outside.reserve(children.size());
    for (const auto& child : children)
        outside.push_back(!child.Intersects(marker));
    return outside;
}

Size CollapsedSize(const Rect& window, const Rect& marker) {
    return {marker.right - window.left, marker.bottom - window.top};
}

} // namespace kestrola::core

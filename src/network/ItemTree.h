#pragma once

#include <cstdint>
#include <string>

namespace kestrola::core {

/// The items of the recipient tree with their texts and check boxes, as the walks that collect
/// and clear the checked recipients see them. Every operation runs on the user-interface thread.
class ItemTree {
public:
    /// An item of the tree; kNoItem for none (and, as a parent, for the root level).
    using Item = std::uintptr_t;
    static constexpr Item kNoItem = 0;

    virtual ~ItemTree() = default;

    /// The first child of `parent` (of the root level for kNoItem), or kNoItem.
    virtual Item FirstChild(Item parent) const = 0;
    /// The next sibling of `item`, or kNoItem.
    virtual Item NextSibling(Item item) const = 0;
    /// The text of `item`.
    virtual std::string ItemText(Item item) const = 0;
    /// Whether the check box of `item` is checked.
    virtual bool IsChecked(Item item) const = 0;
    /// Checks or unchecks `item`.
    virtual void SetChecked(Item item, bool checked) = 0;
};

} // namespace kestrola::core

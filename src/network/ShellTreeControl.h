#pragma once

#include "network/ItemTree.h"
#include "network/ShellItemData.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kestrola::core {

/// The recipient tree control as the shell tree rules drive it. Every call runs on the thread
/// that owns the control; the scan thread reaches it only through a blocking hand-over. A stale
/// item reads as no item.
class ShellTreeControl : public ItemTree {
public:
    /// No item; as a parent, the root level.
    static constexpr Item kRoot = kNoItem;

    /// What a new item shows.
    struct NewItem {
        std::string text;
        std::vector<std::string> iconNames;     ///< themed names of its image
        std::vector<std::string> openIconNames; ///< themed names of its selected image
        bool childCountOne = false; ///< shows an expand button before its children exist
    };

    /// Where a right click landed.
    struct HitTest {
        Item item = kRoot;          ///< the item of the row, or kRoot beside every item
        bool onIconOrLabel = false; ///< on the item's image or text
    };

    /// Compares the records of two items: negative, 0 or positive.
    using Compare = std::function<int(const ShellItemData*, const ShellItemData*)>;

    /// Deletes every item; their records go with them.
    virtual void DeleteAllItems() = 0;
    /// Inserts an item under `parent` right after `after` (kRoot: as the last child) and hands
    /// it `record`; returns the new item, or kRoot when `parent` is gone.
    virtual Item InsertItem(Item parent, Item after, NewItem item,
                            std::unique_ptr<ShellItemData> record) = 0;
    /// The record of `item`, valid while the item lives; nullptr when it has none.
    virtual const ShellItemData* ItemData(Item item) = 0;
    /// True once `item` has been expanded (kept when it collapses again).
    virtual bool IsExpandedOnce(Item item) = 0;
    /// Expands `item`; the control first sends its expanding notification.
    virtual void Expand(Item item) = 0;
    /// Collapses `item`.
    virtual void Collapse(Item item) = 0;
    /// Orders the children of `parent` by `compare` (equal ones keep their order).
    virtual void SortChildren(Item parent, const Compare& compare) = 0;
    /// Makes `item` the selected one; kRoot clears the selection.
    virtual void Select(Item item) = 0;
    /// Shows a pop-up menu of `labels` at the place of the last right click and waits for the
    /// user; the chosen index, or nothing when the menu was dismissed.
    virtual std::optional<std::size_t> TrackMenu(const std::vector<std::string>& labels) = 0;
    /// Puts `text` on the clipboard.
    virtual void CopyText(const std::string& text) = 0;
};

} // namespace kestrola::core

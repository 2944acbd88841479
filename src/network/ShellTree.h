#pragma once

#include "network/ShellTreeControl.h"
#include "platform/ShellNamespace.h"

#include <optional>
#include <string>
#include <vector>

namespace kestrola::core {

/// The most characters of a recipient taken from the tree.
inline constexpr std::size_t kTreeRecipientMax = 31;

/// The image a tree item falls back to when the desktop's icon theme has none of its names.
enum class ShellFallbackIcon { Folder, Computer, Group };

/// The fallback image for an item with themed icon names `iconNames`: workgroups and domains
/// the group image, computers and servers the computer image, everything else the folder.
ShellFallbackIcon FallbackIconFor(const std::vector<std::string>& iconNames);

/// The recipient tree filled from the desktop's namespace, folder by folder: the root level
/// with the folders of a special folder, the two levels below the first root item at once,
/// every other level when the user first expands its parent. Every folder that holds folders
/// shows an expand button before its children are listed.
class ShellTree {
public:
    using Item = ShellTreeControl::Item;

    /// Works on `control` with the folders of `shellNamespace`; both outlive the tree.
    ShellTree(platform::ShellNamespace& shellNamespace, ShellTreeControl& control)
        : m_namespace(shellNamespace), m_control(control) {}

    /// Empties the tree and lists the folders of special folder `folderId` at the root level
    /// (those of the desktop folder when the special folder is missing or cannot be listed),
    /// sorted; then fills the first root item and its children by expanding and collapsing
    /// them. Runs on the scan thread.
    void FillFromSpecialFolder(int folderId);

    /// The tree's expanding notification for `item`: on its first expansion, lists the folders
    /// of the item's own folder under it, sorted. Result 0: the expansion goes ahead.
    int ExpandShellItem(Item item);

    /// The sort order of two items by their records: the file manager's order of their names;
    /// 0 when a record is missing. `ignored` is not used.
    int CompareShellItems(const ShellItemData* first, const ShellItemData* second,
                          long ignored) const;

    /// The tree's right-click notification, `hit` being where the click landed: selects the
    /// hit item (no item clears the selection) and, when the click is on an item's image or
    /// text, shows the desktop's commands for it and carries out the chosen one. Failures
    /// show "GetUIObjectOf failed! hr=%lx" or "InvokeCommand failed. hr=%lx" with the error
    /// code. Result 0.
    int ShowShellContextMenu(const ShellTreeControl::HitTest& hit);

private:
    void FillFolder(const std::string& folder, const platform::ShellListing& listing, Item parent);
    void SortChildren(Item parent);

    platform::ShellNamespace& m_namespace;
    ShellTreeControl& m_control;
};

/// Appends the texts of the checked items of the shell tree: the checked root items after the
/// first one, then each checked child of the first root item followed by its own checked
/// children. The first root item is never taken. Result 0.
int CollectShellCheckedNames(const ItemTree& tree, std::vector<std::string>& names);
/// Clears the check boxes that CollectShellCheckedNames reads. Result 0.
int ClearShellChecks(ItemTree& tree);
/// The recipient a selection of `item` in the shell tree gives: its text, at most 31
/// characters; nothing for the first root item or no item.
std::optional<std::string> ShellRecipientForSelection(const ItemTree& tree, ItemTree::Item item);

} // namespace kestrola::core

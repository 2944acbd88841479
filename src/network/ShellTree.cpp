#include "network/ShellTree.h"

#include "base/Reporting.h"
#include "base/Text.h"

#include <cstdio>
#include <string_view>

namespace kestrola::core {

namespace {

std::string WithCode(const char* format, int code) {
    char text[64];
    std::snprintf(text, sizeof text, format,
                  static_cast<unsigned long>(static_cast<unsigned>(code)));
    return text;
}

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

} // namespace

ShellFallbackIcon FallbackIconFor(const std::vector<std::string>& iconNames) {
    for (const std::string& name : iconNames) {
        if (StartsWith(name, "network-workgroup") || StartsWith(name, "network-domain"))
            return ShellFallbackIcon::Group;
        if (StartsWith(name, "network-server") || StartsWith(name, "computer"))
            return ShellFallbackIcon::Computer;
    }
    return ShellFallbackIcon::Folder;
}

void ShellTree::FillFromSpecialFolder(int folderId) {
    const std::string desktop = m_namespace.DesktopLocation();
    m_control.DeleteAllItems();
    // A special folder this desktop lacks, or one that cannot be listed (no virtual file
    // system running), leaves the root level to the desktop folder.
    platform::ShellListing listing;
    std::string folder;
    if (const std::optional<std::string> special = m_namespace.SpecialFolderLocation(folderId)) {
        listing = m_namespace.EnumerateFolder(*special);
        folder = *special;
    }
    if (folder.empty() || !listing.status.ok) {
        folder = desktop;
        listing = m_namespace.EnumerateFolder(desktop);
    }
    FillFolder(folder, listing, ShellTreeControl::kRoot);
    SortChildren(ShellTreeControl::kRoot);

    const Item first = m_control.FirstChild(ShellTreeControl::kRoot);
    if (first == ShellTreeControl::kRoot)
        return;
    m_control.Expand(first);
    m_control.Collapse(first);
    for (Item child = m_control.FirstChild(first); child != ShellTreeControl::kRoot;
         child = m_control.NextSibling(child)) {
        m_control.Expand(child);
        m_control.Collapse(child);
    }
}

void ShellTree::FillFolder(const std::string& folder, const platform::ShellListing& listing,
                           Item parent) {
    if (!listing.status.ok)
        return;
    Item after = ShellTreeControl::kRoot;
    for (const platform::ShellEntry& entry : listing.entries) {
        if (!entry.isFolder)
            continue;
        ShellTreeControl::NewItem item;
        // Every folder that holds folders gets its button before it is listed; otherwise the
        // user could not open it, as its children come only with its first expansion.
        item.childCountOne = entry.hasSubFolders;
        item.text = entry.displayName;
        item.iconNames = entry.iconNames;
        item.openIconNames = entry.openIconNames;
        auto record = std::make_unique<ShellItemData>(ShellItemData{folder, entry});
        const Item inserted =
            m_control.InsertItem(parent, after, std::move(item), std::move(record));
        // The parent went away under the listing (a new scan emptied the tree).
        if (inserted == ShellTreeControl::kRoot)
            return;
        after = inserted;
    }
}

void ShellTree::SortChildren(Item parent) {
    m_control.SortChildren(parent, [this](const ShellItemData* first, const ShellItemData* second) {
        return CompareShellItems(first, second, 0);
    });
}

int ShellTree::ExpandShellItem(Item item) {
    if (m_control.IsExpandedOnce(item))
        return 0;
    const ShellItemData* record = m_control.ItemData(item);
    if (record == nullptr)
        return 0;
    // The record belongs to the item: keep the location while the folder is listed.
    const std::string folder = record->entry.location;
    FillFolder(folder, m_namespace.EnumerateFolder(folder), item);
    SortChildren(item);
    return 0;
}

int ShellTree::CompareShellItems(const ShellItemData* first, const ShellItemData* second,
                                 long) const {
    if (first == nullptr || second == nullptr)
        return 0;
    const int order = m_namespace.CompareEntries(first->entry, second->entry);
    return order < 0 ? -1 : (order > 0 ? 1 : 0);
}

int ShellTree::ShowShellContextMenu(const ShellTreeControl::HitTest& hit) {
    m_control.Select(hit.item);
    if (hit.item == ShellTreeControl::kRoot || !hit.onIconOrLabel)
        return 0;
    const ShellItemData* record = m_control.ItemData(hit.item);
    if (record == nullptr)
        return 0;
    const platform::ShellEntry entry = record->entry;
    const platform::ShellMenu menu = m_namespace.QueryContextMenu(entry);
    if (!menu.status.ok) {
        ShowSystemText(WithCode("GetUIObjectOf failed! hr=%lx", menu.status.code));
        return 0;
    }
    std::vector<std::string> labels;
    labels.reserve(menu.commands.size());
    for (const platform::ShellCommand& command : menu.commands)
        labels.push_back(command.label);
    const std::optional<std::size_t> chosen = m_control.TrackMenu(labels);
    if (!chosen || *chosen >= menu.commands.size())
        return 0;
    const platform::ShellCommand& command = menu.commands[*chosen];
    if (command.kind == platform::ShellCommand::Kind::CopyLocation) {
        m_control.CopyText(command.text);
        return 0;
    }
    if (const platform::ShellStatus status = m_namespace.InvokeCommand(entry, command); !status.ok)
        ShowSystemText(WithCode("InvokeCommand failed. hr=%lx", status.code));
    return 0;
}

namespace {

// Visits the items that are collected and cleared, in their order.
template <typename Tree, typename Visit> void WalkCollected(Tree& tree, Visit visit) {
    const ItemTree::Item first = tree.FirstChild(ItemTree::kNoItem);
    if (first == ItemTree::kNoItem)
        return;
    for (auto root = tree.NextSibling(first); root != ItemTree::kNoItem;
         root = tree.NextSibling(root))
        visit(root);
    for (auto child = tree.FirstChild(first); child != ItemTree::kNoItem;
         child = tree.NextSibling(child)) {
        visit(child);
        for (auto grandchild = tree.FirstChild(child); grandchild != ItemTree::kNoItem;
             grandchild = tree.NextSibling(grandchild))
            visit(grandchild);
    }
}

} // namespace

int CollectShellCheckedNames(const ItemTree& tree, std::vector<std::string>& names) {
    WalkCollected(tree, [&](ItemTree::Item item) {
        if (tree.IsChecked(item))
            names.push_back(tree.ItemText(item));
    });
    return 0;
}

int ClearShellChecks(ItemTree& tree) {
    WalkCollected(tree, [&](ItemTree::Item item) {
        if (tree.IsChecked(item))
            tree.SetChecked(item, false);
    });
    return 0;
}

std::optional<std::string> ShellRecipientForSelection(const ItemTree& tree, ItemTree::Item item) {
    if (item == ItemTree::kNoItem || item == tree.FirstChild(ItemTree::kNoItem))
        return std::nullopt;
    return std::string(FirstCharacters(tree.ItemText(item), kTreeRecipientMax));
}

} // namespace kestrola::core

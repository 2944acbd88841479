#pragma once

#include "network/ItemTree.h"
#include "network/ShellTreeControl.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrola::core {

class PanelEvents;

/// Controls of the network panel that the scanner writes.
enum NetworkPanelControl : int {
    kRecipientTreeControl = 1119,
    kScanButtonControl = 1145,
    kScanStatusLabel = 1218,
    kGroupCountLabel = 1219,
    kComputerCountLabel = 1220,
};

/// Images of the scanner's own image list.
enum NetworkImage : int {
    kComputerImage = 0,
    kGroupImage = 1,
};

/// The recipient tree with check boxes and the three labels below it, as the scanner sees
/// them. Every operation runs on the user-interface thread; the scan thread reaches them only
/// through a `UiDispatcher`.
class NetworkPanel : public ItemTree {
public:
    /// Makes the system's small-icon list the tree's image list when there is one; false when
    /// the system has none.
    virtual bool UseSystemImageList() = 0;
    /// Builds the scanner's own image list from icon resources: `icons[i]` is image i.
    virtual void CreateOwnImageList(const std::vector<int>& icons) = 0;
    /// Makes the own image list the tree's image list, keeping the previous one.
    virtual void UseOwnImageList() = 0;

    /// Removes every item.
    virtual void DeleteAllItems() = 0;
    /// Inserts `text` under `parent` at its sorted place (`SortedInsertIndex`) with the image
    /// of the given index, unchecked; returns the new item.
    virtual Item InsertSorted(Item parent, const std::string& text, int image) = 0;
    /// Sets the text of label `control` (kScanStatusLabel, kGroupCountLabel,
    /// kComputerCountLabel).
    virtual void SetLabelText(int control, const std::string& text) = 0;
    /// The same tree as the shell tree rules drive it ("FastScan" 0); nullptr when the panel
    /// cannot show the shell's namespace.
    virtual ShellTreeControl* ShellControl() { return nullptr; }
    /// Where the panel reports what the user does to it from now on (nullptr: nobody; a
    /// selection then gives the item's text).
    virtual void SetEvents(PanelEvents* /*events*/) {}
};

/// What the user does to the panel, reported on the user-interface thread to whoever fills it.
class PanelEvents {
public:
    virtual ~PanelEvents() = default;
    /// The recipient a newly selected item gives, or none.
    virtual std::optional<std::string> SelectedRecipient(NetworkPanel::Item item) const = 0;
    /// An item is about to expand for the first time ("FastScan" 0: list what it holds); 0.
    virtual int ExpandShellItem(NetworkPanel::Item item) = 0;
    /// A right click, with where it landed; 0.
    virtual int ShowShellContextMenu(const ShellTreeControl::HitTest& hit) = 0;
};

/// Runs work on the user-interface thread and waits until it has run there; from the
/// user-interface thread itself it runs the work at once.
class UiDispatcher {
public:
    virtual ~UiDispatcher() = default;
    virtual void Invoke(const std::function<void()>& work) = 0;
};

/// Where `text` goes among siblings whose texts are `siblings` (in tree order) when the tree
/// sorts: after every sibling that does not sort after it, comparing ASCII letters without
/// regard to case and other bytes by value.
std::size_t SortedInsertIndex(const std::vector<std::string>& siblings, std::string_view text);

/// Compares two item texts as the tree sorts them: <0, 0 or >0.
int CompareItemTexts(std::string_view a, std::string_view b);

} // namespace kestrola::core

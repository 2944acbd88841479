#pragma once

#include "network/NetworkPanel.h"
#include "network/ShellTreeControl.h"

#include <QIcon>
#include <QPoint>
#include <QString>
#include <QWidget>
#include <functional>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

class QLabel;
class QTreeWidget;
class QTreeWidgetItem;

namespace kestrola::ui {

/// The network panel's recipient tree (control 1119) with its check boxes and the three labels
/// below it: status (1218), group counter (1219) and computer counter (1220). It carries out
/// the scanner's panel operations and, in shell mode ("FastScan" 0), the shell tree rules'
/// control operations; both always arrive on the user-interface thread. In shell mode each item
/// owns the record of the place it shows, and the tree reports expansions and right clicks.
class RecipientTree : public QWidget, public core::NetworkPanel, public core::ShellTreeControl {
    Q_OBJECT

public:
    /// An item of the tree, the same for both sets of operations; a stale one reads as none.
    using Item = core::NetworkPanel::Item;
    static constexpr Item kNoItem = core::ItemTree::kNoItem;

    explicit RecipientTree(QWidget* parent = nullptr);
    /// Deletes the items (and their records) first: they refer to the tree.
    ~RecipientTree() override;

    bool UseSystemImageList() override;
    void CreateOwnImageList(const std::vector<int>& icons) override;
    void UseOwnImageList() override;
    void DeleteAllItems() override;
    Item InsertSorted(Item parent, const std::string& text, int image) override;
    Item FirstChild(Item parent) const override;
    Item NextSibling(Item item) const override;
    std::string ItemText(Item item) const override;
    bool IsChecked(Item item) const override;
    void SetChecked(Item item, bool checked) override;
    void SetLabelText(int control, const std::string& text) override;
    core::ShellTreeControl* ShellControl() override { return this; }

    Item InsertItem(Item parent, Item after, NewItem item,
                    std::unique_ptr<core::ShellItemData> record) override;
    const core::ShellItemData* ItemData(Item item) override;
    bool IsExpandedOnce(Item item) override;
    void Expand(Item item) override;
    void Collapse(Item item) override;
    void SortChildren(Item parent, const Compare& compare) override;
    void Select(Item item) override;
    std::optional<std::size_t> TrackMenu(const std::vector<std::string>& labels) override;
    void CopyText(const std::string& text) override;

    /// A newly selected item is turned into a recipient by `events` (by its text without
    /// them) and announced with `recipientChosen`; the expanding notification and right clicks
    /// go to `events` too (without them, expanding lists nothing and a right click does
    /// nothing).
    void SetEvents(core::PanelEvents* events) override { m_events = events; }

    QTreeWidget* Tree() const { return m_tree; }
    /// The label of control 1218, 1219 or 1220 (nullptr for another number).
    QLabel* Label(int control) const;
    /// The tree widget item of `item`; nullptr when it is gone.
    QTreeWidgetItem* ItemOf(Item item) const;
    /// The item of a tree widget item; kNoItem for none.
    Item HandleOf(QTreeWidgetItem* item) const;
    /// Where a click at `point` of the tree's viewport lands.
    core::ShellTreeControl::HitTest HitTestAt(const QPoint& point) const;

signals:
    /// The selection made `text` the recipient.
    void recipientChosen(const QString& text);
    /// Label `control` now shows `text`.
    void labelChanged(int control, const QString& text);

private:
    class TreeItem;

    void SelectionChanged(QTreeWidgetItem* current);
    TreeItem* NewTreeItem(std::unique_ptr<core::ShellItemData> record);
    TreeItem* Find(Item item) const;
    void RunExpanding(TreeItem* item);
    void OnContextMenu(const QPoint& point);
    QIcon IconFor(const std::vector<std::string>& names, const std::vector<std::string>& open);

    QTreeWidget* m_tree;
    QLabel* m_status;
    QLabel* m_groups;
    QLabel* m_computers;
    std::vector<QIcon> m_ownImages;
    const std::vector<QIcon>* m_images = nullptr;
    core::PanelEvents* m_events = nullptr;
    std::unordered_map<Item, TreeItem*> m_items;
    Item m_nextItem = 1;
    QPoint m_menuPoint;
};

} // namespace kestrola::ui

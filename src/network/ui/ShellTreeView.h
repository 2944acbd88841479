#pragma once

#include "network/ShellTree.h"
#include "network/ShellTreeControl.h"
#include "platform/ShellNamespace.h"

#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QTreeWidget>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

namespace kestrola::ui {

/// The recipient tree filled from the desktop's namespace ("FastScan" 0): drives a tree
/// widget with check boxes for the shell tree rules. The fill runs on a worker thread; every
/// change of the widget runs on the widget's thread, the worker waiting for each. Expanding an
/// item fills it the first time; a right click on an item's image or text opens the desktop's
/// commands for it.
class ShellTreeView : public QObject, public core::ShellTreeControl {
    Q_OBJECT
public:
    /// Drives `tree` (which must hold no other items) with the folders of `shellNamespace`;
    /// the namespace outlives the view.
    ShellTreeView(QTreeWidget* tree, platform::ShellNamespace& shellNamespace,
                  QObject* parent = nullptr);
    /// Waits for a running fill, which stops changing the tree at once.
    ~ShellTreeView() override;

    /// Empties the tree and fills it from the network places on a worker thread; Filled()
    /// follows. False, and nothing happens, while a fill runs.
    bool StartFill();
    /// True from StartFill until the fill has ended.
    bool IsFilling() const { return m_filling; }

    /// The shell tree rules working on this tree (collecting, clearing, selection).
    core::ShellTree& Rules() { return m_rules; }
    /// The item of a tree widget item; kRoot for none.
    Item ItemOf(QTreeWidgetItem* item) const;
    /// The tree widget item of `item`; nullptr when it is gone.
    QTreeWidgetItem* WidgetItem(Item item) const;
    /// Where a click at `point` of the tree's viewport lands.
    HitTest HitTestAt(const QPoint& point) const;

    void DeleteAllItems() override;
    Item InsertItem(Item parent, Item after, NewItem item,
                    std::unique_ptr<core::ShellItemData> record) override;
    Item FirstChild(Item parent) override;
    Item NextSibling(Item item) override;
    const core::ShellItemData* ItemData(Item item) override;
    std::string ItemText(Item item) override;
    bool IsExpandedOnce(Item item) override;
    void Expand(Item item) override;
    void Collapse(Item item) override;
    void SortChildren(Item parent, const Compare& compare) override;
    bool IsChecked(Item item) override;
    void SetChecked(Item item, bool checked) override;
    void Select(Item item) override;
    std::optional<std::size_t> TrackMenu(const std::vector<std::string>& labels) override;
    void CopyText(const std::string& text) override;

signals:
    /// A fill started by StartFill has ended.
    void Filled();

private:
    class TreeItem;

    void OnItemExpanded(QTreeWidgetItem* item);
    void OnContextMenu(const QPoint& point);
    void RunExpanding(TreeItem* item);
    TreeItem* Find(Item item) const;
    QIcon IconFor(const std::vector<std::string>& names, const std::vector<std::string>& open);
    // Runs `work` on the widget's thread and waits for it; after the view began closing,
    // returns an empty result without running it.
    template <typename Work> auto OnUiThread(Work&& work) -> decltype(work());

    QPointer<QTreeWidget> m_tree;
    core::ShellTree m_rules;
    std::unordered_map<Item, TreeItem*> m_items;
    Item m_nextItem = 1;
    QPoint m_menuPoint;
    std::thread m_worker;
    std::atomic<bool> m_filling{false};
    std::mutex m_mutex;
    std::condition_variable m_answered;
    bool m_closing = false;
};

} // namespace kestrola::ui

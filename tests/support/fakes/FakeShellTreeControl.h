#pragma once

#include "network/ShellTreeControl.h"

#include <algorithm>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace kestrola::testing {

/// A tree control held in memory. Expanding sends the expanding notification to `onExpanding`
/// first, as the real control does; menus answer with `menuChoice`.
class FakeShellTreeControl : public core::ShellTreeControl {
public:
    struct Node {
        Item parent = kRoot;
        std::vector<Item> children;
        NewItem shown;
        std::unique_ptr<core::ShellItemData> record;
        bool expanded = false;
        bool expandedOnce = false;
        bool checked = false;
    };
    void DeleteAllItems() override {
        nodes.clear();
        roots.clear();
    }
    Item InsertItem(Item parent, Item after, NewItem item,
                    std::unique_ptr<core::ShellItemData> record) override {
        if (parent != kRoot && nodes.count(parent) == 0)
            return kRoot;
        const Item id = m_next++;
        std::vector<Item>& siblings = ChildrenOf(parent);
        auto place = std::find(siblings.begin(), siblings.end(), after);
        siblings.insert(place == siblings.end() ? siblings.end() : place + 1, id);
        Node& node = nodes[id];
        node.parent = parent;
        node.shown = std::move(item);
        node.record = std::move(record);
        return id;
    }
    Item FirstChild(Item parent) const override {
        if (parent != kRoot && nodes.count(parent) == 0)
            return kRoot;
        const std::vector<Item>& children = ChildrenOf(parent);
        return children.empty() ? kRoot : children.front();
    }
    Item NextSibling(Item item) const override {
        if (nodes.count(item) == 0)
            return kRoot;
        const std::vector<Item>& siblings = ChildrenOf(nodes.at(item).parent);
        auto place = std::find(siblings.begin(), siblings.end(), item);
        return place + 1 == siblings.end() ? kRoot : *(place + 1);
    }
    const core::ShellItemData* ItemData(Item item) override {
        return nodes.count(item) != 0 ? nodes[item].record.get() : nullptr;
    }
    std::string ItemText(Item item) const override {
        return nodes.count(item) != 0 ? nodes.at(item).shown.text : std::string();
    }
    bool IsExpandedOnce(Item item) override {
        return nodes.count(item) != 0 && nodes[item].expandedOnce;
    }
    void Expand(Item item) override {
        if (nodes.count(item) == 0 || nodes[item].expanded)
            return;
        if (onExpanding)
            onExpanding(item);
        nodes[item].expanded = true;
        nodes[item].expandedOnce = true;
    }
    void Collapse(Item item) override {
        if (nodes.count(item) != 0)
            nodes[item].expanded = false;
    }
    void SortChildren(Item parent, const Compare& compare) override {
        std::vector<Item>& children = ChildrenOf(parent);
        std::stable_sort(children.begin(), children.end(), [&](Item first, Item second) {
            return compare(nodes[first].record.get(), nodes[second].record.get()) < 0;
        });
        ++sorts[parent];
    }
    bool IsChecked(Item item) const override {
        return nodes.count(item) != 0 && nodes.at(item).checked;
    }
    void SetChecked(Item item, bool checked) override {
        if (nodes.count(item) != 0)
            nodes[item].checked = checked;
    }
    void Select(Item item) override { selected = item; }
    std::optional<std::size_t> TrackMenu(const std::vector<std::string>& labels) override {
        menus.push_back(labels);
        return menuChoice;
    }
    void CopyText(const std::string& text) override { clipboard = text; }
    Item Find(const std::string& path) {
        Item item = kRoot;
        std::istringstream parts(path);
        std::string part;
        while (std::getline(parts, part, '/')) {
            Item found = kRoot;
            for (Item child : ChildrenOf(item)) {
                if (nodes[child].shown.text == part)
                    found = child;
            }
            if (found == kRoot)
                return kRoot;
            item = found;
        }
        return item;
    }
    std::vector<std::string> Texts(Item parent = kRoot) {
        std::vector<std::string> texts;
        for (Item child : ChildrenOf(parent))
            texts.push_back(nodes[child].shown.text);
        return texts;
    }
    std::map<Item, Node> nodes;
    std::vector<Item> roots;
    std::function<void(Item)> onExpanding;
    std::map<Item, int> sorts;
    Item selected = kRoot;
    std::vector<std::vector<std::string>> menus;
    std::optional<std::size_t> menuChoice;
    std::string clipboard;

private:
    std::vector<Item>& ChildrenOf(Item parent) {
        return parent == kRoot ? roots : nodes[parent].children;
    }
    const std::vector<Item>& ChildrenOf(Item parent) const {
        return parent == kRoot ? roots : nodes.at(parent).children;
    }
    Item m_next = 1;
};

} // namespace kestrola::testing

#pragma once

#include "network/NetworkPanel.h"

#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace kestrola::testing {

/// An in-memory network panel: a tree of texts with check boxes and three labels. It logs
/// every change in order and counts calls that did not come from the thread that created it.
class FakeNetworkPanel : public core::NetworkPanel {
public:
    struct Node {
        std::string text;
        int image = -1;
        bool checked = false;
        Node* parent = nullptr;
        std::vector<std::unique_ptr<Node>> children;
    };
    bool UseSystemImageList() override {
        Note("system images");
        return true;
    }
    void CreateOwnImageList(const std::vector<int>& icons) override {
        Note("own images");
        ownIcons = icons;
    }
    void UseOwnImageList() override { Note("use own images"); }
    void DeleteAllItems() override {
        Note("delete all");
        m_root.children.clear();
    }
    Item InsertSorted(Item parent, const std::string& text, int image) override {
        Node& under = parent == kNoItem ? m_root : *reinterpret_cast<Node*>(parent);
        Note("insert " + (parent == kNoItem ? std::string() : under.text + "/") + text);
        std::vector<std::string> siblings;
        for (const auto& child : under.children)
            siblings.push_back(child->text);
        auto node = std::make_unique<Node>();
        node->text = text;
        node->image = image;
        node->parent = &under;
        Node* raw = node.get();
        under.children.insert(under.children.begin() +
                                  static_cast<long>(core::SortedInsertIndex(siblings, text)),
                              std::move(node));
        return reinterpret_cast<Item>(raw);
    }
    Item FirstChild(Item parent) const override {
        Check();
        const Node& under = parent == kNoItem ? m_root : *reinterpret_cast<const Node*>(parent);
        return under.children.empty() ? kNoItem : reinterpret_cast<Item>(under.children[0].get());
    }
    Item NextSibling(Item item) const override {
        Check();
        const Node* node = reinterpret_cast<const Node*>(item);
        const auto& siblings = node->parent->children;
        for (std::size_t i = 0; i + 1 < siblings.size(); ++i) {
            if (siblings[i].get() == node)
                return reinterpret_cast<Item>(siblings[i + 1].get());
        }
        return kNoItem;
    }
    std::string ItemText(Item item) const override {
        Check();
        return reinterpret_cast<const Node*>(item)->text;
    }
    bool IsChecked(Item item) const override {
        Check();
        return reinterpret_cast<const Node*>(item)->checked;
    }
    void SetChecked(Item item, bool checked) override {
        Note(std::string(checked ? "check " : "uncheck ") + reinterpret_cast<Node*>(item)->text);
        reinterpret_cast<Node*>(item)->checked = checked;
    }
    void SetLabelText(int control, const std::string& text) override {
        Note(std::to_string(control) + " " + text);
        labels[control] = text;
    }
    Item Find(const std::string& path) const {
        const Node* at = &m_root;
        std::size_t from = 0;
        while (at != nullptr && from <= path.size()) {
            const std::size_t slash = path.find('/', from);
            const std::string part = path.substr(from, slash - from);
            const Node* next = nullptr;
            for (const auto& child : at->children) {
                if (child->text == part)
                    next = child.get();
            }
            at = next;
            if (slash == std::string::npos)
                return reinterpret_cast<Item>(at);
            from = slash + 1;
        }
        return kNoItem;
    }
    std::vector<std::string> Lines() const {
        std::vector<std::string> out;
        for (const auto& group : m_root.children) {
            out.push_back(group->text);
            for (const auto& child : group->children)
                out.push_back(group->text + "/" + child->text);
        }
        return out;
    }
    Node& Root() { return m_root; }
    std::vector<int> ownIcons;
    std::map<int, std::string> labels;
    std::vector<std::string> log;
    mutable int foreignCalls = 0;

private:
    void Check() const {
        if (std::this_thread::get_id() != m_owner)
            ++foreignCalls;
    }
    void Note(std::string what) {
        Check();
        log.push_back(std::move(what));
    }
    std::thread::id m_owner = std::this_thread::get_id();
    Node m_root;
};

} // namespace kestrola::testing

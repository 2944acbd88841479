#pragma once

#include "base/Text.h"
#include "platform/NaturalOrder.h"
#include "platform/ShellNamespace.h"

#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kestrola::platform::testing {

/// A namespace held in memory: folders named by paths ("net/Office"), listed in the order
/// they were added. A folder's has-sub-folder attribute follows its content.
/// Counts listings per folder and records every command it carries out.
class FakeShellNamespace : public ShellNamespace {
public:
    static constexpr int kMissing = 1;
    std::string AddFolder(const std::string& parent, const std::string& name) {
        return Add(parent, name, true);
    }
    std::string AddFile(const std::string& parent, const std::string& name) {
        return Add(parent, name, false);
    }
    std::optional<std::string> SpecialFolderLocation(int folderId) override {
        const auto found = specialFolders.find(folderId);
        if (found == specialFolders.end())
            return std::nullopt;
        return found->second;
    }
    std::string DesktopLocation() override { return desktop; }
    ShellListing EnumerateFolder(const std::string& location) override {
        std::lock_guard lock(m_mutex);
        ++m_listed[location];
        ShellListing listing;
        if (const auto failure = failing.find(location); failure != failing.end()) {
            listing.status = {false, failure->second};
            return listing;
        }
        const auto folder = m_children.find(location);
        if (folder == m_children.end()) {
            listing.status = {false, kMissing};
            return listing;
        }
        for (const std::string& child : folder->second)
            listing.entries.push_back(EntryFor(child));
        return listing;
    }
    int CompareEntries(const ShellEntry& first, const ShellEntry& second) override {
        return CompareNaturalOrder(core::AsciiLower(first.displayName),
                                   core::AsciiLower(second.displayName));
    }
    ShellMenu QueryContextMenu(const ShellEntry& entry) override {
        std::lock_guard lock(m_mutex);
        queried.push_back(entry.location);
        ShellMenu menu;
        menu.status = menuStatus;
        if (menuStatus.ok) {
            menu.commands = {
                {ShellCommand::Kind::Open, "Open", {}, {}},
                {ShellCommand::Kind::OpenWith, "Open With Viewer", "viewer.desktop", {}},
                {ShellCommand::Kind::CopyLocation,
                 "Copy Location",
                 {},
                 "copied:" + entry.location}};
        }
        return menu;
    }
    ShellStatus InvokeCommand(const ShellEntry& entry, const ShellCommand& command) override {
        std::lock_guard lock(m_mutex);
        invoked.emplace_back(entry.location, command.label);
        return invokeStatus;
    }
    int TimesListed(const std::string& location) const {
        std::lock_guard lock(m_mutex);
        const auto found = m_listed.find(location);
        return found == m_listed.end() ? 0 : found->second;
    }
    std::map<int, std::string> specialFolders{{kNetworkPlacesFolder, "net"}};
    std::string desktop = "desktop";
    std::map<std::string, int> failing;
    ShellStatus menuStatus;
    ShellStatus invokeStatus;
    std::vector<std::string> queried;
    std::vector<std::pair<std::string, std::string>> invoked;

private:
    std::string Add(const std::string& parent, const std::string& name, bool folder) {
        const std::string location = parent.empty() ? name : parent + "/" + name;
        m_children[parent].push_back(location);
        m_names[location] = name;
        if (folder)
            m_children.try_emplace(location);
        return location;
    }
    ShellEntry EntryFor(const std::string& location) const {
        ShellEntry entry;
        entry.name = m_names.at(location);
        entry.displayName = entry.name;
        entry.location = location;
        const auto folder = m_children.find(location);
        entry.isFolder = folder != m_children.end();
        if (entry.isFolder) {
            entry.iconNames = {"folder"};
            entry.openIconNames = {"folder-open", "folder"};
            for (const std::string& child : folder->second)
                entry.hasSubFolders = entry.hasSubFolders || m_children.count(child) != 0;
        }
        return entry;
    }
    mutable std::mutex m_mutex;
    std::map<std::string, std::vector<std::string>> m_children;
    std::map<std::string, std::string> m_names;
    std::map<std::string, int> m_listed;
};

} // namespace kestrola::platform::testing

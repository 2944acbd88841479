#include "platform/BrowseList.h"

#include <algorithm>

namespace kestrola::platform {

std::string BrowseList::Key(std::string_view name) {
    std::string key(name);
    for (char& c : key) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return key;
}

BrowseList::Clock::duration BrowseList::Lifetime(std::uint32_t periodicityMs) {
    const std::chrono::milliseconds given{periodicityMs};
    return 3 * std::clamp(given, kMinPeriodicity, kMaxPeriodicity);
}

BrowseList::Workgroup* BrowseList::Find(std::string_view workgroup, bool create) {
    std::string key = Key(workgroup);
    const auto it = m_workgroups.find(key);
    if (it != m_workgroups.end())
        return &it->second;
    if (!create || m_workgroups.size() >= kMaxWorkgroups)
        return nullptr;
    Workgroup& added = m_workgroups[std::move(key)];
    added.name = std::string(workgroup);
    return &added;
}

void BrowseList::HostAnnounced(std::string_view workgroup, const BrowseComputer& computer,
                               std::uint32_t periodicityMs, Clock::time_point now) {
    if (computer.serverType == 0) {
        Workgroup* group = Find(workgroup, false);
        if (group != nullptr)
            m_computerCount -= group->computers.erase(Key(computer.name));
        return;
    }
    const std::string key = Key(computer.name);
    Workgroup* group = Find(workgroup, false);
    const bool known = group != nullptr && group->computers.count(key) != 0;
    if (!known && m_computerCount >= kMaxComputers) {
        // Full: make room from what has expired before refusing a new name.
        Expire(now);
        if (m_computerCount >= kMaxComputers)
            return;
    }
    group = Find(workgroup, true);
    if (group == nullptr)
        return;
    auto [it, added] = group->computers.try_emplace(key);
    if (added)
        ++m_computerCount;
    it->second.data = computer;
    it->second.expires = now + Lifetime(periodicityMs);
}

void BrowseList::WorkgroupAnnounced(std::string_view workgroup, std::string_view master,
                                    std::uint32_t periodicityMs, Clock::time_point now) {
    Workgroup* group = Find(workgroup, true);
    if (group == nullptr) {
        Expire(now);
        group = Find(workgroup, true);
        if (group == nullptr)
            return;
    }
    group->name = std::string(workgroup);
    if (!master.empty())
        group->master = std::string(master);
    group->announcedUntil = now + Lifetime(periodicityMs);
}

void BrowseList::Expire(Clock::time_point now) {
    for (auto group = m_workgroups.begin(); group != m_workgroups.end();) {
        auto& computers = group->second.computers;
        for (auto it = computers.begin(); it != computers.end();) {
            if (it->second.expires <= now) {
                it = computers.erase(it);
                --m_computerCount;
            } else {
                ++it;
            }
        }
        if (computers.empty() && group->second.announcedUntil <= now)
            group = m_workgroups.erase(group);
        else
            ++group;
    }
}

std::vector<BrowseWorkgroup> BrowseList::Snapshot(Clock::time_point now) const {
    std::vector<BrowseWorkgroup> out;
    for (const auto& [key, group] : m_workgroups) {
        BrowseWorkgroup shown;
        shown.name = group.name;
        shown.master = group.master;
        for (const auto& [name, computer] : group.computers) {
            if (computer.expires > now)
                shown.computers.push_back(computer.data);
        }
        if (!shown.computers.empty() || group.announcedUntil > now)
            out.push_back(std::move(shown));
    }
    return out;
}

} // namespace kestrola::platform

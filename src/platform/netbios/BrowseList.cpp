#include "platform/netbios/BrowseList.h"

#include "base/Text.h"

#include <algorithm>

namespace kestrola::platform {

namespace {

// A full list drops this share of itself at once: one scan of the list serves many newcomers.
constexpr std::size_t kEvictionBatch = 16;

} // namespace

BrowseList::BrowseList(std::string_view ownWorkgroup) : m_ownKey(Key(ownWorkgroup)) {}

std::string BrowseList::Key(std::string_view name) {
    return core::AsciiUpper(name);
}

BrowseList::Clock::duration BrowseList::Lifetime(std::uint32_t periodicityMs) {
    const std::chrono::milliseconds given{periodicityMs};
    return 3 * std::clamp(given, kMinPeriodicity, kMaxPeriodicity);
}

BrowseList::Clock::time_point BrowseList::Workgroup::Until() const {
    Clock::time_point until = announcedUntil;
    for (const auto& [key, computer] : computers)
        until = std::max(until, computer.expires);
    return until;
}

BrowseList::Workgroup* BrowseList::Find(std::string_view workgroup) {
    const auto it = m_workgroups.find(Key(workgroup));
    return it == m_workgroups.end() ? nullptr : &it->second;
}

bool BrowseList::SourceFull(std::uint32_t source) const {
    const auto it = m_bySource.find(source);
    return it != m_bySource.end() && it->second >= kMaxPerSource;
}

void BrowseList::Count(std::uint32_t source, int delta) {
    std::size_t& held = m_bySource[source];
    held = static_cast<std::size_t>(static_cast<long long>(held) + delta);
    if (held == 0)
        m_bySource.erase(source);
}

void BrowseList::RemoveComputer(Workgroup& group, std::map<std::string, Computer>::iterator it) {
    Count(it->second.data.address, -1);
    group.computers.erase(it);
    --m_computerCount;
}

BrowseList::Workgroups::iterator BrowseList::RemoveWorkgroup(Workgroups::iterator it) {
    Workgroup& group = it->second;
    while (!group.computers.empty())
        RemoveComputer(group, group.computers.begin());
    if (group.announced)
        Count(group.source, -1);
    return m_workgroups.erase(it);
}

BrowseList::Workgroup* BrowseList::Add(std::string_view workgroup, Clock::time_point now) {
    std::string key = Key(workgroup);
    if (const auto it = m_workgroups.find(key); it != m_workgroups.end())
        return &it->second;
    if (m_workgroups.size() >= kMaxWorkgroups) {
        Expire(now);
        if (m_workgroups.size() >= kMaxWorkgroups) {
            // The workgroups that end soonest go, ours never.
            std::vector<std::pair<Clock::time_point, std::string>> ends;
            for (const auto& [k, group] : m_workgroups) {
                if (!Own(k))
                    ends.emplace_back(group.Until(), k);
            }
            const std::size_t n = std::min(ends.size(), kMaxWorkgroups / kEvictionBatch);
            std::partial_sort(ends.begin(), ends.begin() + static_cast<std::ptrdiff_t>(n),
                              ends.end());
            for (std::size_t i = 0; i < n; ++i)
                RemoveWorkgroup(m_workgroups.find(ends[i].second));
        }
    }
    Workgroup& added = m_workgroups[std::move(key)];
    added.name = std::string(workgroup);
    return &added;
}

void BrowseList::MakeRoomForComputer(Clock::time_point now) {
    Expire(now);
    if (m_computerCount < kMaxComputers)
        return;
    // The computers that expire soonest go, those of our workgroup never.
    std::vector<std::pair<Clock::time_point, std::pair<std::string, std::string>>> ends;
    for (const auto& [groupKey, group] : m_workgroups) {
        if (Own(groupKey))
            continue;
        for (const auto& [key, computer] : group.computers)
            ends.push_back({computer.expires, {groupKey, key}});
    }
    const std::size_t n = std::min(ends.size(), kMaxComputers / kEvictionBatch);
    std::partial_sort(ends.begin(), ends.begin() + static_cast<std::ptrdiff_t>(n), ends.end());
    for (std::size_t i = 0; i < n; ++i) {
        Workgroup& group = m_workgroups.find(ends[i].second.first)->second;
        RemoveComputer(group, group.computers.find(ends[i].second.second));
    }
}

void BrowseList::HostAnnounced(std::string_view workgroup, const BrowseComputer& computer,
                               std::uint32_t periodicityMs, Clock::time_point now) {
    const std::string key = Key(computer.name);
    Workgroup* group = Find(workgroup);
    if (computer.serverType == 0) {
        if (group != nullptr) {
            const auto it = group->computers.find(key);
            if (it != group->computers.end())
                RemoveComputer(*group, it);
        }
        return;
    }
    std::map<std::string, Computer>::iterator known;
    if (group == nullptr || (known = group->computers.find(key)) == group->computers.end()) {
        if (SourceFull(computer.address))
            return;
        if (m_computerCount >= kMaxComputers) {
            MakeRoomForComputer(now);
            if (m_computerCount >= kMaxComputers)
                return; // every computer is of our own workgroup
        }
        group = Add(workgroup, now);
        known = group->computers.try_emplace(key).first;
        ++m_computerCount;
        Count(computer.address, +1);
    } else if (known->second.data.address != computer.address) {
        // The name moved to another address: it counts there now.
        Count(known->second.data.address, -1);
        Count(computer.address, +1);
    }
    known->second.data = computer;
    known->second.expires = now + Lifetime(periodicityMs);
    group->heard = now;
}

void BrowseList::WorkgroupAnnounced(std::string_view workgroup, std::string_view master,
                                    std::uint32_t periodicityMs, Clock::time_point now,
                                    std::uint32_t source) {
    Workgroup* group = Find(workgroup);
    if ((group == nullptr || !group->announced) && SourceFull(source))
        return;
    if (group == nullptr)
        group = Add(workgroup, now);
    if (!group->announced) {
        group->announced = true;
        group->source = source;
        Count(source, +1);
    }
    group->name = std::string(workgroup);
    if (!master.empty())
        group->master = std::string(master);
    group->announcedUntil = now + Lifetime(periodicityMs);
    group->heard = now;
}

void BrowseList::Expire(Clock::time_point now) {
    for (auto group = m_workgroups.begin(); group != m_workgroups.end();) {
        auto& computers = group->second.computers;
        for (auto it = computers.begin(); it != computers.end();) {
            if (it->second.expires <= now)
                RemoveComputer(group->second, it++);
            else
                ++it;
        }
        if (computers.empty() && group->second.announcedUntil <= now)
            group = RemoveWorkgroup(group);
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

std::vector<std::string> BrowseList::RecentWorkgroups(std::size_t count,
                                                      Clock::time_point now) const {
    std::vector<std::pair<Clock::time_point, const Workgroup*>> heard;
    for (const auto& [key, group] : m_workgroups) {
        if (!Own(key) && group.Until() > now)
            heard.emplace_back(group.heard, &group);
    }
    const std::size_t n = std::min(count, heard.size());
    std::partial_sort(heard.begin(), heard.begin() + static_cast<std::ptrdiff_t>(n), heard.end(),
                      [](const auto& a, const auto& b) { return a.first > b.first; });
    std::vector<std::string> names;
    for (std::size_t i = 0; i < n; ++i)
        names.push_back(heard[i].second->name);
    return names;
}

} // namespace kestrola::platform

#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace kestrola::platform {

/// A computer of the network as its announcements describe it.
struct BrowseComputer {
    std::string name; ///< as announced (OEM bytes)
    std::string comment;
    std::uint32_t serverType = 0;
    std::uint32_t address = 0; ///< where the announcement came from (IPv4, host order)
};

/// A workgroup or domain with the computers announced in it, names in ascending order.
struct BrowseWorkgroup {
    std::string name;   ///< as announced (OEM bytes)
    std::string master; ///< its local master browser when one announced the workgroup
    std::vector<BrowseComputer> computers;
};

/// The computers and workgroups heard of on the network. Each entry lives three times the
/// periodicity its latest announcement gave; a workgroup lives while it has a living computer
/// or its own announcement lives. Names are compared ignoring ASCII case. Not thread-safe by
/// itself.
///
/// Whoever sends announcements can fill a list, so it is bounded three ways: one source address
/// holds at most `kMaxPerSource` entries (more new names from it are not taken); a full list
/// makes room by dropping what expires soonest (a sixteenth at once, so that a flood costs
/// little); and our own workgroup and its computers are never dropped for others.
class BrowseList {
public:
    using Clock = std::chrono::steady_clock;

    /// Bounds of the list.
    static constexpr std::size_t kMaxComputers = 4096;
    static constexpr std::size_t kMaxWorkgroups = 512;
    /// Computers and workgroups one source address may put into the list: a host announces
    /// itself, a local master its workgroup too, a server a few aliases.
    static constexpr std::size_t kMaxPerSource = 16;
    /// Periodicities outside these bounds are taken as the nearest bound: a zero must not make
    /// an entry vanish at once, and a huge one must not keep it for weeks.
    static constexpr std::chrono::milliseconds kMinPeriodicity{60'000};
    static constexpr std::chrono::milliseconds kMaxPeriodicity{3'600'000};

    /// `ownWorkgroup` (OEM bytes) always has room.
    explicit BrowseList(std::string_view ownWorkgroup = {});

    /// A host, or a local master for its own workgroup, announced itself in `workgroup` from
    /// `computer.address`; server type 0 means it is going away, and its entry is removed.
    void HostAnnounced(std::string_view workgroup, const BrowseComputer& computer,
                       std::uint32_t periodicityMs, Clock::time_point now);
    /// A local master at `source` announced its workgroup (a DomainAnnouncement).
    void WorkgroupAnnounced(std::string_view workgroup, std::string_view master,
                            std::uint32_t periodicityMs, Clock::time_point now,
                            std::uint32_t source = 0);
    /// Removes what has expired by `now`.
    void Expire(Clock::time_point now);
    /// What lives at `now`, workgroups and computers in ascending order of their names.
    std::vector<BrowseWorkgroup> Snapshot(Clock::time_point now) const;
    /// The names of at most `count` living workgroups other than ours, the most recently heard
    /// first.
    std::vector<std::string> RecentWorkgroups(std::size_t count, Clock::time_point now) const;
    /// Number of computers held, expired ones included until the next `Expire`.
    std::size_t ComputerCount() const { return m_computerCount; }
    /// Number of workgroups held likewise.
    std::size_t WorkgroupCount() const { return m_workgroups.size(); }
    /// Number of computers and workgroups that came from `source`.
    std::size_t HeldBy(std::uint32_t source) const {
        const auto it = m_bySource.find(source);
        return it == m_bySource.end() ? 0 : it->second;
    }

    /// How long an announcement with `periodicityMs` keeps its entry.
    static Clock::duration Lifetime(std::uint32_t periodicityMs);

private:
    struct Computer {
        BrowseComputer data;
        Clock::time_point expires;
    };
    struct Workgroup {
        std::string name;
        std::string master;
        Clock::time_point announcedUntil; ///< of its own announcement; epoch when none
        bool announced = false;           ///< it has had one, counted against `source`
        std::uint32_t source = 0;
        Clock::time_point heard; ///< latest announcement of it or in it
        std::map<std::string, Computer> computers;
        Clock::time_point Until() const;
    };
    using Workgroups = std::map<std::string, Workgroup>;

    static std::string Key(std::string_view name);
    bool Own(const std::string& key) const { return !m_ownKey.empty() && key == m_ownKey; }
    Workgroup* Find(std::string_view workgroup);
    Workgroup* Add(std::string_view workgroup, Clock::time_point now);
    bool SourceFull(std::uint32_t source) const;
    void Count(std::uint32_t source, int delta);
    void RemoveComputer(Workgroup& group, std::map<std::string, Computer>::iterator it);
    Workgroups::iterator RemoveWorkgroup(Workgroups::iterator it);
    void MakeRoomForComputer(Clock::time_point now);

    std::string m_ownKey;
    Workgroups m_workgroups;
    std::size_t m_computerCount = 0;
    std::map<std::uint32_t, std::size_t> m_bySource; ///< entries per source address
};

} // namespace kestrola::platform

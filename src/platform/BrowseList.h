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
/// or its own announcement lives. Names are compared ignoring ASCII case. The list is bounded:
/// when full, announcements of new names are not taken. Not thread-safe by itself.
class BrowseList {
public:
    using Clock = std::chrono::steady_clock;

    /// Bounds of the list.
    static constexpr std::size_t kMaxComputers = 4096;
    static constexpr std::size_t kMaxWorkgroups = 512;
    /// Periodicities outside these bounds are taken as the nearest bound: a zero must not make
    /// an entry vanish at once, and a huge one must not keep it for weeks.
    static constexpr std::chrono::milliseconds kMinPeriodicity{60'000};
    static constexpr std::chrono::milliseconds kMaxPeriodicity{3'600'000};

    /// A host, or a local master for its own workgroup, announced itself in `workgroup`;
    /// server type 0 means it is going away, and its entry is removed.
    void HostAnnounced(std::string_view workgroup, const BrowseComputer& computer,
                       std::uint32_t periodicityMs, Clock::time_point now);
    /// A local master announced its workgroup (a DomainAnnouncement).
    void WorkgroupAnnounced(std::string_view workgroup, std::string_view master,
                            std::uint32_t periodicityMs, Clock::time_point now);
    /// Removes what has expired by `now`.
    void Expire(Clock::time_point now);
    /// What lives at `now`, workgroups and computers in ascending order of their names.
    std::vector<BrowseWorkgroup> Snapshot(Clock::time_point now) const;
    /// Number of computers held, expired ones included until the next `Expire`.
    std::size_t ComputerCount() const { return m_computerCount; }

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
        std::map<std::string, Computer> computers;
    };

    static std::string Key(std::string_view name);
    Workgroup* Find(std::string_view workgroup, bool create);

    std::map<std::string, Workgroup> m_workgroups;
    std::size_t m_computerCount = 0;
};

} // namespace kestrola::platform

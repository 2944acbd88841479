#pragma once

#include "platform/NetworkProvider.h"

#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace kestrola::platform::testing {

/// An in-memory network provider: one network whose groups and their entries are set by the
/// test, with switches that make an open or an enumeration fail and a gate that holds the
/// group enumeration (so that a scan can be caught while it runs). Thread-safe.
class FakeNetworkProvider : public NetworkProvider {
public:
    struct Container {
        std::uint32_t openError = kNetNoError; ///< returned by OpenEnum
        std::uint32_t enumError = kNetNoError; ///< returned by every EnumResource call
        std::vector<NetResource> entries;
    };
    std::string providerName = "Fake Network";
    std::string computerName = "THISPC";
    Container top;
    Container groups;
    std::map<std::string, Container> members;
    FakeNetworkProvider() { top.entries.push_back(Network()); }
    /// The network's entry, as the top level lists it.
    NetResource Network() const { return Entry(kDisplayNetwork, providerName); }
    /// Adds a workgroup with computers (given bare; listed as "\\NAME").
    void AddGroup(const std::string& name, const std::vector<std::string>& computers,
                  std::uint32_t displayType = kDisplayGroup) {
        const std::lock_guard lock(m_mutex);
        groups.entries.push_back(Entry(displayType, name));
        Container& group = members[name]; // listed even when empty
        for (const std::string& computer : computers)
            group.entries.push_back(Entry(kDisplayServer, "\\\\" + computer));
    }
    /// Makes the next group enumerations wait in OpenEnum until `Release`.
    void Hold() {
        const std::lock_guard lock(m_mutex);
        m_held = true;
    }
    void Release() {
        {
            const std::lock_guard lock(m_mutex);
            m_held = false;
        }
        m_changed.notify_all();
    }
    bool Waiting() const {
        const std::lock_guard lock(m_mutex);
        return m_waiting > 0;
    }
    std::vector<std::string> Opened() const {
        const std::lock_guard lock(m_mutex);
        return m_opened;
    }
    std::uint32_t OpenEnum(std::uint32_t /*scope*/, std::uint32_t /*type*/, std::uint32_t /*usage*/,
                           const NetResource* container,
                           std::unique_ptr<ResourceEnumeration>& enumeration) override {
        enumeration.reset();
        std::unique_lock lock(m_mutex);
        const Container* chosen = nullptr;
        if (container == nullptr) {
            m_opened.push_back("top");
            chosen = &top;
        } else if (container->displayType == kDisplayNetwork) {
            m_opened.push_back("groups " + container->provider);
            ++m_waiting;
            m_changed.wait(lock, [this] { return !m_held; });
            --m_waiting;
            chosen = &groups;
        } else {
            m_opened.push_back("group " + container->remoteName);
            const auto it = members.find(container->remoteName);
            if (it == members.end()) {
                m_lastError = "no such group";
                return kNetErrorNoBrowserServersFound;
            }
            chosen = &it->second;
        }
        if (chosen->openError != kNetNoError) {
            m_lastError = "open failed";
            return chosen->openError;
        }
        enumeration =
            std::make_unique<Failing>(ListEnumeration(chosen->entries), chosen->enumError);
        return kNetNoError;
    }
    std::string LastErrorText() const override {
        const std::lock_guard lock(m_mutex);
        return m_lastError;
    }
    std::string ComputerName() const override { return computerName; }

private:
    NetResource Entry(std::uint32_t displayType, const std::string& name) const {
        return {kResourceGlobalNet, kResourceTypeAny, displayType, kUsageContainer, {}, name, {},
                providerName};
    }
    // Passes through unless told to fail.
    class Failing : public ResourceEnumeration {
    public:
        Failing(std::unique_ptr<ResourceEnumeration> inner, std::uint32_t error)
            : m_inner(std::move(inner)), m_error(error) {}
        std::uint32_t EnumResource(std::uint32_t& count, std::size_t& bufferSize,
                                   std::vector<NetResource>& entries) override {
            if (m_error != kNetNoError) {
                count = 0;
                return m_error;
            }
            return m_inner->EnumResource(count, bufferSize, entries);
        }

    private:
        std::unique_ptr<ResourceEnumeration> m_inner;
        std::uint32_t m_error;
    };
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_held = false;
    int m_waiting = 0;
    std::vector<std::string> m_opened;
    std::string m_lastError;
};

} // namespace kestrola::platform::testing

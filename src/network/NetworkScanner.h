#pragma once

#include "network/MessengerServiceControl.h"
#include "network/NetworkPanel.h"
#include "network/ShellTreeControl.h"
#include "platform/CodePage.h"
#include "platform/NetworkProvider.h"
#include "platform/PlatformVersion.h"
#include "platform/ShellNamespace.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace kestrola::core {

/// Icon resources of the recipient tree.
inline constexpr int kGroupIconResource = 277;
inline constexpr int kComputerIconResource = 278;

/// Fills the recipient tree with the network's workgroups and their computers on a thread of
/// its own, reports progress in the panel's labels, and answers which items are checked. Also
/// holds the local computer name and the Messenger service control.
class NetworkScanner : public PanelEvents {
public:
    /// Carries one piece of panel work over to the user-interface thread and waits for it (the
    /// work is skipped once the scanner is gone).
    using PanelCall = std::function<void(const std::function<void(NetworkPanel&)>& work)>;
    /// Work of the shell mode (mode 0) that fills the tree from the shell's network places; it
    /// runs on the scan thread and reaches the panel only through `PanelCall`.
    using ShellFill = std::function<void(const PanelCall& onPanel)>;

    NetworkScanner(std::shared_ptr<platform::NetworkProvider> provider,
                   std::shared_ptr<const platform::CodePage> codePage);
    virtual ~NetworkScanner();
    NetworkScanner(const NetworkScanner&) = delete;
    NetworkScanner& operator=(const NetworkScanner&) = delete;

    /// The platform version record; read by the service control.
    const platform::PlatformVersion* platformRecord = nullptr;
    /// The "MessengerWarnings" setting: nonzero asks before stopping the Messenger service.
    int warnings = 0;
    /// The "FastScan" setting: 1 enumerates the network provider, 0 fills from the shell.
    int mode = 1;

    /// Hands the scanner the panel it fills and the way to reach it from the scan thread; the
    /// panel reports its events to the scanner from then on.
    void SetPanel(NetworkPanel* panel, std::shared_ptr<UiDispatcher> dispatcher);
    /// Sets the shell mode's filling work.
    void SetShellFill(ShellFill fill);
    /// Fills the tree from `shellNamespace` in shell mode: the scan lists its network places
    /// (through the shell fill), expansions and right clicks go to its folders and commands.
    /// Every change of the tree is handed over to the user-interface thread as the scan's other
    /// panel work is.
    void SetShellNamespace(std::shared_ptr<platform::ShellNamespace> shellNamespace);

    /// Finds the network provider's name; false (after message 1286) when there is no network.
    bool LookUpProvider();
    /// Prepares the tree's image lists, empties it and reads the local computer name.
    void InitTree();
    /// Starts a scan on a new thread unless one runs.
    void StartScan();
    /// 1 from `StartScan` until the scan thread has finished, else 0.
    int IsScanning() const;
    /// 1 once a scan has finished.
    int HasScanned() const;
    /// Appends the texts of the checked items in tree order; always 0.
    int CollectCheckedNames(std::vector<std::string>& list) const;
    /// Unchecks the items `CollectCheckedNames` reads; always 0.
    int ClearChecks();
    /// The recipient a newly selected `item` gives (its text, at most 31 characters), or none
    /// while a scan runs, and in shell mode for the first root item.
    std::optional<std::string> SelectedRecipient(NetworkPanel::Item item) const override;
    /// The tree's expanding notification for `item` in shell mode: lists the item's folder the
    /// first time. Does nothing in provider mode or without a shell namespace. Result 0: the
    /// expansion goes ahead.
    int ExpandShellItem(NetworkPanel::Item item) override;
    /// The tree's right-click notification in shell mode, `hit` being where the click landed:
    /// selects the hit item and, on its image or text, offers the desktop's commands for it.
    /// Does nothing in provider mode or without a shell namespace. Result 0.
    int ShowShellContextMenu(const ShellTreeControl::HitTest& hit) override;

    /// Stops a running Messenger service (see MessengerServiceControl); 1 when it stopped.
    int StopMessengerService(int exitFlag);
    /// The service control with the window's question and the platform's calls.
    MessengerServiceControl& ServiceControl() { return m_service; }

    /// The local computer name as the network provider gives it, and upper-cased.
    const std::string& LocalName() const { return m_localName; }
    const std::string& LocalNameUpper() const { return m_localNameUpper; }
    /// The network provider's name once `LookUpProvider` succeeded.
    const std::string& ProviderName() const { return m_providerName; }

    /// Buffer sizes of the enumerations.
    static constexpr std::size_t kProviderBufferBytes = 0x80000;
    static constexpr std::size_t kEnumerationBufferBytes = 0x4000;

private:
    // What the scan threads share with the scanner; a thread keeps it alive after the scanner
    // is gone. `panel` is read and cleared only on the user-interface thread.
    struct ScanState {
        std::atomic<int> scanning{0};
        std::atomic<int> scannedOnce{0};
        NetworkPanel* panel = nullptr;
        std::shared_ptr<UiDispatcher> dispatcher;
        ShellFill shellFill;
    };
    // One scan: the copies `StartScan` takes for its thread, and the thread's own counters.
    struct Scan {
        std::shared_ptr<ScanState> shared;
        std::shared_ptr<platform::NetworkProvider> provider;
        std::string providerText;
        int mode = 1;
        int groupCount = 0;
        int computerCount = 0;
    };

    class ShellMode;

    static void ScanThread(Scan scan);
    static void OnPanel(ScanState& state, const std::function<void(NetworkPanel&)>& work);
    static void OnPanel(const Scan& scan, const std::function<void(NetworkPanel&)>& work);
    static void EnumerateGroups(Scan& scan);
    static void EnumerateMachines(Scan& scan, const std::string& group,
                                  NetworkPanel::Item groupItem);
    static void ShowCounters(const Scan& scan);
    static void SetStatus(const Scan& scan, const std::string& text);
    static std::uint32_t Enumerate(platform::NetworkProvider& provider,
                                   const platform::NetResource& container,
                                   std::vector<platform::NetResource>& entries,
                                   std::uint32_t& openResult);

    std::shared_ptr<platform::NetworkProvider> m_provider;
    std::shared_ptr<const platform::CodePage> m_codePage;
    std::shared_ptr<ScanState> m_state = std::make_shared<ScanState>();
    std::shared_ptr<ShellMode> m_shell;
    std::string m_providerText;
    std::mutex m_startLock;
    NetworkPanel* m_panel = nullptr;
    std::string m_providerName;
    std::string m_localName;
    std::string m_localNameUpper;
    MessengerServiceControl m_service;
};

} // namespace kestrola::core

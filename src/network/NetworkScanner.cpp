#include "network/NetworkScanner.h"

#include "base/Reporting.h"
#include "base/StatusTexts.h"
#include "base/Text.h"
#include "network/ShellTree.h"

#include <thread>
#include <type_traits>
#include <utility>

namespace kestrola::core {

namespace {

constexpr std::size_t kLocalNameLimit = 32;
constexpr std::size_t kSelectedTextLimit = 31;

} // namespace

// The shell tree rules on the panel's tree. Every call is handed over to the user-interface
// thread the way the scan's other panel work is (from that thread it runs at once) and is
// skipped, answering "no item", once the panel is gone. Lives as long as the scans that use it.
class NetworkScanner::ShellMode final : public ShellTreeControl {
public:
    ShellMode(ScanState& state, std::shared_ptr<platform::ShellNamespace> shellNamespace)
        : m_state(state), m_namespace(std::move(shellNamespace)), rules(*m_namespace, *this) {}

    void DeleteAllItems() override {
        Call([](ShellTreeControl& tree) { tree.DeleteAllItems(); });
    }
    Item InsertItem(Item parent, Item after, NewItem item,
                    std::unique_ptr<ShellItemData> record) override {
        return Call([&](ShellTreeControl& tree) {
            return tree.InsertItem(parent, after, std::move(item), std::move(record));
        });
    }
    Item FirstChild(Item parent) const override {
        return Call([&](ShellTreeControl& tree) { return tree.FirstChild(parent); });
    }
    Item NextSibling(Item item) const override {
        return Call([&](ShellTreeControl& tree) { return tree.NextSibling(item); });
    }
    std::string ItemText(Item item) const override {
        return Call([&](ShellTreeControl& tree) { return tree.ItemText(item); });
    }
    bool IsChecked(Item item) const override {
        return Call([&](ShellTreeControl& tree) { return tree.IsChecked(item); });
    }
    void SetChecked(Item item, bool checked) override {
        Call([&](ShellTreeControl& tree) { tree.SetChecked(item, checked); });
    }
    const ShellItemData* ItemData(Item item) override {
        return Call([&](ShellTreeControl& tree) { return tree.ItemData(item); });
    }
    bool IsExpandedOnce(Item item) override {
        return Call([&](ShellTreeControl& tree) { return tree.IsExpandedOnce(item); });
    }
    void Expand(Item item) override {
        Call([&](ShellTreeControl& tree) { tree.Expand(item); });
    }
    void Collapse(Item item) override {
        Call([&](ShellTreeControl& tree) { tree.Collapse(item); });
    }
    void SortChildren(Item parent, const Compare& compare) override {
        Call([&](ShellTreeControl& tree) { tree.SortChildren(parent, compare); });
    }
    void Select(Item item) override {
        Call([&](ShellTreeControl& tree) { tree.Select(item); });
    }
    std::optional<std::size_t> TrackMenu(const std::vector<std::string>& labels) override {
        return Call([&](ShellTreeControl& tree) { return tree.TrackMenu(labels); });
    }
    void CopyText(const std::string& text) override {
        Call([&](ShellTreeControl& tree) { tree.CopyText(text); });
    }

private:
    template <typename Work>
    auto Call(Work work) const -> decltype(work(std::declval<ShellTreeControl&>())) {
        using Result = decltype(work(std::declval<ShellTreeControl&>()));
        if constexpr (std::is_void_v<Result>) {
            OnPanel(m_state, [&](NetworkPanel& panel) {
                if (ShellTreeControl* tree = panel.ShellControl())
                    work(*tree);
            });
        } else {
            Result result{};
            OnPanel(m_state, [&](NetworkPanel& panel) {
                if (ShellTreeControl* tree = panel.ShellControl())
                    result = work(*tree);
            });
            return result;
        }
    }

    ScanState& m_state;
    std::shared_ptr<platform::ShellNamespace> m_namespace;

public:
    ShellTree rules;
};

NetworkScanner::NetworkScanner(std::shared_ptr<platform::NetworkProvider> provider,
                               std::shared_ptr<const platform::CodePage> codePage)
    : m_provider(std::move(provider)), m_codePage(std::move(codePage)) {}

NetworkScanner::~NetworkScanner() {
    // A running scan is not waited for; it carries on without the panel and ends by itself.
    m_state->panel = nullptr;
}

void NetworkScanner::SetPanel(NetworkPanel* panel, std::shared_ptr<UiDispatcher> dispatcher) {
    m_panel = panel;
    m_state->panel = panel;
    m_state->dispatcher = std::move(dispatcher);
    if (panel != nullptr)
        panel->SetEvents(this);
}

void NetworkScanner::SetShellFill(ShellFill fill) {
    m_state->shellFill = std::move(fill);
}

void NetworkScanner::SetShellNamespace(std::shared_ptr<platform::ShellNamespace> shellNamespace) {
    m_shell = std::make_shared<ShellMode>(*m_state, std::move(shellNamespace));
    // The fill keeps the rules alive for a scan that outlives the scanner; their tree calls
    // take the same hand-over as `onPanel`.
    SetShellFill([shell = m_shell](const PanelCall&) {
        shell->rules.FillFromSpecialFolder(platform::kNetworkPlacesFolder);
    });
}

bool NetworkScanner::LookUpProvider() {
    m_providerName.clear();
    std::unique_ptr<platform::ResourceEnumeration> enumeration;
    std::uint32_t result = m_provider->OpenEnum(
        platform::kResourceGlobalNet, platform::kResourceTypeDisk, 0, nullptr, enumeration);
    std::vector<platform::NetResource> entries;
    if (result == platform::kNetNoError) {
        std::uint32_t count = platform::kEnumerateAll;
        std::size_t size = kProviderBufferBytes;
        result = enumeration->EnumResource(count, size, entries);
    }
    if (result != platform::kNetNoError || entries.empty()) {
        ShowSystemMessage(kGetNetworkProviderFailed);
        return false;
    }
    m_providerName = entries.front().provider;
    m_providerText = m_providerName;
    return true;
}

void NetworkScanner::InitTree() {
    if (m_panel != nullptr) {
        m_panel->UseSystemImageList();
        m_panel->DeleteAllItems();
        m_panel->CreateOwnImageList({kComputerIconResource, kGroupIconResource});
        if (mode == 1)
            m_panel->UseOwnImageList();
    }
    m_localName = std::string(FirstCharacters(m_provider->ComputerName(), kLocalNameLimit));
    m_localNameUpper = m_codePage ? m_codePage->UpperCase(m_localName) : m_localName;
}

void NetworkScanner::StartScan() {
    {
        const std::lock_guard lock(m_startLock);
        if (m_state->scanning.load() == 1)
            return;
        m_state->scanning.store(1);
    }
    // The counts start at 0; the thread owns its share of the state and nobody waits for it.
    Scan scan{m_state, m_provider, m_providerText, mode, 0, 0};
    std::thread(ScanThread, std::move(scan)).detach();
}

int NetworkScanner::IsScanning() const {
    return m_state->scanning.load();
}

int NetworkScanner::HasScanned() const {
    return m_state->scannedOnce.load();
}

void NetworkScanner::OnPanel(const Scan& scan, const std::function<void(NetworkPanel&)>& work) {
    OnPanel(*scan.shared, work);
}

void NetworkScanner::OnPanel(ScanState& state, const std::function<void(NetworkPanel&)>& work) {
    if (!state.dispatcher)
        return;
    state.dispatcher->Invoke([&state, &work] {
        if (state.panel != nullptr)
            work(*state.panel);
    });
}

void NetworkScanner::SetStatus(const Scan& scan, const std::string& text) {
    OnPanel(scan, [&](NetworkPanel& panel) { panel.SetLabelText(kScanStatusLabel, text); });
}

void NetworkScanner::ShowCounters(const Scan& scan) {
    const std::string groups =
        std::string(LoadString(kGroupsLabel)) + std::to_string(scan.groupCount);
    const std::string computers =
        std::string(LoadString(kComputersLabel)) + std::to_string(scan.computerCount);
    OnPanel(scan, [&](NetworkPanel& panel) { panel.SetLabelText(kGroupCountLabel, groups); });
    OnPanel(scan, [&](NetworkPanel& panel) { panel.SetLabelText(kComputerCountLabel, computers); });
}

void NetworkScanner::ScanThread(Scan scan) {
    OnPanel(scan, [](NetworkPanel& panel) { panel.DeleteAllItems(); });
    if (scan.mode != 0) {
        EnumerateGroups(scan);
        NetworkPanel::Item item = NetworkPanel::kNoItem;
        OnPanel(scan, [&](NetworkPanel& panel) { item = panel.FirstChild(NetworkPanel::kNoItem); });
        while (item != NetworkPanel::kNoItem) {
            std::string text;
            OnPanel(scan, [&](NetworkPanel& panel) { text = panel.ItemText(item); });
            EnumerateMachines(scan, text, item);
            NetworkPanel::Item next = NetworkPanel::kNoItem;
            OnPanel(scan, [&](NetworkPanel& panel) { next = panel.NextSibling(item); });
            item = next;
        }
    } else {
        SetStatus(scan, std::string(LoadString(kScanning)));
        OnPanel(scan, [](NetworkPanel& panel) {
            panel.SetLabelText(kGroupCountLabel, {});
            panel.SetLabelText(kComputerCountLabel, {});
        });
        if (scan.shared->shellFill)
            scan.shared->shellFill(
                [&scan](const std::function<void(NetworkPanel&)>& work) { OnPanel(scan, work); });
    }
    scan.shared->scannedOnce.store(1);
    scan.shared->scanning.store(0);
    SetStatus(scan, std::string(LoadString(kScanComplete)));
}

std::uint32_t NetworkScanner::Enumerate(platform::NetworkProvider& provider,
                                        const platform::NetResource& container,
                                        std::vector<platform::NetResource>& entries,
                                        std::uint32_t& openResult) {
    std::unique_ptr<platform::ResourceEnumeration> enumeration;
    openResult = provider.OpenEnum(platform::kResourceGlobalNet, platform::kResourceTypeAny, 0,
                                   &container, enumeration);
    if (openResult != platform::kNetNoError)
        return openResult;
    // One call, and one more with the size the provider asks for when the buffer was too
    // small; whatever does not come with that call is not listed.
    std::uint32_t count = platform::kEnumerateAll;
    std::size_t size = kEnumerationBufferBytes;
    std::uint32_t result = enumeration->EnumResource(count, size, entries);
    if (size > kEnumerationBufferBytes) {
        count = platform::kEnumerateAll;
        result = enumeration->EnumResource(count, size, entries);
    }
    return result;
}

void NetworkScanner::EnumerateGroups(Scan& scan) {
    SetStatus(scan, std::string(LoadString(kEnumerateGroups)));
    platform::NetResource container;
    container.scope = platform::kResourceGlobalNet;
    container.type = platform::kResourceTypeAny;
    container.displayType = platform::kDisplayNetwork;
    container.usage = platform::kUsageContainer;
    container.comment = scan.providerText;
    container.provider = scan.providerText;
    std::vector<platform::NetResource> entries;
    std::uint32_t opened = 0;
    const std::uint32_t result = Enumerate(*scan.provider, container, entries, opened);
    if (result == platform::kNetNoError) {
        for (const platform::NetResource& entry : entries) {
            if (entry.displayType != platform::kDisplayDomain &&
                entry.displayType != platform::kDisplayGroup)
                continue;
            ++scan.groupCount;
            ShowCounters(scan);
            OnPanel(scan, [&](NetworkPanel& panel) {
                panel.InsertSorted(NetworkPanel::kNoItem, entry.remoteName, kGroupImage);
            });
        }
    }
    SetStatus(scan, std::string(LoadString(result == platform::kNetNoError &&
                                                   opened == platform::kNetNoError
                                               ? kDone
                                               : kWeHaveErrors)));
}

void NetworkScanner::EnumerateMachines(Scan& scan, const std::string& group,
                                       NetworkPanel::Item groupItem) {
    SetStatus(scan, std::string(LoadString(kLook)) + group + " ...");
    platform::NetResource container;
    container.scope = platform::kResourceGlobalNet;
    container.type = platform::kResourceTypeAny;
    container.displayType = platform::kDisplayGroup;
    container.usage = platform::kUsageContainer;
    container.remoteName = group;
    std::vector<platform::NetResource> entries;
    std::uint32_t opened = 0;
    const std::uint32_t result = Enumerate(*scan.provider, container, entries, opened);
    if (result == platform::kNetNoError) {
        for (const platform::NetResource& entry : entries) {
            if (entry.displayType != platform::kDisplayServer)
                continue;
            // Servers come as "\\NAME"; the tree shows the bare name.
            const std::string name =
                entry.remoteName.size() > 2 ? entry.remoteName.substr(2) : std::string();
            OnPanel(scan, [&](NetworkPanel& panel) {
                panel.InsertSorted(groupItem, name, kComputerImage);
            });
            ++scan.computerCount;
            ShowCounters(scan);
        }
    }
    SetStatus(scan, std::string(LoadString(result == platform::kNetNoError &&
                                                   opened == platform::kNetNoError
                                               ? kDone
                                               : kWeHaveErrors)));
}

int NetworkScanner::CollectCheckedNames(std::vector<std::string>& list) const {
    if (m_panel == nullptr)
        return 0;
    const NetworkPanel& panel = *m_panel;
    // Only mode 1 has the provider's two levels; every other mode walks the shell tree.
    if (mode != 1)
        return CollectShellCheckedNames(panel, list);
    for (auto group = panel.FirstChild(NetworkPanel::kNoItem); group != NetworkPanel::kNoItem;
         group = panel.NextSibling(group)) {
        if (panel.IsChecked(group))
            list.push_back(panel.ItemText(group));
        for (auto child = panel.FirstChild(group); child != NetworkPanel::kNoItem;
             child = panel.NextSibling(child)) {
            if (panel.IsChecked(child))
                list.push_back(panel.ItemText(child));
        }
    }
    return 0;
}

int NetworkScanner::ClearChecks() {
    if (m_panel == nullptr)
        return 0;
    NetworkPanel& panel = *m_panel;
    // Only mode 1 has the provider's two levels; every other mode walks the shell tree.
    if (mode != 1)
        return ClearShellChecks(panel);
    for (auto group = panel.FirstChild(NetworkPanel::kNoItem); group != NetworkPanel::kNoItem;
         group = panel.NextSibling(group)) {
        panel.SetChecked(group, false);
        for (auto child = panel.FirstChild(group); child != NetworkPanel::kNoItem;
             child = panel.NextSibling(child))
            panel.SetChecked(child, false);
    }
    return 0;
}

std::optional<std::string> NetworkScanner::SelectedRecipient(NetworkPanel::Item item) const {
    if (IsScanning() == 1 || m_panel == nullptr || item == NetworkPanel::kNoItem)
        return std::nullopt;
    if (mode != 1)
        return ShellRecipientForSelection(*m_panel, item);
    return std::string(FirstCharacters(m_panel->ItemText(item), kSelectedTextLimit));
}

int NetworkScanner::ExpandShellItem(NetworkPanel::Item item) {
    if (mode != 0 || !m_shell)
        return 0;
    return m_shell->rules.ExpandShellItem(item);
}

int NetworkScanner::ShowShellContextMenu(const ShellTreeControl::HitTest& hit) {
    if (mode != 0 || !m_shell)
        return 0;
    return m_shell->rules.ShowShellContextMenu(hit);
}

int NetworkScanner::StopMessengerService(int exitFlag) {
    return m_service.StopMessengerService(platformRecord, warnings, exitFlag);
}

} // namespace kestrola::core

#pragma once

#include "RecordingReportSink.h"
#include "TempDir.h"
#include "fakes/FakeMainView.h"
#include "fakes/FakeRecipientNetwork.h"
#include "fakes/FixedClock.h"
#include "fakes/LoopbackNetwork.h"
#include "fakes/RecordingNotifications.h"
#include "fakes/RecordingShell.h"
#include "fakes/RecordingSound.h"
#include "messaging/DatagramCodec.h"
#include "platform/linux/LinuxCodePage.h"
#include "settings/IniProfileStore.h"
#include "settings/SystemColors.h"
#include "store/BaseFormat.h"
#include "window/MainWindow.h"

#include <memory>
#include <string>
#include <tuple>
#include <vector>

namespace kestrola::testing {

/// The main window's rules on in-memory surroundings: INI store and base in a fresh folder,
/// a fixed clock, a loopback network where we are PC1 (WORKGROUP) beside PC2 (WORKGROUP) and
/// PC3 (OTHERGRP), and recording fakes; view and network log into one `log`.
class MainWindowHarness {
public:
    using Settings = std::vector<std::tuple<std::string, std::string, int>>;
    MainWindowHarness() {
        Set("SystemSettings", "CurrentVersion", "1.0");
        Set("SendRecervieSettings", "BaseFileName", basePath);
        Set("SendRecervieSettings", "HistoryFileName", historyPath);
        network.log = view.log = log;
    }
    ~MainWindowHarness() {
        if (window)
            window->Destroy();
    }
    void Set(const std::string& section, const std::string& key, const std::string& value) {
        store->WriteString(section, key, value);
    }
    void Set(const std::string& section, const std::string& key, int value) {
        store->WriteInt(section, key, value);
    }
    /// Writes `settings`, builds the window (reading them) and runs its initialisation; false
    /// when that ends the run.
    bool Start(const Settings& settings = {}) {
        for (const auto& [section, key, value] : settings)
            Set(section, key, value);
        window = std::make_unique<core::MainWindow>(Services(), view);
        view.onEdited = [this] { window->OnTextsEdited(); };
        view.onExpansion = [this](bool expanded) { window->OnExpansionChanged(expanded); };
        return window->Initialise();
    }
    /// Ends the window as the program does (settings saved) and starts a new one.
    bool Restart() {
        window->Destroy();
        window.reset();
        view = FakeMainView();
        view.log = log;
        return Start();
    }
    core::MainWindowServices Services() {
        return {*store, colors, *codePage, clock,    *pc1,
                shell,  sound,  network,   makeBase, &notifications};
    }
    /// Sends `text` from `from` to `target` as another program would.
    void Arrive(platform::testing::LoopbackNetwork::Host& from, const std::string& target,
                const std::string& text) {
        std::size_t written = 0;
        from.WriteMailslot(
            "\\\\" + target + "\\mailslot\\messngr",
            core::EncodeDatagram(*codePage, from.Identity().computerName, target, text), written);
    }
    void ArriveRaw(const std::string& bytes) { pc1->Deliver("MESSNGR", bytes, {}); }
    core::ReceiveOutcome Tick() { return window->OnPollTimer(); }
    /// One stored record; `state` 0 is new.
    std::string Record(const std::string& from, const std::string& to, const std::string& text,
                       std::uint8_t state = 1, const std::string& stamp = "09:05:07 , 06/12/2005") {
        core::MessageRecord r;
        r.SetBody(core::EncodeDatagram(*codePage, from, to, text));
        r.state = state;
        std::copy(stamp.begin(), stamp.end(), r.stamp.begin());
        return core::EncodeRecord(r);
    }
    /// "position counters viewer text".
    std::string Shown() {
        return view.labels[core::kPositionLabel] + " " + view.labels[core::kCountersLabel] + " " +
               view.viewer;
    }

    TempDir dir;
    std::string storePath = dir.File("kestrola-net.INI");
    std::string basePath = dir.File("base.msg");
    std::string historyPath = dir.File("history.txt");
    std::unique_ptr<core::IniProfileStore> store =
        std::make_unique<core::IniProfileStore>(storePath);
    core::ClassicSystemColors colors;
    std::unique_ptr<platform::CodePage> codePage = platform::LinuxCodePage::Create(437);
    platform::testing::FixedClock clock{{2006, 1, 6, 14, 3, 9}};
    std::shared_ptr<platform::testing::LoopbackNetwork> lan =
        platform::testing::LoopbackNetwork::Create();
    std::shared_ptr<platform::testing::LoopbackNetwork::Host> pc1 =
        lan->AddHost("PC1", "WORKGROUP");
    std::shared_ptr<platform::testing::LoopbackNetwork::Host> pc2 =
        lan->AddHost("PC2", "WORKGROUP");
    std::shared_ptr<platform::testing::LoopbackNetwork::Host> pc3 = lan->AddHost("PC3", "OTHERGRP");
    platform::testing::RecordingShell shell;
    platform::testing::RecordingSound sound;
    platform::testing::RecordingNotifications notifications;
    FakeRecipientNetwork network;
    FakeMainView view;
    std::shared_ptr<std::vector<std::string>> log = std::make_shared<std::vector<std::string>>();
    decltype(core::MainWindowServices::makeBase) makeBase;
    RecordingReportSink reports;
    std::unique_ptr<core::MainWindow> window;
};

} // namespace kestrola::testing

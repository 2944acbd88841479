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
#include "window/MainWindow.h"

#include <memory>
#include <string>
#include <vector>

namespace kestrola::testing {

/// The main window's rules on in-memory surroundings: an INI store and a base in a fresh
/// folder, a fixed clock, a loopback network where our computer is PC1 (WORKGROUP) beside PC2
/// (WORKGROUP) and PC3 (OTHERGRP), and recording fakes for the view, sounds and the shell.
class MainWindowHarness {
public:
    MainWindowHarness() {
        Set("SystemSettings", "CurrentVersion", "1.0");
        Set("SendRecervieSettings", "BaseFileName", basePath);
        Set("SendRecervieSettings", "HistoryFileName", historyPath);
        network.log = log;
        view.log = log;
    }
    ~MainWindowHarness() {
        if (window)
            window->Destroy();
    }

    /// Writes one setting into the store before the window reads them.
    void Set(const std::string& section, const std::string& key, const std::string& value) {
        store->WriteString(section, key, value);
    }
    void Set(const std::string& section, const std::string& key, int value) {
        store->WriteInt(section, key, value);
    }

    /// Builds the window (reading the settings) and runs its initialisation.
    core::MainWindow& Start() {
        window = std::make_unique<core::MainWindow>(Services(), view);
        view.onEdited = [this] { window->OnTextsEdited(); };
        view.onExpansion = [this](bool expanded) { window->OnExpansionChanged(expanded); };
        initialised = window->Initialise();
        return *window;
    }
    /// Ends the window as the program does (settings saved) and starts a new one.
    core::MainWindow& Restart() {
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
        const std::string bytes =
            core::EncodeDatagram(*codePage, from.Identity().computerName, target, text);
        std::size_t written = 0;
        from.WriteMailslot("\\\\" + target + "\\mailslot\\messngr", bytes, written);
    }
    /// Delivers raw bytes into PC1's messenger mailslot.
    void ArriveRaw(const std::string& bytes) { pc1->Deliver("MESSNGR", bytes, {}); }

    /// Runs poll ticks until one takes a datagram in (at most `ticks`); its outcome.
    core::ReceiveOutcome Tick() { return window->OnPollTimer(); }

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
    bool initialised = false;
};

} // namespace kestrola::testing

#include "network/NetworkScanner.h"

#include "QueueDispatcher.h"
#include "RecordingReportSink.h"
#include "base/StatusTexts.h"
#include "fakes/FakeNetworkPanel.h"
#include "fakes/FakeNetworkProvider.h"
#include "platform/linux/LinuxCodePage.h"

#include <gtest/gtest.h>

namespace kestrola::core {
namespace {

using namespace std::chrono_literals;
using platform::testing::FakeNetworkProvider;
using testing::FakeNetworkPanel;
using testing::QueueDispatcher;

// A scanner on a fake provider and panel; the test's thread is the user-interface thread.
struct Fixture {
    std::shared_ptr<FakeNetworkProvider> provider = std::make_shared<FakeNetworkProvider>();
    FakeNetworkPanel panel;
    std::shared_ptr<QueueDispatcher> dispatcher = std::make_shared<QueueDispatcher>();
    std::unique_ptr<NetworkScanner> scanner;

    explicit Fixture(int mode = 1) {
        scanner = std::make_unique<NetworkScanner>(
            provider,
            std::shared_ptr<const platform::CodePage>(platform::LinuxCodePage::Create(850)));
        scanner->mode = mode;
        scanner->SetPanel(&panel, dispatcher);
    }

    // Starts a scan and carries out its hand-overs until it has finished.
    void Scan() {
        ASSERT_TRUE(scanner->LookUpProvider());
        panel.log.clear();
        scanner->StartScan();
        ASSERT_TRUE(dispatcher->PumpUntil(
            [&] { return !panel.log.empty() && panel.log.back() == "1218 Scan complete"; }));
        EXPECT_EQ(scanner->IsScanning(), 0);
    }
};

TEST(NetworkScannerTest, LookUpProviderTakesTheFirstEntrysProvider) {
    Fixture f;
    f.provider->top.entries.insert(f.provider->top.entries.begin(),
                                   {2, 1, platform::kDisplayNetwork, 2, {}, "First", {}, "First"});
    testing::RecordingReportSink sink;
    EXPECT_TRUE(f.scanner->LookUpProvider());
    EXPECT_EQ(f.scanner->ProviderName(), "First");
    EXPECT_TRUE(sink.ids.empty());
}

TEST(NetworkScannerTest, LookUpProviderFailsWith1286) {
    struct Case {
        std::string what;
        std::function<void(FakeNetworkProvider&)> arrange;
    };
    const Case cases[] = {
        {"open fails",
         [](FakeNetworkProvider& p) { p.top.openError = platform::kNetErrorNoNetwork; }},
        {"enumeration fails",
         [](FakeNetworkProvider& p) { p.top.enumError = platform::kNetErrorNoNetwork; }},
        {"nothing listed", [](FakeNetworkProvider& p) { p.top.entries.clear(); }}};
    for (const Case& c : cases) {
        Fixture f;
        c.arrange(*f.provider);
        testing::RecordingReportSink sink;
        EXPECT_FALSE(f.scanner->LookUpProvider()) << c.what;
        EXPECT_EQ(sink.ids, std::vector<int>{kGetNetworkProviderFailed}) << c.what;
        EXPECT_EQ(f.scanner->ProviderName(), "") << c.what;
    }
}

TEST(NetworkScannerTest, InitTreeByMode) {
    for (const int mode : {1, 0, 2}) {
        Fixture f(mode);
        f.provider->computerName = std::string(31, 'x') + "äöü";
        f.scanner->InitTree();
        const std::vector<std::string> expected =
            mode == 1 ? std::vector<std::string>{"system images", "delete all", "own images",
                                                 "use own images"}
                      : std::vector<std::string>{"system images", "delete all", "own images"};
        EXPECT_EQ(f.panel.log, expected) << mode;
        EXPECT_EQ(f.panel.ownIcons, (std::vector<int>{278, 277})) << "computer 0, group 1";
        EXPECT_EQ(f.scanner->LocalName(), std::string(31, 'x') + "ä") << "32 characters at most";
        EXPECT_EQ(f.scanner->LocalNameUpper(), std::string(31, 'X') + "Ä");
    }
}

TEST(NetworkScannerTest, AProviderScanStepByStep) {
    Fixture f;
    f.provider->AddGroup("WORKGROUP", {"PC2", "pc1"});
    f.provider->AddGroup("ACCOUNTS", {"BOOKS"}, platform::kDisplayDomain);
    f.Scan();
    EXPECT_EQ(f.panel.log, (std::vector<std::string>{"delete all",
                                                     "1218 Enumerate Groups...",
                                                     "1219 Groups: 1",
                                                     "1220 Computers: 0",
                                                     "insert WORKGROUP",
                                                     "1219 Groups: 2",
                                                     "1220 Computers: 0",
                                                     "insert ACCOUNTS",
                                                     "1218 Done...",
                                                     "1218 Look ACCOUNTS ...",
                                                     "insert ACCOUNTS/BOOKS",
                                                     "1219 Groups: 2",
                                                     "1220 Computers: 1",
                                                     "1218 Done...",
                                                     "1218 Look WORKGROUP ...",
                                                     "insert WORKGROUP/PC2",
                                                     "1219 Groups: 2",
                                                     "1220 Computers: 2",
                                                     "insert WORKGROUP/pc1",
                                                     "1219 Groups: 2",
                                                     "1220 Computers: 3",
                                                     "1218 Done...",
                                                     "1218 Scan complete"}));
    EXPECT_EQ(f.panel.Lines(), (std::vector<std::string>{"ACCOUNTS", "ACCOUNTS/BOOKS", "WORKGROUP",
                                                         "WORKGROUP/pc1", "WORKGROUP/PC2"}));
    EXPECT_EQ(f.panel.foreignCalls, 0) << "the scan thread touched the panel itself";
    EXPECT_EQ(f.provider->Opened(),
              (std::vector<std::string>{"top", "groups Fake Network", "group ACCOUNTS",
                                        "group WORKGROUP"}));
    EXPECT_EQ(f.scanner->HasScanned(), 1);
    const NetworkPanel::Item group = f.panel.Find("WORKGROUP");
    EXPECT_EQ(reinterpret_cast<FakeNetworkPanel::Node*>(group)->image, kGroupImage);
    EXPECT_EQ(reinterpret_cast<FakeNetworkPanel::Node*>(f.panel.Find("WORKGROUP/pc1"))->image,
              kComputerImage);
}

TEST(NetworkScannerTest, FailedEnumerationsLeaveWhatTheyInsertedAndTheScanGoesOn) {
    struct Case {
        std::string what;
        std::function<void(FakeNetworkProvider&)> arrange;
        std::vector<std::string> tree;
        std::vector<std::string> statuses;
    };
    const auto setUp = [](FakeNetworkProvider& p) {
        p.AddGroup("ALPHA", {"A1"});
        p.AddGroup("BETA", {"B1"});
    };
    const Case cases[] = {
        {"groups cannot be opened",
         [](FakeNetworkProvider& p) { p.groups.openError = platform::kNetErrorNoNetwork; },
         {},
         {"Enumerate Groups...", "We have errors...", "Scan complete"}},
        {"groups cannot be enumerated",
         [](FakeNetworkProvider& p) { p.groups.enumError = platform::kNetErrorNoNetwork; },
         {},
         {"Enumerate Groups...", "We have errors...", "Scan complete"}},
        {"one group cannot be opened",
         [](FakeNetworkProvider& p) { p.members["ALPHA"].openError = 6118; },
         {"ALPHA", "BETA", "BETA/B1"},
         {"Enumerate Groups...", "Done...", "Look ALPHA ...", "We have errors...", "Look BETA ...",
          "Done...", "Scan complete"}},
        {"one group cannot be enumerated",
         [](FakeNetworkProvider& p) { p.members["BETA"].enumError = 6118; },
         {"ALPHA", "ALPHA/A1", "BETA"},
         {"Enumerate Groups...", "Done...", "Look ALPHA ...", "Done...", "Look BETA ...",
          "We have errors...", "Scan complete"}},
        {"a group without computers",
         [](FakeNetworkProvider& p) { p.members["BETA"].entries.clear(); },
         {"ALPHA", "ALPHA/A1", "BETA"},
         {"Enumerate Groups...", "Done...", "Look ALPHA ...", "Done...", "Look BETA ...",
          "We have errors...", "Scan complete"}}};
    for (const Case& c : cases) {
        Fixture f;
        setUp(*f.provider);
        c.arrange(*f.provider);
        f.Scan();
        EXPECT_EQ(f.panel.Lines(), c.tree) << c.what;
        std::vector<std::string> statuses;
        for (const std::string& line : f.panel.log) {
            if (line.rfind("1218 ", 0) == 0)
                statuses.push_back(line.substr(5));
        }
        EXPECT_EQ(statuses, c.statuses) << c.what;
    }
}

TEST(NetworkScannerTest, ANetworkWithoutGroupsLeavesTheCountersAlone) {
    Fixture f;
    f.panel.SetLabelText(kGroupCountLabel, "Groups: 0");
    f.panel.SetLabelText(kComputerCountLabel, "Machines:  0");
    f.Scan();
    EXPECT_TRUE(f.panel.Lines().empty());
    EXPECT_EQ(f.panel.labels[kGroupCountLabel], "Groups: 0");
    EXPECT_EQ(f.panel.labels[kComputerCountLabel], "Machines:  0");
    EXPECT_EQ(f.panel.labels[kScanStatusLabel], "Scan complete");
}

TEST(NetworkScannerTest, OnlyWhatTheFirstCallBringsIsListed) {
    Fixture f;
    std::vector<std::string> many;
    for (int i = 0; i < 400; ++i)
        many.push_back("PC" + std::to_string(1000 + i));
    f.provider->AddGroup("BIG", many);
    // A name so long that one entry does not fit 16 KiB: the scan asks again with the size the
    // provider names.
    f.provider->AddGroup("HUGE", {std::string(20000, 'H')});
    f.Scan();
    const std::size_t each = platform::EnumeratedSize(f.provider->members["BIG"].entries.front());
    const std::size_t fit = NetworkScanner::kEnumerationBufferBytes / each;
    ASSERT_LT(fit, many.size());
    std::size_t listed = 0;
    for (const std::string& line : f.panel.Lines())
        listed += line.rfind("BIG/", 0) == 0 ? 1 : 0;
    EXPECT_EQ(listed, fit);
    EXPECT_NE(f.panel.Find("BIG/PC1000"), NetworkPanel::kNoItem);
    EXPECT_EQ(f.panel.Find("BIG/PC1399"), NetworkPanel::kNoItem);
    EXPECT_NE(f.panel.Find("HUGE/" + std::string(20000, 'H')), NetworkPanel::kNoItem);
}

TEST(NetworkScannerTest, AServerNameLosesItsFirstTwoCharactersAndOtherKindsAreSkipped) {
    Fixture f;
    f.provider->AddGroup("WG", {});
    for (const char* remote : {"\\\\PC1", "xxPC2", "\\\\", "\\"})
        f.provider->members["WG"].entries.push_back(
            {2, 0, platform::kDisplayServer, 2, {}, remote, {}, "Fake Network"});
    for (auto* list : {&f.provider->groups, &f.provider->members["WG"]}) {
        list->entries.push_back({2, 0, platform::kDisplayShare, 1, {}, "\\\\PC1\\x", {}, "N"});
        list->entries.push_back({2, 0, platform::kDisplayGeneric, 2, {}, "Other", {}, "N"});
    }
    f.provider->members["WG"].entries.push_back(
        {2, 0, platform::kDisplayGroup, 2, {}, "NESTED", {}, "N"});
    f.Scan();
    EXPECT_EQ(f.panel.Lines(), (std::vector<std::string>{"WG", "WG/", "WG/", "WG/PC1", "WG/PC2"}));
}

TEST(NetworkScannerTest, AShellScanFillsThroughTheHandOver) {
    Fixture f(0);
    std::thread::id fillThread;
    f.scanner->SetShellFill([&](const NetworkScanner::PanelCall& onPanel) {
        fillThread = std::this_thread::get_id();
        onPanel([](NetworkPanel& panel) {
            panel.InsertSorted(NetworkPanel::kNoItem, "Entire Network", 0);
        });
    });
    f.Scan();
    EXPECT_NE(fillThread, std::this_thread::get_id()) << "the filling runs on the scan thread";
    EXPECT_EQ(f.panel.log,
              (std::vector<std::string>{"delete all", "1218 Scanning...", "1219 ", "1220 ",
                                        "insert Entire Network", "1218 Scan complete"}));
    EXPECT_EQ(f.provider->Opened(), std::vector<std::string>{"top"}) << "the provider is not asked";
    EXPECT_EQ(f.panel.foreignCalls, 0);
}

TEST(NetworkScannerTest, ASecondStartWhileScanningDoesNothing) {
    Fixture f;
    f.provider->AddGroup("WG", {"PC1"});
    ASSERT_TRUE(f.scanner->LookUpProvider());
    f.provider->Hold();
    f.scanner->StartScan();
    ASSERT_TRUE(f.dispatcher->PumpUntil([&] { return f.provider->Waiting(); }));
    EXPECT_EQ(f.scanner->IsScanning(), 1);
    EXPECT_EQ(f.scanner->HasScanned(), 0);
    f.scanner->StartScan();
    f.provider->Release();
    ASSERT_TRUE(f.dispatcher->PumpUntil([&] { return f.scanner->IsScanning() == 0; }));
    f.dispatcher->PumpUntil([] { return false; }, 200ms);
    EXPECT_EQ(f.provider->Opened(),
              (std::vector<std::string>{"top", "groups Fake Network", "group WG"}));
    f.scanner->StartScan();
    ASSERT_TRUE(f.dispatcher->PumpUntil([&] { return f.provider->Opened().size() == 5; }));
    ASSERT_TRUE(f.dispatcher->PumpUntil([&] { return f.scanner->IsScanning() == 0; }));
    f.dispatcher->PumpUntil([] { return false; }, 200ms);
    EXPECT_EQ(f.panel.Lines(), (std::vector<std::string>{"WG", "WG/PC1"})) << "one tree, not two";
}

TEST(NetworkScannerTest, AScanOutlivingItsScannerLeavesThePanelAlone) {
    Fixture f;
    f.provider->AddGroup("WG", {"PC1"});
    ASSERT_TRUE(f.scanner->LookUpProvider());
    f.provider->Hold();
    f.scanner->StartScan();
    ASSERT_TRUE(f.dispatcher->PumpUntil([&] { return f.provider->Waiting(); }));
    const std::size_t before = f.panel.log.size();
    const int handedOver = f.dispatcher->Ran();
    f.scanner.reset();
    f.provider->Release();
    // The thread goes on to its end, but without a panel it has no groups to walk.
    f.dispatcher->PumpUntil([] { return false; }, 300ms);
    EXPECT_EQ(f.panel.log.size(), before);
    EXPECT_GT(f.dispatcher->Ran(), handedOver) << "the thread still handed its steps over";
    EXPECT_EQ(f.provider->Opened(), (std::vector<std::string>{"top", "groups Fake Network"}));
}

// Tree of the shell mode: the first root item holds the network's groups, with theirs below.
void FillShellTree(FakeNetworkPanel& panel) {
    const auto net = panel.InsertSorted(NetworkPanel::kNoItem, "A Entire Network", 0);
    panel.InsertSorted(NetworkPanel::kNoItem, "B Home", 0);
    panel.InsertSorted(NetworkPanel::kNoItem, "C Office", 0);
    const auto wg = panel.InsertSorted(net, "WORKGROUP", 0);
    panel.InsertSorted(wg, "PC1", 0);
    panel.InsertSorted(wg, "PC2", 0);
    panel.InsertSorted(net, "SALES", 0);
}

TEST(NetworkScannerTest, CheckedNamesAndClearingByMode) {
    struct Case {
        int mode;
        std::vector<std::string> checked;
        std::vector<std::string> collected;
        std::vector<std::string> stillChecked; // after ClearChecks
    };
    const Case cases[] = {
        {1,
         {"A Entire Network", "C Office", "A Entire Network/SALES", "A Entire Network/WORKGROUP"},
         {"A Entire Network", "A Entire Network/SALES", "A Entire Network/WORKGROUP", "C Office"},
         {}},
        // The shell tree: the first root item is never collected nor unchecked; its later
        // siblings come first, then its children each followed by theirs.
        {0,
         {"A Entire Network", "C Office", "A Entire Network/SALES", "A Entire Network/WORKGROUP",
          "A Entire Network/WORKGROUP/PC2"},
         {"C Office", "A Entire Network/SALES", "A Entire Network/WORKGROUP",
          "A Entire Network/WORKGROUP/PC2"},
         {"A Entire Network"}},
        {2, {"A Entire Network", "B Home"}, {"B Home"}, {"A Entire Network"}}};
    for (const Case& c : cases) {
        Fixture f(c.mode);
        FillShellTree(f.panel);
        for (const std::string& path : c.checked)
            f.panel.SetChecked(f.panel.Find(path), true);
        std::vector<std::string> names{"typed"};
        EXPECT_EQ(f.scanner->CollectCheckedNames(names), 0);
        std::vector<std::string> expected{"typed"};
        for (const std::string& path : c.collected)
            expected.push_back(path.substr(path.rfind('/') + 1));
        EXPECT_EQ(names, expected) << c.mode;
        EXPECT_EQ(f.scanner->ClearChecks(), 0);
        std::vector<std::string> still;
        for (const std::string& path : c.checked) {
            if (f.panel.IsChecked(f.panel.Find(path)))
                still.push_back(path);
        }
        EXPECT_EQ(still, c.stillChecked) << c.mode;
    }
}

TEST(NetworkScannerTest, TheSelectedItemAsRecipient) {
    for (const int mode : {1, 0}) {
        Fixture f(mode);
        FillShellTree(f.panel);
        const auto first = f.panel.Find("A Entire Network");
        const auto pc = f.panel.Find("A Entire Network/WORKGROUP/PC1");
        EXPECT_EQ(f.scanner->SelectedRecipient(first),
                  mode == 1 ? std::optional<std::string>("A Entire Network") : std::nullopt);
        EXPECT_EQ(f.scanner->SelectedRecipient(pc), std::optional<std::string>("PC1"));
        EXPECT_EQ(f.scanner->SelectedRecipient(NetworkPanel::kNoItem), std::nullopt);
    }
    Fixture f;
    const auto long1 = f.panel.InsertSorted(NetworkPanel::kNoItem, std::string(30, 'x') + "äöü", 0);
    EXPECT_EQ(f.scanner->SelectedRecipient(long1), std::string(30, 'x') + "ä");
}

TEST(NetworkScannerTest, TreeOrderComparesLettersWithoutCase) {
    struct Case {
        std::vector<std::string> siblings;
        std::string text;
        std::size_t at;
    };
    const Case cases[] = {
        {{}, "A", 0},
        {{"alpha", "Charlie"}, "BRAVO", 1},
        {{"alpha", "Charlie"}, "delta", 2},
        {{"PC", "pc"}, "Pc", 2},             // after its equals
        {{"PC1", "PC10", "PC2"}, "PC11", 2}, // texts, not numbers
        {{"A_B"}, "AB", 0},                  // '_' (0x5F) sorts after 'B'
        {{"ÄRGER", "ZORN"}, "ANGST", 0}      // other bytes by value, after ASCII
    };
    for (const Case& c : cases)
        EXPECT_EQ(SortedInsertIndex(c.siblings, c.text), c.at) << c.text;
}

} // namespace
} // namespace kestrola::core

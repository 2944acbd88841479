#include "network/MessengerServiceControl.h"

#include "RecordingReportSink.h"
#include "base/StatusTexts.h"
#include "platform/Platform.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <optional>

namespace kestrola::core {
namespace {

using namespace std::chrono_literals;

// A service control manager holding one Messenger service whose behaviour the test sets.
struct ScriptedServices {
    bool managerOpens = true;
    bool serviceOpens = true;
    std::uint32_t state = platform::kServiceRunning;
    bool queryFails = false;
    bool stopRefused = false;
    std::uint32_t refusalError = 0; // what the manager reports after a refusal
    int queriesUntilStopped = 1;    // status queries after the stop until it reads stopped
    std::uint32_t requiredForStop = platform::kServiceStop;

    std::vector<std::string> calls;
    std::optional<std::uint32_t> managerAccess;
    std::optional<std::uint32_t> serviceAccess;
    int queries = 0;
    int pauses = 0;
    std::vector<std::string> questions;
    bool answer = true;

    class Service : public platform::ServiceHandle {
    public:
        Service(ScriptedServices& s, std::uint32_t access) : m_s(s), m_access(access) {}
        ~Service() override { m_s.calls.push_back("close service"); }
        bool QueryServiceStatus(std::uint32_t& current) override {
            ++m_s.queries;
            if (m_s.queryFails)
                return false;
            if (m_stopping > 0 && --m_stopping == 0)
                m_s.state = platform::kServiceStopped;
            current = m_s.state;
            return true;
        }
        bool ControlService(std::uint32_t control, std::uint32_t& current) override {
            m_s.calls.push_back("stop");
            EXPECT_EQ(control, platform::kServiceControlStop);
            if (m_s.stopRefused || (m_access & m_s.requiredForStop) == 0) {
                m_s.lastError = m_s.refusalError;
                return false;
            }
            m_stopping = m_s.queriesUntilStopped;
            m_s.state = platform::kServiceStopPending;
            current = m_s.state;
            return true;
        }

    private:
        ScriptedServices& m_s;
        std::uint32_t m_access;
        int m_stopping = 0;
    };

    class Manager : public platform::ServiceManager {
    public:
        explicit Manager(ScriptedServices& s) : m_s(s) {}
        ~Manager() override { m_s.calls.push_back("close manager"); }
        std::unique_ptr<platform::ServiceHandle> OpenService(const std::string& name,
                                                             std::uint32_t access) override {
            EXPECT_EQ(name, "Messenger");
            m_s.serviceAccess = access;
            if (!m_s.serviceOpens)
                return nullptr;
            return std::make_unique<Service>(m_s, access);
        }
        std::uint32_t LastError() const override { return m_s.lastError; }

    private:
        ScriptedServices& m_s;
    };

    std::uint32_t lastError = 0;

    MessengerServiceControl Control() {
        MessengerServiceControl control;
        control.openManager =
            [this](std::uint32_t access) -> std::unique_ptr<platform::ServiceManager> {
            managerAccess = access;
            if (!managerOpens)
                return nullptr;
            return std::make_unique<Manager>(*this);
        };
        control.askYesNo = [this](std::string_view question) {
            questions.emplace_back(question);
            return answer;
        };
        control.sleep = [this](std::chrono::milliseconds pause) {
            EXPECT_EQ(pause, 1000ms);
            ++pauses;
        };
        return control;
    }
};

const platform::PlatformVersion kNt{5, 1, 2600, platform::kPlatformWin32Nt, "Service Pack 2"};

TEST(MessengerServiceControlTest, StartUpCases) {
    using S = ScriptedServices;
    const struct {
        const char* what;
        void (*arrange)(S&);
        int warnings, result;
        bool asked;
        const char* text; // reported through the error notice
        bool stopRequested;
    } cases[] = {
        {"running, no warnings: stopped without a question", [](S&) {}, 0, 1, false, "", true},
        {"warnings and Yes", [](S&) {}, 1, 1, true, "", true},
        {"warnings and No", [](S& s) { s.answer = false; }, 1, 0, true, "", false},
        {"already stopped", [](S& s) { s.state = platform::kServiceStopped; }, 1, 0, false, "",
         false},
        {"paused is left alone", [](S& s) { s.state = platform::kServicePaused; }, 0, 0, false, "",
         false},
        {"no service manager", [](S& s) { s.managerOpens = false; }, 1, 0, false, "", false},
        {"no Messenger service", [](S& s) { s.serviceOpens = false; }, 1, 0, false, "", false},
        {"status cannot be read", [](S& s) { s.queryFails = true; }, 0, 0, false, "", false},
        {"access denied",
         [](S& s) {
             s.stopRefused = true;
             s.refusalError = platform::kErrorAccessDenied;
         },
         0, 0, false, "Error number: 5", true},
        {"refused with another error",
         [](S& s) {
             s.stopRefused = true;
             s.refusalError = 1052;
         },
         0, 0, false, "Error number: 1052", true},
        {"refused without an error number", [](S& s) { s.stopRefused = true; }, 0, 0, false,
         "Error number: 5", true},
        {"still stopping after ten queries", [](S& s) { s.queriesUntilStopped = 100; }, 0, 0, false,
         "Error number: 5", true},
        {"stopped at the tenth query", [](S& s) { s.queriesUntilStopped = 10; }, 0, 1, false, "",
         true}};
    for (const auto& c : cases) {
        ScriptedServices services;
        c.arrange(services);
        MessengerServiceControl control = services.Control();
        testing::RecordingReportSink sink;
        EXPECT_EQ(control.StopMessengerService(&kNt, c.warnings, 0), c.result) << c.what;
        EXPECT_EQ(services.questions, c.asked ? std::vector<std::string>{"Stop Messenger?"}
                                              : std::vector<std::string>{})
            << c.what;
        EXPECT_EQ(sink.texts,
                  *c.text ? std::vector<std::string>{c.text} : std::vector<std::string>{})
            << c.what;
        EXPECT_TRUE(std::all_of(sink.ids.begin(), sink.ids.end(), [](int id) { return id == 0; }))
            << c.what;
        const bool stopped =
            std::find(services.calls.begin(), services.calls.end(), "stop") != services.calls.end();
        EXPECT_EQ(stopped, c.stopRequested) << c.what;
        if (services.managerOpens) {
            EXPECT_EQ(services.managerAccess, platform::kScManagerEnumerateService) << c.what;
            EXPECT_EQ(services.calls.back(), "close manager") << c.what;
        }
        if (services.serviceOpens && services.managerOpens) {
            EXPECT_EQ(services.serviceAccess, 0x24u) << c.what;
            EXPECT_EQ(services.calls[services.calls.size() - 2], "close service") << c.what;
        }
    }
}

TEST(MessengerServiceControlTest, WaitingQueriesAtOnceThenEverySecondTenTimes) {
    struct Case {
        int queriesUntilStopped;
        int result;
        int queries;
        int pauses;
    };
    const Case cases[] = {{1, 1, 1, 0}, {2, 1, 2, 1}, {10, 1, 10, 9}, {11, 0, 10, 10}};
    for (const Case& c : cases) {
        ScriptedServices services;
        MessengerServiceControl control = services.Control();
        ScriptedServices::Service service(services, platform::kServiceStop);
        std::uint32_t state = 0;
        services.queriesUntilStopped = c.queriesUntilStopped;
        ASSERT_TRUE(service.ControlService(platform::kServiceControlStop, state));
        EXPECT_EQ(control.WaitForServiceState(service, platform::kServiceStopped), c.result);
        EXPECT_EQ(services.queries, c.queries) << c.queriesUntilStopped;
        EXPECT_EQ(services.pauses, c.pauses) << c.queriesUntilStopped;
    }
    ScriptedServices failing;
    failing.queryFails = true;
    MessengerServiceControl control = failing.Control();
    ScriptedServices::Service service(failing, 0);
    EXPECT_EQ(control.WaitForServiceState(service, platform::kServiceStopped), 0);
    EXPECT_EQ(failing.pauses, 0) << "a failed query ends the wait";
}

TEST(MessengerServiceControlTest, OnlyTheNtFamilyIsAsked) {
    ScriptedServices services;
    MessengerServiceControl control = services.Control();
    platform::PlatformVersion windows98 = kNt;
    windows98.platformId = platform::kPlatformWin32Windows;
    EXPECT_EQ(control.StopMessengerService(&windows98, 0, 0), 0);
    EXPECT_EQ(control.StopMessengerService(nullptr, 0, 0), 0);
    EXPECT_FALSE(services.managerAccess.has_value());
}

// The call at window destruction asks for the right to start instead of the right to stop, so
// the manager refuses its stop request while the service runs.
TEST(MessengerServiceControlTest, TheExitTimeCallAsksForTheStartRight) {
    ScriptedServices services;
    services.refusalError = platform::kErrorAccessDenied;
    MessengerServiceControl control = services.Control();
    testing::RecordingReportSink sink;
    EXPECT_EQ(control.StopMessengerService(&kNt, 0, 1), 0);
    EXPECT_EQ(services.serviceAccess, 0x14u);
    EXPECT_EQ(sink.texts, std::vector<std::string>{"Error number: 5"});
}

TEST(MessengerServiceControlTest, ThisPlatformHasNoServiceManager) {
    // The real platform: the service control manager cannot be opened, so nothing is asked,
    // stopped or reported, at start-up or at exit.
    MessengerServiceControl control;
    bool asked = false;
    control.askYesNo = [&](std::string_view) { return asked = true; };
    testing::RecordingReportSink sink;
    const platform::PlatformVersion version = platform::GetPlatformVersion();
    EXPECT_EQ(version.platformId, platform::kPlatformWin32Nt);
    EXPECT_EQ(control.StopMessengerService(&version, 1, 0), 0);
    EXPECT_EQ(control.StopMessengerService(&version, 1, 1), 0);
    EXPECT_FALSE(asked);
    EXPECT_TRUE(sink.ids.empty());
}

} // namespace
} // namespace kestrola::core

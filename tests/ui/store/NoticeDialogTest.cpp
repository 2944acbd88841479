#include "store/ui/NoticeDialog.h"

#include "UiTestSupport.h"
#include "base/Reporting.h"
#include "controls/FlatButton.h"
#include "fakes/RecordingShell.h"
#include "messaging/ui/SystemMessage.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QTest>
#include <gtest/gtest.h>

namespace kestrola::ui {
namespace {

using platform::testing::RecordingShell;

// Runs a notice and `action` on it once it shows; returns the notice's result.
int WithNotice(RecordingShell& shell, const QString& text, int seconds,
               const std::function<void(NoticeDialog*)>& action) {
    testing::WhenModal([&](QWidget* modal) {
        auto* notice = qobject_cast<NoticeDialog*>(modal);
        ASSERT_NE(notice, nullptr);
        action(notice);
    });
    return RunNotice(shell, text, seconds);
}

// A countdown closes the notice itself; Enter, Esc or OK end any notice at once, and one
// without a countdown waits for them.
TEST(NoticeDialog, CountdownClosesItselfAndKeysOrOkEndItAtOnce) {
    RecordingShell shell;
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(RunNotice(shell, QStringLiteral("Message was succesful send"), 2), QDialog::Accepted);
    EXPECT_GE(clock.elapsed(), 2000 - 200);
    const struct {
        int seconds;
        Qt::Key key; // Key_unknown: a click on OK
        int result;
        const char* ok;
    } cases[] = {{30, Qt::Key_Enter, QDialog::Accepted, "Closing after: 30 sec"},
                 {30, Qt::Key_Escape, QDialog::Rejected, "Closing after: 30 sec"},
                 {30, Qt::Key_unknown, QDialog::Accepted, "Closing after: 30 sec"},
                 {0, Qt::Key_Return, QDialog::Accepted, "OK"}};
    for (const auto& c : cases) {
        bool stopped = false;
        EXPECT_EQ(WithNotice(shell, QStringLiteral("x"), c.seconds,
                             [&](NoticeDialog* notice) {
                                 EXPECT_EQ(notice->OkButton()->text(), QLatin1String(c.ok));
                                 EXPECT_EQ(notice->TimerRunning(), c.seconds != 0);
                                 if (c.key == Qt::Key_unknown)
                                     QTest::mouseClick(notice->OkButton(), Qt::LeftButton);
                                 else
                                     QTest::keyClick(notice, c.key);
                                 stopped = !notice->TimerRunning() && !notice->isVisible();
                             }),
                  c.result)
            << c.key;
        EXPECT_TRUE(stopped) << c.key;
    }
}

TEST(SystemMessage, ReportedFailuresShowTheirTextInANotice) {
    RecordingShell shell;
    SystemMessageSink sink(shell);
    const std::pair<std::function<void()>, QString> cases[] = {
        {[] { core::ShowSystemMessage(1290); }, QStringLiteral("Error: No right send linght")},
        {[] { core::ShowSystemMessage(1324); }, QString()},
        {[] { core::ShowSystemText("Error number: 5"); }, QStringLiteral("Error number: 5")},
    };
    for (const auto& [report, text] : cases) {
        QString shown = QStringLiteral("(none)");
        testing::WhenModal([&](QWidget* modal) {
            auto* notice = qobject_cast<NoticeDialog*>(modal);
            ASSERT_NE(notice, nullptr);
            shown = notice->MessageLabel()->text();
            QTest::mouseClick(notice->OkButton(), Qt::LeftButton);
        });
        report();
        EXPECT_EQ(shown, text);
    }
}

} // namespace
} // namespace kestrola::ui

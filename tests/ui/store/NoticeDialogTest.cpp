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

TEST(NoticeDialog, WithoutCountdownItStaysUntilOk) {
    RecordingShell shell;
    const QString text = QStringLiteral("You can not send more than 100 symbols.");
    EXPECT_EQ(WithNotice(shell, text, 0,
                         [&](NoticeDialog* notice) {
                             EXPECT_EQ(notice->MessageLabel()->text(), text);
                             QTest::qWait(1100);
                             EXPECT_TRUE(notice->isVisible());
                             QTest::keyClick(notice, Qt::Key_Return);
                         }),
              QDialog::Accepted);
}

TEST(NoticeDialog, CountdownClosesItselfAndKeysOrOkEndItAtOnce) {
    RecordingShell shell;
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(RunNotice(shell, QStringLiteral("Message was succesful send"), 2), QDialog::Accepted);
    EXPECT_GE(clock.elapsed(), 2000 - 200);
    for (const auto& [key, result] :
         {std::pair{Qt::Key_Enter, QDialog::Accepted}, std::pair{Qt::Key_Escape, QDialog::Rejected},
          std::pair{Qt::Key_unknown, QDialog::Accepted}}) {
        bool stopped = false;
        EXPECT_EQ(WithNotice(shell, QStringLiteral("x"), 30,
                             [&, key = key](NoticeDialog* notice) {
                                 EXPECT_EQ(notice->OkButton()->text(),
                                           QStringLiteral("Closing after: 30 sec"));
                                 if (key == Qt::Key_unknown)
                                     QTest::mouseClick(notice->OkButton(), Qt::LeftButton);
                                 else
                                     QTest::keyClick(notice, key);
                                 stopped = !notice->TimerRunning() && !notice->isVisible();
                             }),
                  result)
            << key;
        EXPECT_TRUE(stopped) << key;
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

#include "store/ui/NoticeDialog.h"

#include "UiTestSupport.h"
#include "base/Product.h"
#include "base/Reporting.h"
#include "controls/Conversions.h"
#include "controls/FlatButton.h"
#include "fakes/RecordingShell.h"
#include "messaging/ui/SystemMessage.h"
#include "window/AboutInfo.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QTest>
#include <QTimer>
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
    const QString text =
        QStringLiteral("You can not send more than 100 symbols. Please edit the message.");
    for (const int seconds : {0, -5}) {
        EXPECT_EQ(
            WithNotice(shell, text, seconds,
                       [&](NoticeDialog* notice) {
                           EXPECT_EQ(notice->windowTitle(), QStringLiteral("System message"));
                           EXPECT_FALSE(notice->windowFlags() & Qt::WindowCloseButtonHint);
                           QLabel* label = notice->MessageLabel();
                           EXPECT_EQ(label->text(), text);
                           EXPECT_GE(label->width(), label->fontMetrics().horizontalAdvance(text))
                               << "a long text is shown whole";
                           EXPECT_EQ(notice->OkButton()->text(), QStringLiteral("OK"));
                           EXPECT_FALSE(notice->TimerRunning());
                           QTest::qWait(1100);
                           EXPECT_TRUE(notice->isVisible());
                           QTest::keyClick(notice, Qt::Key_Return);
                       }),
            QDialog::Accepted);
    }
}

TEST(NoticeDialog, CountdownShowsEverySecondAndClosesItself) {
    RecordingShell shell;
    QStringList seen; // every text the OK button shows while the notice is open
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (auto* notice = qobject_cast<NoticeDialog*>(QApplication::activeModalWidget())) {
            if (seen.isEmpty() || seen.back() != notice->OkButton()->text())
                seen << notice->OkButton()->text();
        }
    });
    poll.start(5);
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(RunNotice(shell, QStringLiteral("Message was succesful send"), 2), QDialog::Accepted);
    EXPECT_GE(clock.elapsed(), 2000 - 200) << "never a tick early (coarse timers may be a bit)";
    QStringList expected{"Closing after: 2 sec", "Closing after: 1 sec"};
    if (seen.size() == 3) // the text with 0 stands for an instant only
        expected << QStringLiteral("Closing after: 0 sec");
    EXPECT_EQ(seen, expected);
}

TEST(NoticeDialog, KeysAndOkEndTheCountdownAtOnce) {
    RecordingShell shell;
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

TEST(NoticeDialog, HelpKeyOpensTheHelpFileAndTheCountdownGoesOn) {
    RecordingShell shell;
    shell.result = 2; // no help file: nothing is reported
    WithNotice(shell, QStringLiteral("x"), 2, [&](NoticeDialog* notice) {
        QTest::keyClick(notice, Qt::Key_F1);
        ASSERT_EQ(shell.calls.size(), 1u);
        EXPECT_EQ(shell.calls[0].second,
                  core::HelpFilePath(QCoreApplication::applicationFilePath().toStdString()));
        EXPECT_TRUE(notice->TimerRunning());
        EXPECT_EQ(QApplication::activeModalWidget(), notice) << "no error box followed";
    });
}

TEST(SystemMessage, ReportedFailuresShowTheirTextInANoticeInItsColours) {
    RecordingShell shell;
    SystemMessageSink sink(shell);
    const core::ButtonColorBlock colours{0x00202080, 0x00208020, 0x00FFFFFF, 0x00000000,
                                         0x0000A5FF};
    SetNoticeColours(colours);
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
            EXPECT_FALSE(notice->TimerRunning());
            // The default button of the raised look wears the focus frame.
            const QImage image = testing::Grab(notice->OkButton());
            EXPECT_EQ(testing::PixelAt(image, 0, 5), ToQColor(colours.focus));
            EXPECT_EQ(testing::PixelAt(image, 5, 5), ToQColor(colours.inactiveBackground));
            QTest::mouseClick(notice->OkButton(), Qt::LeftButton);
        });
        report();
        EXPECT_EQ(shown, text);
    }
    ClearNoticeColours();
    EXPECT_EQ(NoticeColours(), nullptr);
}

} // namespace
} // namespace kestrola::ui

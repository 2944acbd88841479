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

NoticeDialog* AsNotice(QWidget* modal) {
    auto* notice = qobject_cast<NoticeDialog*>(modal);
    EXPECT_NE(notice, nullptr);
    return notice;
}

// Notes every text the OK button shows while the notice is open.
class ButtonTexts {
public:
    ButtonTexts() {
        QObject::connect(&m_poll, &QTimer::timeout, [this] {
            if (auto* notice = qobject_cast<NoticeDialog*>(QApplication::activeModalWidget())) {
                const QString text = notice->OkButton()->text();
                if (texts.isEmpty() || texts.back() != text)
                    texts << text;
            }
        });
        m_poll.start(5);
    }
    QStringList texts;

private:
    QTimer m_poll;
};

TEST(NoticeDialog, WithoutCountdownItStaysUntilOk) {
    RecordingShell shell;
    testing::WhenModal([&](QWidget* modal) {
        NoticeDialog* notice = AsNotice(modal);
        ASSERT_NE(notice, nullptr);
        EXPECT_EQ(notice->windowTitle(), QStringLiteral("System message"));
        EXPECT_FALSE(notice->windowFlags() & Qt::WindowCloseButtonHint);
        EXPECT_EQ(notice->MessageLabel()->text(), QStringLiteral("Error: Failed get status"));
        EXPECT_EQ(notice->MessageLabel()->alignment(), Qt::AlignCenter);
        EXPECT_EQ(notice->OkButton()->text(), QStringLiteral("OK"));
        EXPECT_FALSE(notice->OkButton()->Flat());
        EXPECT_FALSE(notice->TimerRunning());
        QTest::qWait(1500);
        EXPECT_TRUE(notice->isVisible());
        QTest::mouseClick(notice->OkButton(), Qt::LeftButton);
    });
    EXPECT_EQ(RunNotice(shell, QStringLiteral("Error: Failed get status"), 0), QDialog::Accepted);
}

TEST(NoticeDialog, CountdownShowsEverySecondAndClosesItself) {
    for (const int seconds : {1, 3}) {
        RecordingShell shell;
        ButtonTexts seen;
        QElapsedTimer clock;
        clock.start();
        const int result = RunNotice(shell, QStringLiteral("Message was succesful send"), seconds);
        const qint64 elapsed = clock.elapsed();
        EXPECT_EQ(result, QDialog::Accepted) << seconds;
        QStringList expected;
        for (int left = seconds; left >= 1; --left)
            expected << QStringLiteral("Closing after: %1 sec").arg(left);
        // The text with 0 stands for an instant only; the poll may or may not see it.
        if (seen.texts.size() == expected.size() + 1)
            expected << QStringLiteral("Closing after: 0 sec");
        EXPECT_EQ(seen.texts, expected) << seconds;
        // Coarse timers may fire a little early; the notice never closes a tick early.
        EXPECT_GE(elapsed, seconds * 1000 - 200) << seconds;
    }
}

TEST(NoticeDialog, NegativeSecondsMeanNoCountdown) {
    RecordingShell shell;
    testing::WhenModal([&](QWidget* modal) {
        NoticeDialog* notice = AsNotice(modal);
        ASSERT_NE(notice, nullptr);
        EXPECT_FALSE(notice->TimerRunning());
        EXPECT_EQ(notice->OkButton()->text(), QStringLiteral("OK"));
        QTest::keyClick(notice, Qt::Key_Return);
    });
    EXPECT_EQ(RunNotice(shell, QStringLiteral("x"), -5), QDialog::Accepted);
}

TEST(NoticeDialog, OkDuringTheCountdownClosesAtOnceAndStopsTheTimer) {
    RecordingShell shell;
    bool stopped = false;
    testing::WhenModal([&](QWidget* modal) {
        NoticeDialog* notice = AsNotice(modal);
        ASSERT_NE(notice, nullptr);
        EXPECT_TRUE(notice->TimerRunning());
        EXPECT_EQ(notice->OkButton()->text(), QStringLiteral("Closing after: 30 sec"));
        QTest::mouseClick(notice->OkButton(), Qt::LeftButton);
        stopped = !notice->TimerRunning() && !notice->isVisible();
        EXPECT_EQ(notice->Seconds(), 30);
    });
    EXPECT_EQ(RunNotice(shell, QStringLiteral("Message was succesful send"), 30),
              QDialog::Accepted);
    EXPECT_TRUE(stopped);
}

TEST(NoticeDialog, EnterAcceptsAndEscapeCancels) {
    for (const auto& [key, result] :
         {std::pair{Qt::Key_Enter, QDialog::Accepted}, std::pair{Qt::Key_Return, QDialog::Accepted},
          std::pair{Qt::Key_Escape, QDialog::Rejected}}) {
        RecordingShell shell;
        bool timerStopped = false;
        testing::WhenModal([&, key = key](QWidget* modal) {
            NoticeDialog* notice = AsNotice(modal);
            ASSERT_NE(notice, nullptr);
            QTest::keyClick(notice, key);
            timerStopped = !notice->TimerRunning();
        });
        EXPECT_EQ(RunNotice(shell, QStringLiteral("x"), 20), result) << key;
        EXPECT_TRUE(timerStopped) << key;
    }
}

TEST(NoticeDialog, HelpKeyOpensTheHelpFileAndTheCountdownGoesOn) {
    RecordingShell shell;
    shell.result = 2; // no help file: nothing is reported
    testing::WhenModal([&](QWidget* modal) {
        NoticeDialog* notice = AsNotice(modal);
        ASSERT_NE(notice, nullptr);
        QTest::keyClick(notice, Qt::Key_F1);
        ASSERT_EQ(shell.calls.size(), 1u);
        EXPECT_EQ(shell.calls[0].first, "open");
        EXPECT_EQ(shell.calls[0].second,
                  core::HelpFilePath(QCoreApplication::applicationFilePath().toStdString()));
        EXPECT_TRUE(shell.browserRuns.empty());
        EXPECT_TRUE(notice->isVisible());
        EXPECT_TRUE(notice->TimerRunning());
        EXPECT_EQ(QApplication::activeModalWidget(), notice) << "no error box followed";
    });
    EXPECT_EQ(RunNotice(shell, QStringLiteral("x"), 2), QDialog::Accepted);
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
            NoticeDialog* notice = AsNotice(modal);
            ASSERT_NE(notice, nullptr);
            shown = notice->MessageLabel()->text();
            EXPECT_FALSE(notice->TimerRunning());
            QTest::mouseClick(notice->OkButton(), Qt::LeftButton);
        });
        report();
        EXPECT_EQ(shown, text);
    }
}

TEST(SystemMessage, NoticeColoursReachTheOkButton) {
    RecordingShell shell;
    const core::ButtonColorBlock colours{0x00202080, 0x00208020, 0x00FFFFFF, 0x00000000, 0x0000A5FF};
    SetNoticeColours(colours);
    ASSERT_NE(NoticeColours(), nullptr);
    testing::WhenModal([&](QWidget* modal) {
        NoticeDialog* notice = AsNotice(modal);
        ASSERT_NE(notice, nullptr);
        FlatButton* ok = notice->OkButton();
        EXPECT_EQ(ok->InactiveBackground(), ToQColor(colours.inactiveBackground));
        EXPECT_EQ(ok->ActiveForeground(), ToQColor(colours.activeText));
        // The default button of the raised look wears the focus frame.
        const QImage image = testing::Grab(ok);
        EXPECT_EQ(testing::PixelAt(image, 0, ok->height() / 2), ToQColor(colours.focus));
        EXPECT_EQ(testing::PixelAt(image, 5, 5), ToQColor(colours.inactiveBackground));
        QTest::mouseClick(ok, Qt::LeftButton);
    });
    RunNotice(shell, QStringLiteral("Message was succesful send"), 0);
    ClearNoticeColours();
    EXPECT_EQ(NoticeColours(), nullptr);
}

TEST(NoticePicture, CountdownNotice) {
    RecordingShell shell;
    testing::WhenModal([&](QWidget* modal) {
        NoticeDialog* notice = AsNotice(modal);
        ASSERT_NE(notice, nullptr);
        QTest::qWait(50);
        const QString path = testing::SavePicture(notice, QStringLiteral("notice-countdown.png"));
        EXPECT_FALSE(QImage(path).isNull());
        QTest::mouseClick(notice->OkButton(), Qt::LeftButton);
    });
    RunNotice(shell, QStringLiteral("Message was succesful send"), 5);

    testing::WhenModal([&](QWidget* modal) {
        NoticeDialog* notice = AsNotice(modal);
        ASSERT_NE(notice, nullptr);
        testing::SavePicture(notice, QStringLiteral("notice-long-text.png"));
        // The long text is shown whole.
        EXPECT_GE(notice->MessageLabel()->width(),
                  notice->MessageLabel()->fontMetrics().horizontalAdvance(
                      notice->MessageLabel()->text()));
        QTest::mouseClick(notice->OkButton(), Qt::LeftButton);
    });
    RunNotice(shell,
              QStringLiteral("You can not send more than 100 symbols. Please edit the message."),
              0);
}

} // namespace
} // namespace kestrola::ui

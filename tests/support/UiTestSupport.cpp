#include "UiTestSupport.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace kestrola::testing {

void SavePicture(QWidget* widget, const QString& name) {
    QDir().mkpath(QStringLiteral(KESTROLA_SCREENS_DIR));
    widget->grab().save(QStringLiteral(KESTROLA_SCREENS_DIR "/") + name);
}

bool ShowAndActivate(QWidget* widget) {
    widget->show();
    widget->activateWindow();
    return QTest::qWaitForWindowExposed(widget) && QTest::qWaitForWindowActive(widget);
}

void WhenModal(std::function<void(QWidget*)> action) {
    auto* poll = new QTimer(qApp);
    auto started = std::make_shared<QElapsedTimer>();
    started->start();
    QObject::connect(poll, &QTimer::timeout, poll, [=] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr || !modal->isVisible()) {
            if (started->elapsed() > 10000) {
                poll->deleteLater();
                ADD_FAILURE() << "no modal window showed";
            }
            return;
        }
        poll->stop();
        poll->deleteLater();
        QPointer<QWidget> guarded(modal);
        action(modal);
        // A window the action left open is closed later, so that a failing test ends.
        QTimer::singleShot(30000, qApp, [guarded] {
            if (guarded && guarded->isVisible()) {
                ADD_FAILURE() << "the modal window was left open";
                guarded->close();
                if (auto* dialog = qobject_cast<QDialog*>(guarded.data()))
                    dialog->reject();
            }
        });
    });
    poll->start(10);
}

} // namespace kestrola::testing

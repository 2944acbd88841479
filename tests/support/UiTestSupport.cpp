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

namespace {
void WhenShowing(std::function<QWidget*()> find, std::function<void(QWidget*)> action,
                 const char* what) {
    auto* poll = new QTimer(qApp);
    auto started = std::make_shared<QElapsedTimer>();
    started->start();
    QObject::connect(poll, &QTimer::timeout, poll, [=] {
        QWidget* widget = find();
        if (widget == nullptr || !widget->isVisible()) {
            if (started->elapsed() > 10000) {
                poll->deleteLater();
                ADD_FAILURE() << "no " << what << " showed";
            }
            return;
        }
        poll->stop();
        poll->deleteLater();
        QPointer<QWidget> guarded(widget);
        action(widget);
        // A window the action left open is closed later, so that a failing test ends.
        QTimer::singleShot(30000, qApp, [guarded, what] {
            if (guarded && guarded->isVisible()) {
                ADD_FAILURE() << "the " << what << " was left open";
                guarded->close();
                if (auto* dialog = qobject_cast<QDialog*>(guarded.data()))
                    dialog->reject();
            }
        });
    });
    poll->start(10);
}
} // namespace

QString ScreensDir() {
    const QString dir = QStringLiteral(KESTROLA_SCREENS_DIR);
    QDir().mkpath(dir);
    return dir;
}

QString SavePicture(QWidget* widget, const QString& name) {
    const QString path = ScreensDir() + QLatin1Char('/') + name;
    widget->grab().save(path);
    return path;
}

QImage Grab(QWidget* widget) {
    QPixmap pixmap = widget->grab();
    pixmap.setDevicePixelRatio(1.0);
    return pixmap.toImage().scaled(widget->size());
}

QColor PixelAt(const QImage& image, int x, int y) {
    return QColor(image.pixel(x, y));
}

QColor Opaque(const QColor& colour) {
    return QColor(colour.rgb());
}

bool AnyPixel(const QImage& image, const QRect& area, const QColor& colour) {
    const QRect inside = area.intersected(image.rect());
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        for (int x = inside.left(); x <= inside.right(); ++x) {
            if (PixelAt(image, x, y) == Opaque(colour))
                return true;
        }
    }
    return false;
}

bool ShowAndActivate(QWidget* widget) {
    widget->show();
    widget->activateWindow();
    return QTest::qWaitForWindowExposed(widget) && QTest::qWaitForWindowActive(widget);
}

void WhenModal(std::function<void(QWidget*)> action) {
    WhenShowing([] { return QApplication::activeModalWidget(); }, std::move(action),
                "modal window");
}

void WhenPopup(std::function<void(QWidget*)> action) {
    WhenShowing([] { return QApplication::activePopupWidget(); }, std::move(action), "pop-up menu");
}

} // namespace kestrola::testing

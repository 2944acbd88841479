#include "app/ui/MessengerApp.h"

#include "app/ui/MainDialog.h"
#include "app/ui/PaletteColors.h"
#include "base/StartupTrace.h"
#include "controls/Resources.h"
#include "messaging/ui/SystemMessage.h"
#include "network/NetworkScanner.h"
#include "platform/Platform.h"
#include "platform/QuitRequests.h"
#include "resources/IconResources.h"
#include "settings/StartupRules.h"
#include "window/ScannerNetwork.h"

#include <QApplication>
#include <QEvent>
#include <QEventLoop>
#include <QSocketNotifier>
#include <QTimer>

namespace kestrola::ui {

namespace {

// Once the program is asked to end, boxes that wait for the user are closed as they open (the
// first run shows the About box after its question, for one).
class ModalCloser : public QObject {
public:
    explicit ModalCloser(const QWidget* keep) : m_keep(keep) {}

    static void CloseOpen(const QWidget* keep) {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (widget != keep && widget->isVisible() && widget->isModal())
                widget->hide();
        }
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (event->type() == QEvent::Show && widget != nullptr && widget != m_keep &&
            widget->isWindow() && widget->isModal()) {
            QTimer::singleShot(0, widget, [widget] { widget->hide(); });
        }
        return false;
    }

private:
    const QWidget* m_keep;
};

// The session's real end (its "die" after a logout) reaches the application as a Quit event.
// Taken here, before the toolkit closes the windows: a close would minimise or ask.
class SessionEndWatcher : public QObject {
public:
    explicit SessionEndWatcher(std::function<void()> onEnd) : m_onEnd(std::move(onEnd)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != qApp || event->type() != QEvent::Quit)
            return false;
        m_onEnd();
        event->accept();
        return true;
    }

private:
    std::function<void()> m_onEnd;
};

} // namespace

int RunMessengerApp(std::string_view rawCommandLine, const MessengerPlatform& platform,
                    const std::function<void(MainDialog&)>& onShown) {
    core::StartupOutcome start = core::BeginStartup(platform.environment, rawCommandLine);
    if (!start.proceed)
        return 0; // another instance runs: no window, no word
    core::TraceStartup("single instance, working folder, settings store");

    const QString previousName = QCoreApplication::applicationName();
    QCoreApplication::setApplicationName(QString::fromUtf8(
        core::kApplicationName.data(), static_cast<qsizetype>(core::kApplicationName.size())));

    QApplication::setWindowIcon(LoadIconResource(core::kNormalIcon));
    const SystemMessageSink reports(platform.shell);
    const PaletteColors colors;
    core::TraceStartup("window icon and colours");
    // The network neighbourhood: the scanner on the system's network provider, unless the
    // caller brings its own.
    std::unique_ptr<core::NetworkScanner> scanner;
    std::unique_ptr<core::RecipientNetwork> network;
    if (platform.makeNetwork) {
        network = platform.makeNetwork();
    } else {
        scanner = std::make_unique<core::NetworkScanner>(
            platform::CreateNetworkProvider(),
            std::shared_ptr<const platform::CodePage>(&platform.codePage,
                                                      [](const platform::CodePage*) {}));
        network = std::make_unique<core::ScannerNetwork>(*scanner, platform::GetPlatformVersion());
    }
    const core::MainWindowServices services{*start.store,       colors,
                                            platform.codePage,  platform.clock,
                                            platform.mailslots, platform.shell,
                                            platform.sound,     *network,
                                            platform.makeBase,  platform.notifications};
    // A quit request of the system or the session ends the run as Exit does, without asking.
    // It also closes a box that waits for the user (the first run's question, a notice), which
    // would otherwise hold the end back.
    std::unique_ptr<MainDialog> dialog;
    bool quitRequested = false;
    const QObject scope; // the connections below end with this run
    std::unique_ptr<ModalCloser> closer;
    const auto requestQuit = [&dialog, &quitRequested, &closer] {
        quitRequested = true;
        if (!closer) {
            closer = std::make_unique<ModalCloser>(dialog.get());
            qApp->installEventFilter(closer.get());
        }
        ModalCloser::CloseOpen(dialog.get());
        if (dialog)
            dialog->Core().EndWithoutQuestion();
    };
    std::unique_ptr<QSocketNotifier> quitNotifier;
    if (platform.quitRequests != nullptr && platform.quitRequests->Descriptor() >= 0) {
        quitNotifier = std::make_unique<QSocketNotifier>(platform.quitRequests->Descriptor(),
                                                         QSocketNotifier::Read);
        QObject::connect(quitNotifier.get(), &QSocketNotifier::activated, &scope,
                         [&platform, &requestQuit] {
                             platform.quitRequests->Take();
                             requestQuit();
                         });
    }
    // Saving the session (also the first step of a logout that may yet be cancelled) writes
    // what Exit would write and the run goes on.
    QObject::connect(qApp, &QGuiApplication::commitDataRequest, &scope, [&dialog] {
        if (dialog)
            dialog->Core().SaveForSession();
    });
    QObject::connect(qApp, &QCoreApplication::aboutToQuit, &scope, requestQuit);
    SessionEndWatcher sessionEnd(requestQuit);
    qApp->installEventFilter(&sessionEnd);

    dialog = std::make_unique<MainDialog>(services, scanner.get());
    core::TraceStartup("main window built and initialised");
    if (scanner)
        scanner->SetShellNamespace(platform::CreateShellNamespace()); // for "FastScan" 0
    core::TraceStartup("shell namespace");
    if (!quitRequested) {
        QEventLoop run;
        bool finished = false;
        QObject::connect(dialog.get(), &MainDialog::RunFinished, &run, [&run, &finished] {
            finished = true;
            run.quit();
        });
        dialog->show();
        core::TraceStartup("window shown");
        QTimer::singleShot(0, [] { core::TraceStartup("first events handled"); });
        if (onShown)
            onShown(*dialog);
        if (!finished)
            run.exec();
    }

    dialog->Destroy();
    // A scan still running carries on without the tree once the scanner is gone.
    dialog->DetachNetwork();
    network.reset();
    scanner.reset();
    closer.reset();
    quitNotifier.reset();
    start.marker.reset();
    QCoreApplication::setApplicationName(previousName);
    dialog.reset();
    return 0;
}

} // namespace kestrola::ui

#include "app/ui/MessengerApp.h"

#include "app/StandInNetwork.h"
#include "app/StartupRules.h"
#include "app/ui/MainDialog.h"
#include "app/ui/PaletteColors.h"
#include "messaging/ui/SystemMessage.h"
#include "platform/QuitRequests.h"

#include <QApplication>
#include <QEventLoop>
#include <QSocketNotifier>

namespace kestrola::ui {

int RunMessengerApp(std::string_view rawCommandLine, const MessengerPlatform& platform,
                    const std::function<void(MainDialog&)>& onShown) {
    core::StartupOutcome start = core::BeginStartup(platform.environment, rawCommandLine);
    if (!start.proceed)
        return 0; // another instance runs: no window, no word

    const QString previousName = QCoreApplication::applicationName();
    QCoreApplication::setApplicationName(QString::fromUtf8(
        core::kApplicationName.data(), static_cast<qsizetype>(core::kApplicationName.size())));

    const SystemMessageSink reports(platform.shell);
    const PaletteColors colors;
    std::unique_ptr<core::RecipientNetwork> network =
        platform.makeNetwork
            ? platform.makeNetwork()
            : std::make_unique<core::StandInNetwork>(platform.mailslots, platform.codePage);
    const core::MainWindowServices services{
        *start.store,       colors,         platform.codePage, platform.clock,
        platform.mailslots, platform.shell, platform.sound,    *network};
    auto dialog = std::make_unique<MainDialog>(services);

    QEventLoop run;
    bool finished = false;
    QObject::connect(dialog.get(), &MainDialog::RunFinished, &run, [&run, &finished] {
        finished = true;
        run.quit();
    });
    // A quit request of the system or the session ends the run as Exit does, without asking.
    MainDialog* window = dialog.get();
    std::unique_ptr<QSocketNotifier> quitNotifier;
    if (platform.quitRequests != nullptr && platform.quitRequests->Descriptor() >= 0) {
        quitNotifier = std::make_unique<QSocketNotifier>(platform.quitRequests->Descriptor(),
                                                         QSocketNotifier::Read);
        QObject::connect(quitNotifier.get(), &QSocketNotifier::activated, window,
                         [&platform, window] {
                             platform.quitRequests->Take();
                             window->Core().EndWithoutQuestion();
                         });
    }
    QObject::connect(qApp, &QGuiApplication::commitDataRequest, window,
                     [window] { window->Core().EndWithoutQuestion(); });
    QObject::connect(qApp, &QCoreApplication::aboutToQuit, window,
                     [window] { window->Core().EndWithoutQuestion(); });

    dialog->show();
    if (onShown)
        onShown(*dialog);
    if (!finished)
        run.exec();

    dialog->Destroy();
    quitNotifier.reset();
    start.marker.reset();
    QCoreApplication::setApplicationName(previousName);
    dialog.reset();
    return 0;
}

} // namespace kestrola::ui

#include "selvik/selvik_app.h"

#include <unistd.h>

#include <QApplication>
#include <cstdlib>

#include "desktop/qt_translations.h"
#include "platform/codepage.h"
#include "platform/link_handoff.h"
#include "platform/program_dir.h"
#include "selvik/addresses.h"
#include "selvik/browser_dialog.h"
#include "selvik/link_delivery.h"
#include "selvik/link_sender.h"
#include "selvik/notices.h"
#include "selvik/web_browser_view.h"

namespace selvik {

int RunSelvik(int argc, char** argv) {
    // The web engine's sandbox refuses to run as root.
    if (geteuid() == 0) {
        setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
    }
    // Taken before Qt removes the options it knows from the arguments.
    std::string commandLine = platform::AnsiFromUtf8(CommandLineText(argc, argv));

    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    tarvane::InstallChineseQtTranslations(app);

    std::string tarvane = platform::Utf8FromAnsi(platform::ProgramDirectory() + "tarvane");
    platform::SystemProcessStarter starter;
    SocketHandoffChannel channel(platform::HandoffSocketPath());
    SleepingWaiter waiter;
    BackgroundLinkSender sender([&](const std::string& record) {
        // What becomes of the link is tarvane's; a failed hand-off is silent.
        DeliverLink(record, tarvane, DeliveryPorts{channel, starter, waiter});
    });
    MessageBoxNotices notices;

    BrowserDialog dialog(BrowserSetup{platform::AnsiFromUtf8(platform::ExecutablePath()), commandLine},
                         BrowserPorts{starter, sender, notices},
                         [](QWidget* parent) { return new WebBrowserView(parent); });
    notices.SetOwner(&dialog);
    dialog.show();
    return app.exec();
}

}  // namespace selvik

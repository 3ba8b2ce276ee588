#include "tarvane/shell/tarvane_app.h"

#include <curl/curl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QFileInfo>
#include <QLockFile>
#include <QSocketNotifier>
#include <csignal>
#include <cstdlib>

#include "desktop/qt_translations.h"
#include "platform/caption.h"
#include "platform/codepage.h"
#include "platform/program_dir.h"
#include "tarvane/shell/command_line_link.h"
#include "tarvane/shell/handoff_server.h"
#include "tarvane/shell/main_dialog.h"
#include "tarvane/shell/qt_ports.h"
#include "tarvane/shell/resources/artwork.h"
#include "tarvane/shell/scheme_link_text.h"

namespace tarvane {

namespace {

int signalPipe[2] = {-1, -1};

void OnTerminationSignal(int) {
    char byte = 1;
    [[maybe_unused]] auto written = write(signalPipe[1], &byte, 1);
}

std::string ApplicationName(const std::string& executable, const char* argv0) {
    std::string path = executable.empty() ? std::string(argv0 != nullptr ? argv0 : "tarvane") : executable;
    return QFileInfo(QString::fromStdString(path)).completeBaseName().toStdString();
}

bool HasArgument(int argc, char** argv, const char* wanted) {
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == wanted) {
            return true;
        }
    }
    return false;
}

// Message boxes for a second instance, which has no window: made only when one is needed.
class LateMessageBoxes : public MessageBoxes {
public:
    LateMessageBoxes(int& argc, char** argv) : argc_(argc), argv_(argv) {}
    MessageAnswer Show(const std::string& text, const std::string& caption, MessageButtons buttons) override {
        if (QApplication::instance() == nullptr) {
            app_ = std::make_unique<QApplication>(argc_, argv_);
        }
        return boxes_.Show(text, caption, buttons);
    }

private:
    int& argc_;
    char** argv_;
    std::unique_ptr<QApplication> app_;
    QtMessageBoxes boxes_;
};

}  // namespace

bool HandOffToRunningInstance(const std::string& commandLine, const std::string& socketPath, MessageBoxes& messages,
                              platform::HandoffTiming timing) {
    auto link = ExtractCommandLineLink(commandLine);
    if (!link) {
        return platform::SendHandoffMessage(socketPath, platform::HandoffMessage::BringForward, "", timing) ==
               platform::HandoffResult::Delivered;
    }
    platform::LinkHandoffRecord record;
    record.link = platform::AnsiFromUtf8(*link);
    auto encoded = platform::EncodeLinkHandoff(record);
    if (!encoded) {
        messages.Show(
            platform::AnsiFromUtf8("链接太长（超过259个字节），无法交给正在运行的Quellora，请在“新建”中输入。"),
            platform::kCaption, MessageButtons::Ok);
        return false;
    }
    if (platform::SendLinkHandoff(socketPath, *encoded, timing) != platform::HandoffResult::Delivered) {
        // The link must not vanish without a word.
        messages.Show(platform::AnsiFromUtf8("无法把链接交给正在运行的Quellora，请在“新建”中输入：\r\n") + record.link,
                      platform::kCaption, MessageButtons::Ok);
        return false;
    }
    return true;
}

int RunTarvane(int argc, char** argv) {
    // The web engine's sandbox refuses to run as root.
    if (geteuid() == 0) {
        setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
    }
    std::string commandLine = DecodeSchemeLinkMarkers(CommandLineText(argc, argv));
    std::string executable = platform::ExecutablePath();
    std::string folder = platform::HandoffFolder();
    std::string socketPath = folder.empty() ? "" : folder + "/" + platform::kCaption;

    // Two instances on one set of task files would lose tasks: without the lock there is no start.
    if (folder.empty()) {
        LateMessageBoxes messages(argc, argv);
        messages.Show(
            platform::AnsiFromUtf8("找不到只属于您的运行文件夹（$XDG_RUNTIME_DIR、/tmp 和缓存文件夹都不可用），"
                                   "无法保证只运行一个Quellora，程序将退出。"),
            platform::kCaption, MessageButtons::Ok);
        return 1;
    }
    QLockFile lock(QString::fromStdString(folder + "/" + ApplicationName(executable, argv[0]) + ".lock"));
    lock.setStaleLockTime(0);
    if (!lock.tryLock(0)) {
        LateMessageBoxes messages(argc, argv);
        platform::HandoffTiming timing;
        // The running instance may still be starting.
        timing.connectWait = std::chrono::seconds(20);
        return HandOffToRunningInstance(commandLine, socketPath, messages, timing) ? 0 : 1;
    }

    // libcurl for the whole run, before any thread that uses it and after the last has been joined.
    struct CurlGlobal {
        CurlGlobal() { curl_global_init(CURL_GLOBAL_ALL); }
        ~CurlGlobal() { curl_global_cleanup(); }
    } curlGlobal;
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    InstallChineseQtTranslations(app);
    app.setQuitOnLastWindowClosed(false);
    artwork::InitArtwork();

    platform::SystemProcessStarter starter;
    QtMessageBoxes messages;
    QtClipboard clipboard;
    XdgDesktop desktop(starter);
    CanberraSound sound;

    MainDialogSetup setup;
    setup.programDirectory = platform::ProgramDirectory();
    setup.executablePath = executable;
    setup.commandLine = commandLine;
    setup.schemeFolders = platform::UserUrlSchemeFolders();
    const char* webPane = std::getenv("TARVANE_WEB_PANE");
    setup.webPane = webPane == nullptr || std::string(webPane) != "0";

    MainDialog dialog(setup, ShellPorts{messages, clipboard, desktop, sound, starter});
    messages.SetOwner(&dialog);
    HandoffServer server(
        HandoffServer::Handlers{[&dialog](std::uint64_t dwData, const platform::LinkHandoffRecord& record) {
                                    dialog.OnCopyData(dwData, record);
                                },
                                [&dialog] { dialog.BringForward(); }});
    bool listening = server.Listen(socketPath);

    // Ended by the session or by hand: the same orderly end as the exit command.
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) == 0) {
        auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &app);
        // exit, not quit: quit would close the window first, and closing it asks or hides to the tray.
        QObject::connect(notifier, &QSocketNotifier::activated, &app, [] { QCoreApplication::exit(0); });
        std::signal(SIGTERM, OnTerminationSignal);
        std::signal(SIGINT, OnTerminationSignal);
        std::signal(SIGHUP, OnTerminationSignal);
    }
    QObject::connect(&dialog, &QDialog::finished, &app, &QCoreApplication::quit);

    dialog.Initialize();
    if (!listening) {
        messages.Show(platform::AnsiFromUtf8("无法建立接收链接的通道（") + socketPath +
                          platform::AnsiFromUtf8("），其他程序交来的链接将无法到达。"),
                      platform::kCaption, MessageButtons::Ok);
    }
    if (HasArgument(argc, argv, "-hide")) {
        dialog.HideToTray();
    } else {
        dialog.show();
    }
    app.exec();

    server.Close();
    dialog.hide();
    dialog.Finish();
    return 0;
}

}  // namespace tarvane

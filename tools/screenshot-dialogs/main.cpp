// Saves pictures of the main window's finished-downloads tab (with enough entries to scroll), the
// new-task dialog (expanded), the options dialog, the delete question and the folder picker, drawn offscreen from a
// sample program directory with Qt's own texts in Chinese.
//   screenshot-dialogs OUTPUT_FOLDER
#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QTemporaryDir>
#include <cstdio>

#include "desktop/qt_translations.h"
#include "platform/codepage.h"
#include "platform/process_start.h"
#include "tarvane/dialogs/delete_confirm_dialog.h"
#include "tarvane/dialogs/folder_picker.h"
#include "tarvane/dialogs/new_task_dialog.h"
#include "tarvane/dialogs/options_dialog.h"
#include "tarvane/shell/main_dialog.h"
#include "tarvane/shell/resources/artwork.h"

namespace {

using namespace tarvane;

// Nothing leaves the program while the pictures are made.
struct Quiet : MessageBoxes, Clipboard, Desktop, SoundPlayer, platform::ProcessStarter {
    MessageAnswer Show(const std::string&, const std::string&, MessageButtons) override { return MessageAnswer::Ok; }
    bool PutText(const std::string&) override { return true; }
    void ShowFileInFolder(const std::string&) override {}
    void OpenFolder(const std::string&) override {}
    void OpenWebPage(const std::string&) override {}
    void PlayCompletionSound() override {}
    bool Start(const std::string&, const std::vector<std::string>&) override { return true; }
};

struct NoFolders : FolderPicker {
    std::optional<std::string> PickFolder(const std::string&, QWidget*) override { return std::nullopt; }
};

void AddFinished(TaskFiles& files, const std::string& directory, const char* utf8Name, const char* size, int id) {
    DownloadTask task;
    task.name = platform::AnsiFromUtf8(utf8Name);
    task.size = size;
    task.type = "zip";
    task.path = directory + "games";
    task.frmPge = "http://game.quellora.localhost:8717/game/" + std::to_string(id) + ".htm";
    task.fileLink = "http://game.quellora.localhost:8717/files/" + std::to_string(id) + "/game.zip";
    files.AddItem(directory + kCompletedFileName, task, true);
}

bool Save(QWidget& widget, const QString& path) {
    bool saved = widget.grab().save(path);
    std::printf("%s %s\n", saved ? "saved" : "could not save", path.toUtf8().constData());
    return saved;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: screenshot-dialogs OUTPUT_FOLDER\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    InstallChineseQtTranslations(app);
    artwork::InitArtwork();
    QString output = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(output);
    QTemporaryDir home;
    std::string directory = home.path().toStdString() + "/";

    TaskFiles files;
    files.EnsureTaskFiles(directory);
    AddFinished(files, directory, "铁血战神", "356515840", 101);
    AddFinished(files, directory, "星际猎手", "96468992", 204);
    AddFinished(files, directory, "水晶迷城", "4194304", 1102);
    for (int id = 1; id <= 30; ++id) {
        AddFinished(files, directory, "连连看", "3145728", 1100 + id);
    }

    Quiet quiet;
    NoFolders folders;
    MainDialogSetup setup;
    setup.programDirectory = directory;
    setup.executablePath = home.path().toStdString() + "/tarvane";
    setup.schemeFolders = {home.path().toStdString() + "/applications", home.path().toStdString() + "/mimeapps.list"};
    setup.webPane = false;
    setup.trayAvailable = [] { return false; };
    setup.folderPicker = &folders;
    MainDialog main(setup, ShellPorts{quiet, quiet, quiet, quiet, quiet});
    main.Initialize();
    main.show();
    main.windowActions().showCompleted->trigger();
    app.processEvents();
    bool ok = Save(main, output + "/completed-pane.png");

    NewTaskDialog dialog(DialogEnvironment{directory, "tarvane", directory + "games"}, {quiet, folders, main.engine()},
                         {}, &main);
    qobject_cast<QLineEdit*>(dialog.Control(NewTaskDialog::kIdAddress))
        ->setText("http://game.quellora.localhost:8717/game/101.htm");
    dialog.show();
    if (auto* more = qobject_cast<QAbstractButton*>(dialog.Control(NewTaskDialog::kIdMore))) {
        more->click();
    }
    app.processEvents();
    ok = Save(dialog, output + "/new-task-expanded.png") && ok;

    XdgAutostart autostart(directory + "autostart", directory + "tarvane");
    OptionsDialog options(DialogEnvironment{directory, "tarvane", directory + "games"}, {quiet, folders, autostart},
                          &main);
    options.show();
    app.processEvents();
    ok = Save(options, output + "/options.png") && ok;

    DeleteConfirmDialog question(&main);
    question.show();
    app.processEvents();
    ok = Save(question, output + "/delete-confirm.png") && ok;

    // As the folder picker opens it, on a folder with a game folder in it.
    QDir().mkpath(QString::fromStdString(directory + "games"));
    QFileDialog picker(&main, QString::fromUtf8("请选择文件夹"), QString::fromStdString(directory));
    SetUpFolderDialog(picker);
    picker.setOption(QFileDialog::DontUseNativeDialog, true);
    picker.show();
    // The folder list fills in the background.
    QDeadlineTimer listed(2000);
    while (!listed.hasExpired() &&
           picker.findChild<QAbstractItemView*>("treeView")
                   ->model()
                   ->rowCount(picker.findChild<QAbstractItemView*>("treeView")->rootIndex()) == 0) {
        app.processEvents(QEventLoop::AllEvents, 50);
    }
    app.processEvents();
    ok = Save(picker, output + "/folder-picker.png") && ok;
    main.Finish();
    return ok ? 0 : 1;
}

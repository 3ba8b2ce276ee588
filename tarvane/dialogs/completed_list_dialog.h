#pragma once

#include <QTimer>
#include <QWidget>
#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "platform/process_start.h"
#include "tarvane/dialogs/completed_rows.h"
#include "tarvane/dialogs/delete_confirm_dialog.h"
#include "tarvane/dialogs/dialog_environment.h"
#include "tarvane/dialogs/password_prompt.h"
#include "tarvane/engine/desktop_ports.h"
#include "tarvane/engine/engine.h"

class QMenu;
class QTableWidget;

namespace tarvane {

struct CompletedListPorts {
    TaskDirectory& tasks;
    MessageBoxes& messages;
    Clipboard& clipboard;
    Desktop& desktop;
    platform::ProcessStarter& starter;
    DeleteConfirmation& confirmation;
    FinishedUnpacker& unpacker;
    PasswordPrompt& passwords;
};

// The finished downloads of completed.xml, newest first, in a frameless pane that the main window
// lays over its task list. A row stands for the first item of completed.xml with its source page;
// its tip says why its archive was not unpacked.
class CompletedListDialog : public QWidget {
    Q_OBJECT

public:
    enum ControlId : int { kIdList = 1032 };
    enum Command : int {
        kCommandPlay = 4000,
        kCommandOpen = 4001,
        kCommandOpenFolder = 4002,
        kCommandCopyLink = 4003,
        kCommandBrowsePage = 4004,
        kCommandDelete = 4005,
        kCommandOpenGameFolder = 4006,
        kCommandUnpack = 4007,
    };

    CompletedListDialog(DialogEnvironment environment, CompletedListPorts ports, QWidget* parent = nullptr);
    ~CompletedListDialog() override;

    // Reads the rows again from completed.xml.
    void ReloadList();
    // Selects, reveals and focuses the first row whose source page is `page`.
    void SelectBySourcePage(const std::string& page);

    // The row the commands act on: the last row selected, kept when a click lands on empty space.
    int SelectionMark() const;
    // The context menu for the selection mark; null when there is none. Its actions carry the
    // command numbers as data.
    std::unique_ptr<QMenu> BuildContextMenu();
    void RunCommand(int command);
    // What a double-click on the selection mark does.
    void ActivateSelection();

    QTableWidget* List() const { return list_; }
    // Whether an unpack started from the list still runs.
    bool Unpacking() const { return unpacker_.joinable(); }
    // Stops a running unpack and waits for it (the program ends).
    void StopUnpack();
    const ListView& Rows() const { return rows_; }

protected:
    // The list fills the pane, whatever rectangle the main window gives it, and scrolls inside it.
    void resizeEvent(QResizeEvent* event) override;

private:
    void ShowContextMenu();
    std::string PageOf(int row) const { return rows_.SubItemText(row, 3); }
    // The finished entry of the page; an empty one when it has none (any more).
    CompletedItem FinishedEntry(const std::string& page) const;
    std::string FilePathOf(const std::string& page);
    bool CheckFileExists(const std::string& path);
    void Play(int row);
    void Open(int row);
    void OpenFolder(int row);
    void CopyLink(int row);
    void BrowsePage(int row);
    void Delete();
    void OpenGameFolder(int row);
    // The entry's game folder when it is there.
    std::string GameFolderOf(const CompletedItem& entry) const;
    // Unpacks the page's archive on a thread of its own; the outcome comes back to UnpackEnded.
    void StartUnpack(const std::string& page, const std::string& password);
    void UnpackEnded(const std::string& page, const UnpackResult& result);

    DialogEnvironment environment_;
    CompletedListPorts ports_;
    QTableWidget* list_;
    CompletedRows rows_;
    int selectionMark_ = -1;
    std::thread unpacker_;
    std::atomic<bool> stopUnpack_{false};
    // The unpack's outcome, handed over under the lock and picked up by a timer of the window's thread
    // (a call queued from the unpacking thread would pass through Qt's locks, which the thread checker
    // cannot see).
    std::mutex unpackLock_;
    std::optional<UnpackResult> unpackResult_;
    QTimer* unpackWatch_ = nullptr;
    std::string unpackPage_;
};

}  // namespace tarvane

#pragma once

#include <QWidget>
#include <memory>
#include <string>

#include "platform/process_start.h"
#include "tarvane/dialogs/completed_rows.h"
#include "tarvane/dialogs/delete_confirm_dialog.h"
#include "tarvane/dialogs/dialog_environment.h"
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
};

// The finished downloads of completed.xml, newest first, in a frameless pane that the main window
// lays over its task list. A row stands for the first item of completed.xml with its source page.
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

    DialogEnvironment environment_;
    CompletedListPorts ports_;
    QTableWidget* list_;
    CompletedRows rows_;
    int selectionMark_ = -1;
};

}  // namespace tarvane

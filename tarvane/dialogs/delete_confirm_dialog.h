#pragma once

#include <QDialog>

class QCheckBox;
class QPushButton;

namespace tarvane {

// The answers of the delete question, as exec() returns them.
enum DeleteAnswer : int {
    kDeleteKeepFile = 1,    // "是(&Y)": remove the entry only
    kDeleteCancel = 2,      // "否(&N)" or Escape
    kDeleteWithFile = 100,  // "是(&Y)" with "同时删除文件" checked
};

// Asks whether a finished download leaves the list, and whether its file goes too. Escape and the
// window manager's close answer "否".
class DeleteConfirmDialog : public QDialog {
    Q_OBJECT

public:
    enum ControlId : int { kIdYes = 1, kIdNo = 2, kIdIcon = 1035, kIdDeleteFile = 1036 };

    explicit DeleteConfirmDialog(QWidget* parent = nullptr);

    QPushButton* YesButton() const { return yes_; }
    QPushButton* NoButton() const { return no_; }
    QCheckBox* DeleteFileBox() const { return deleteFile_; }

public slots:
    void accept() override;
    void reject() override;

private:
    QPushButton* yes_;
    QPushButton* no_;
    QCheckBox* deleteFile_;
};

// How the completed pane asks; tests answer in its place.
class DeleteConfirmation {
public:
    virtual ~DeleteConfirmation() = default;
    // One of the DeleteAnswer values.
    virtual int Ask(QWidget* owner) = 0;
};

class DeleteConfirmDialogAsker : public DeleteConfirmation {
public:
    int Ask(QWidget* owner) override;
};

}  // namespace tarvane

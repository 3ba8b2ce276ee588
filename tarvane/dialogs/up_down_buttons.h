#pragma once

#include <QWidget>

class QLineEdit;
class QToolButton;

namespace tarvane {

// Arrows beside an edit that step the number in it within a range and write it back as a decimal
// number; the Up and Down keys in the edit step too. The edit itself takes any text.
class UpDownButtons : public QWidget {
    Q_OBJECT

public:
    UpDownButtons(QLineEdit* buddy, QWidget* parent);

    void SetRange(int lower, int upper);
    // One step up (positive) or down (negative), clamped to the range.
    void Step(int steps);
    QToolButton* UpButton() const { return up_; }
    QToolButton* DownButton() const { return down_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QLineEdit* buddy_;
    QToolButton* up_;
    QToolButton* down_;
    int lower_ = 0;
    int upper_ = 100;
    int position_ = 0;
};

}  // namespace tarvane

#include "tarvane/dialogs/up_down_buttons.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QToolButton>
#include <algorithm>

namespace tarvane {

UpDownButtons::UpDownButtons(QLineEdit* buddy, QWidget* parent)
    : QWidget(parent), buddy_(buddy), up_(new QToolButton(this)), down_(new QToolButton(this)) {
    up_->setArrowType(Qt::UpArrow);
    down_->setArrowType(Qt::DownArrow);
    for (QToolButton* button : {up_, down_}) {
        button->setAutoRepeat(true);
        button->setFocusPolicy(Qt::NoFocus);
    }
    connect(up_, &QToolButton::clicked, this, [this] { Step(1); });
    connect(down_, &QToolButton::clicked, this, [this] { Step(-1); });
    buddy_->installEventFilter(this);
}

void UpDownButtons::SetRange(int lower, int upper) {
    lower_ = std::min(lower, upper);
    upper_ = std::max(lower, upper);
    position_ = std::clamp(position_, lower_, upper_);
}

void UpDownButtons::Step(int steps) {
    // The edit's number is the position when it holds one; otherwise the last position stands.
    bool ok = false;
    int typed = buddy_->text().trimmed().toInt(&ok);
    if (ok) {
        position_ = typed;
    }
    position_ = std::clamp(position_ + steps, lower_, upper_);
    buddy_->setText(QString::number(position_));
}

bool UpDownButtons::eventFilter(QObject* watched, QEvent* event) {
    if (watched == buddy_ && event->type() == QEvent::KeyPress) {
        int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            Step(key == Qt::Key_Up ? 1 : -1);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void UpDownButtons::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    int half = height() / 2;
    up_->setGeometry(0, 0, width(), half);
    down_->setGeometry(0, half, width(), height() - half);
}

}  // namespace tarvane

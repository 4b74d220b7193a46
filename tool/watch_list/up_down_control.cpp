#include "watch_list/up_down_control.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <algorithm>

#include "program_core/time_box_rule.h"

namespace talvern {

UpDownControl::UpDownControl(QWidget* parent) : QAbstractSpinBox(parent) {
    // Only the arrows show; the number lives in the buddy.
    setButtonSymbols(QAbstractSpinBox::UpDownArrows);
    lineEdit()->setReadOnly(true);
    lineEdit()->setFocusPolicy(Qt::NoFocus);
    setFocusPolicy(Qt::NoFocus);
}

void UpDownControl::setBuddy(QLineEdit* buddy) {
    if (buddy_) buddy_->removeEventFilter(this);
    buddy_ = buddy;
    buddyObject_ = buddy;
    if (!buddy_) return;
    buddy_->installEventFilter(this);
    const QRect edit = buddy_->geometry();
    const int width = std::min(this->width(), edit.width() / 2);
    buddy_->setGeometry(edit.x(), edit.y(), edit.width() - width, edit.height());
    setGeometry(edit.x() + edit.width() - width, edit.y(), width, edit.height());
}

void UpDownControl::stepBy(int steps) {
    if (buddy_.isNull()) return;
    buddy_->setText(QString::fromStdString(vostrel::program::steppedTime(buddy_->text().toStdString(), steps)));
}

QAbstractSpinBox::StepEnabled UpDownControl::stepEnabled() const {
    return buddy_.isNull() ? StepNone : (StepUpEnabled | StepDownEnabled);
}

bool UpDownControl::eventFilter(QObject* watched, QEvent* event) {
    if (watched == buddyObject_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            stepBy(key == Qt::Key_Up ? 1 : -1);
            return true;
        }
    }
    return QAbstractSpinBox::eventFilter(watched, event);
}

}  // namespace talvern

#include "message_box.h"

#include <QLabel>
#include <QPushButton>

namespace talvern {

namespace {

// Details are lines such as folder names or commands, shown whole rather
// than wrapped at any blank.
void keepDetailLinesWhole(QMessageBox& box) {
    if (auto* detailsLabel = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel"))) {
        detailsLabel->setWordWrap(false);
    }
}

}  // namespace

QMessageBox::StandardButton warningBox(QWidget* owner, const QString& caption, const QString& text,
                                       QMessageBox::StandardButtons buttons, const QString& details) {
    QMessageBox box(QMessageBox::Warning, caption, text, buttons, owner);
    box.setInformativeText(details);
    keepDetailLinesWhole(box);
    box.setWindowModality(Qt::WindowModal);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

bool confirmBox(QWidget* owner, const QString& caption, const QString& text, const QString& action) {
    QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::Cancel, owner);
    QPushButton* confirm = box.addButton(action, QMessageBox::AcceptRole);
    box.setDefaultButton(QMessageBox::Cancel);
    box.setWindowModality(Qt::WindowModal);
    box.exec();
    return box.clickedButton() == confirm;
}

void informationBox(QWidget* owner, const QString& caption, const QString& text, const QString& details) {
    auto* box = new QMessageBox(QMessageBox::Information, caption, text, QMessageBox::Ok, owner);
    box->setInformativeText(details);
    keepDetailLinesWhole(*box);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
}

}  // namespace talvern

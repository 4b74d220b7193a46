#include "message_box.h"

namespace talvern {

QMessageBox::StandardButton warningBox(QWidget* owner, const QString& caption, const QString& text,
                                       QMessageBox::StandardButtons buttons) {
    QMessageBox box(QMessageBox::Warning, caption, text, buttons, owner);
    box.setWindowModality(Qt::WindowModal);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

}  // namespace talvern

#include "message_box.h"

namespace talvern {

QMessageBox::StandardButton warningBox(QWidget* owner, const QString& caption, const QString& text,
                                       QMessageBox::StandardButtons buttons, const QString& details) {
    QMessageBox box(QMessageBox::Warning, caption, text, buttons, owner);
    box.setInformativeText(details);
    box.setWindowModality(Qt::WindowModal);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

}  // namespace talvern

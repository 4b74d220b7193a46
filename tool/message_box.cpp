#include "message_box.h"

#include <QLabel>

namespace talvern {

QMessageBox::StandardButton warningBox(QWidget* owner, const QString& caption, const QString& text,
                                       QMessageBox::StandardButtons buttons, const QString& details) {
    QMessageBox box(QMessageBox::Warning, caption, text, buttons, owner);
    box.setInformativeText(details);
    // Details are lines such as folder names, shown whole rather than wrapped at any blank.
    if (auto* detailsLabel = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel"))) {
        detailsLabel->setWordWrap(false);
    }
    box.setWindowModality(Qt::WindowModal);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

}  // namespace talvern

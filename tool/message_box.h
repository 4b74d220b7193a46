// The program's message boxes. Like its dialogs, they block only the window
// that owns them: the notification-area icon and its menu stay usable.
#pragma once

#include <QMessageBox>

namespace talvern {

// Shows a warning with `buttons` over `owner` and returns the button chosen.
// `details`, when given, stands under the text in a smaller font.
QMessageBox::StandardButton warningBox(QWidget* owner, const QString& caption, const QString& text,
                                       QMessageBox::StandardButtons buttons, const QString& details = {});

// Asks over `owner`, with a button that does what `action` says and Cancel;
// true when the action was chosen.
bool confirmBox(QWidget* owner, const QString& caption, const QString& text, const QString& action);

// Shows an information over `owner` without waiting for it: the window
// stays usable, and the box goes when it is closed.
void informationBox(QWidget* owner, const QString& caption, const QString& text, const QString& details = {});

}  // namespace talvern

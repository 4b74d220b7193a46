// Texts of the program that are not part of a dialog layout: the string
// table, the two message boxes and the notification-area tip.
#pragma once

#include <QString>

namespace talvern {

// String 101: the about item of the main window's system menu.
inline QString aboutMenuText() { return QStringLiteral("バージョン情報 Talvern(&A)..."); }

// The tip of the notification-area icon, also the name of the single-instance lock.
inline QString instanceName() { return QStringLiteral("RAV_UVIDARO_4"); }

inline QString vendorLibraryErrorCaption() { return QStringLiteral("ERROR"); }
inline QString vendorLibraryErrorText() {
    return QStringLiteral("pt2lib.dllが読み込めません。\r\nアプリケーションを終了します。");
}

inline QString deleteLogCaption() { return QStringLiteral("Caution"); }
inline QString deleteLogText() { return QStringLiteral("Logファイルを削除します。\r\nよろしいですか？"); }

}  // namespace talvern

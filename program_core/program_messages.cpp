#include "program_core/program_messages.h"

#include "program_core/port_texts.h"

namespace vostrel::program {
namespace {

std::string place(const PortView& port) {
    return "port " + std::to_string(port.portIndex + 1) + " of hub " + std::to_string(port.hubIndex);
}

}  // namespace

std::string instanceName() { return "RAV_UVIDARO_4"; }

std::string aboutMenuText() { return "バージョン情報 Talvern(&A)..."; }

std::string vendorLibraryErrorCaption() { return "ERROR"; }
std::string vendorLibraryErrorText() { return "pt2lib.dllが読み込めません。\r\nアプリケーションを終了します。"; }

std::string deleteLogCaption() { return "Caution"; }
std::string deleteLogText() { return "Logファイルを削除します。\r\nよろしいですか？"; }

std::string refusedSwitchCaption() { return "Port power"; }

std::string refusedSwitchText(const PortView& port, bool on, const std::string& reason) {
    return "The hub library could not switch " + place(port) + (on ? " on: " : " off: ") + reason + '.';
}

std::string watchedPortOffCaption() { return "Auto Recovery"; }

std::string watchedPortOffText(const PortView& port) {
    return deviceName(port.manufacturer, port.product) + " on " + place(port) +
           " is on the auto recovery list and auto recovery is running: the monitor would switch the port on "
           "again at its next check. Stop watching the device and switch the port off?";
}

std::string stopWatchingAndSwitchOffText() { return "Stop watching and switch off"; }

std::string portChangedCaption() { return "Port"; }

std::string portChangedText() {
    return "The hubs or the device on this port changed since the menu was opened; nothing was done. The tree "
           "shows them as they are now.";
}

}  // namespace vostrel::program

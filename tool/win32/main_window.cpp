#include "main_window.h"

#include <commctrl.h>

#include <algorithm>

#include "about_box.h"
#include "platform/wide_text.h"
#include "program_core/port_commands.h"
#include "program_core/port_texts.h"
#include "program_core/program_messages.h"
#include "program_core/vendor_diagnostics.h"
#include "resources/resource.h"
#include "scan/hub_identity.h"
#include "watch_list_dialog.h"

namespace talvern {

using namespace vostrel::program;
using platform::utf16;
using platform::wide;

namespace {

HTREEITEM insertItem(HWND tree, HTREEITEM parent, const std::string& label, int data) {
    const std::u16string text = utf16(label);
    TVINSERTSTRUCTW insert{};
    insert.hParent = parent;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT | TVIF_PARAM;
    insert.item.pszText = const_cast<wchar_t*>(wide(text));
    insert.item.lParam = data;
    return reinterpret_cast<HTREEITEM>(::SendMessageW(tree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
}

LPARAM itemData(HWND tree, HTREEITEM item) {
    TVITEMW entry{};
    entry.mask = TVIF_PARAM;
    entry.hItem = item;
    ::SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&entry));
    return entry.lParam;
}

void enable(HMENU menu, UINT command, bool enabled) {
    ::EnableMenuItem(menu, command, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
}

// No record holds a hub's serial number: a scan of the program's own, through
// the library's scan code linked in, tells the hubs apart.
std::vector<HubIdentity> hubsOnTheBusNow() {
    std::vector<HubIdentity> identities;
    for (const vostrel::ScannedHub& hub : vostrel::scanHubsNow()) {
        identities.push_back({platform::utf8(hub.serial), hub.location});
    }
    return identities;
}

// A tooltip breaks its lines at CR LF.
std::string tipLines(const std::string& text) {
    std::string lines;
    for (const char c : text) {
        if (c == '\n') lines += '\r';
        lines += c;
    }
    return lines;
}

}  // namespace

void MainWindow::run(HWND tray) {
    tray_ = tray;
    ModalDialog::run(IDD_MYTALVERN_DIALOG, tray);
}

bool MainWindow::initialise() {
    if (const HMENU system = ::GetSystemMenu(window(), FALSE)) {
        const std::u16string about = utf16(aboutMenuText());
        ::AppendMenuW(system, MF_SEPARATOR, 0, nullptr);
        ::AppendMenuW(system, MF_STRING, IDM_ABOUTBOX, wide(about));
    }
    icon_ = ::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME));
    ::SendMessageW(window(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
    ::SendMessageW(window(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon_));
    ::CheckDlgButton(window(), IDC_CHECK_AUTO_RECOVERY, library_.recoveryStored() != 0 ? BST_CHECKED : BST_UNCHECKED);

    std::vector<HubIdentity> hubs;
    readBus(hubs);
    if (bus_ && !bus_->hubs.empty() && library_.initVendorLibrary() == 0) {
        const std::string searched =
            vendorLibrarySearchText(reinterpret_cast<const void*>(library_.initVendorLibrary));
        ask(vendorLibraryErrorText() + "\r\n\r\n" + searched, vendorLibraryErrorCaption(), MB_ICONEXCLAMATION | MB_OK);
        ::EndDialog(window(), IDCANCEL);
        ::PostMessageW(tray_, WM_CLOSE, 0, 0);
        return true;
    }
    fillHubTree();
    return true;
}

bool MainWindow::readBus(std::vector<HubIdentity>& hubs) {
    hubs = hubsOnTheBusNow();
    auto bus = readBusView(library_);
    if (!bus) return false;
    attachHubIdentities(*bus, hubs);
    bus_ = std::move(bus);
    return true;
}

void MainWindow::refreshHubTree() {
    // A failed read keeps the old items; their commands then find no port.
    std::vector<HubIdentity> hubs;
    if (readBus(hubs)) fillHubTree();
}

void MainWindow::fillHubTree() {
    const HWND tree = item(IDC_TREE_HUB);
    TreeView_DeleteAllItems(tree);
    for (const HubView& hub : bus_->hubs) {
        const HTREEITEM hubItem = insertItem(tree, TVI_ROOT, hubLabel(hub.hubIndex), hub.hubIndex);
        for (const PortView& port : hub.ports) insertItem(tree, hubItem, portLabel(port), port.portIndex);
        TreeView_Expand(tree, hubItem, TVE_EXPAND);
    }
}

const PortView* MainWindow::selectedPort() const {
    const HWND tree = item(IDC_TREE_HUB);
    const HTREEITEM selected = TreeView_GetSelection(tree);
    if (selected == nullptr || !bus_) return nullptr;
    const HTREEITEM hub = TreeView_GetParent(tree, selected);
    if (hub == nullptr) return nullptr;
    return bus_->port(static_cast<int>(itemData(tree, hub)), static_cast<int>(itemData(tree, selected)));
}

// Hubs by their item data, ports by their hub's and their own.
void MainWindow::showToolTip(NMTVGETINFOTIPW& request) const {
    if (!bus_ || request.pszText == nullptr || request.cchTextMax <= 0) return;
    const HWND tree = item(IDC_TREE_HUB);
    const HTREEITEM hub = TreeView_GetParent(tree, request.hItem);
    std::string tip;
    if (hub == nullptr) {
        const auto index = static_cast<std::size_t>(request.lParam);
        if (request.lParam >= 0 && index < bus_->hubs.size()) tip = hubToolTip(bus_->hubs[index]);
    } else if (const PortView* port =
                   bus_->port(static_cast<int>(itemData(tree, hub)), static_cast<int>(request.lParam))) {
        tip = portToolTip(*port);
    }
    const std::u16string text = utf16(tipLines(tip));
    const std::size_t units = std::min(text.size(), static_cast<std::size_t>(request.cchTextMax - 1));
    std::copy_n(wide(text), units, request.pszText);
    request.pszText[units] = L'\0';
}

void MainWindow::showPortMenu(POINT screenPoint) {
    const PortView* port = selectedPort();
    if (port == nullptr) return;
    // The command acts on the port the menu was opened for: the tree may be
    // read again, and the selection lost or moved, while the menu is up.
    const PortTarget target = portTarget(*bus_, port->hubIndex, port->portIndex);
    const PortCommands allowed = allowedCommands(*port);
    const HMENU menu = ::LoadMenuW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MENU_ONOFF));
    const HMENU popup = ::GetSubMenu(menu, 0);
    enable(popup, ID_PORT_ON, allowed.portOn);
    enable(popup, ID_PORT_OFF, allowed.portOff);
    enable(popup, ID_ADD_AUTO_RECOVERY_LIST, allowed.addToWatchList);
    const auto command = static_cast<UINT>(::TrackPopupMenu(popup, TPM_LEFTALIGN | TPM_LEFTBUTTON | TPM_RETURNCMD,
                                                            screenPoint.x, screenPoint.y, 0, window(), nullptr));
    ::DestroyMenu(menu);
    runPortCommand(command, target);
}

void MainWindow::onTreeRightClick() {
    const HWND tree = item(IDC_TREE_HUB);
    POINT cursor{};
    ::GetCursorPos(&cursor);
    TVHITTESTINFO hit{};
    hit.pt = cursor;
    ::ScreenToClient(tree, &hit.pt);
    TreeView_HitTest(tree, &hit);
    // Only a click on an item's label opens the menu, for that item.
    if (hit.hItem == nullptr || (hit.flags & TVHT_ONITEMLABEL) == 0) return;
    TreeView_SelectItem(tree, hit.hItem);
    showPortMenu(cursor);
}

void MainWindow::onContextMenuKey() {
    const HWND tree = item(IDC_TREE_HUB);
    const HTREEITEM selected = TreeView_GetSelection(tree);
    RECT label{};
    if (selected == nullptr || !TreeView_GetItemRect(tree, selected, &label, TRUE)) return;
    POINT corner{label.left, label.bottom};
    ::ClientToScreen(tree, &corner);
    showPortMenu(corner);
}

void MainWindow::runPortCommand(UINT command, const PortTarget& target) {
    if (command == 0) return;  // the menu was closed without a choice
    // Nothing acts on another hub or another device than the menu showed.
    std::vector<HubIdentity> hubsNow;
    if (!readBus(hubsNow) || !stillTheSamePort(target, hubsNow, *bus_)) {
        fillHubTree();
        ask(portChangedText(), portChangedCaption(), MB_ICONINFORMATION | MB_OK);
        return;
    }
    const PortView port = *bus_->port(target.hubIndex, target.portIndex);
    switch (command) {
        case ID_PORT_ON: switchPort(port, true); break;
        case ID_PORT_OFF: switchPort(port, false); break;
        case ID_ADD_AUTO_RECOVERY_LIST:
            addToWatchList(library_, port.hubIndex, port.portIndex);
            refreshHubTree();
            break;
        default: break;
    }
}

void MainWindow::switchPort(const PortView& port, bool on) {
    if (!on && portOffIsUndoneByMonitor(port, library_.recoveryStored() != 0)) {
        if (ask(watchedPortOffText(port), watchedPortOffCaption(), MB_ICONQUESTION | MB_OKCANCEL) != IDOK) return;
        removeFromWatchList(library_, port.hubIndex, port.portIndex);
    }
    const SwitchOutcome outcome = vostrel::program::switchPort(library_, port.hubIndex, port.portIndex, on);
    if (!outcome.done) {
        std::string text = refusedSwitchText(port, on, outcome.refusal);
        if (!outcome.advice.empty()) text += "\r\n\r\n" + outcome.advice;
        ask(text, refusedSwitchCaption(), MB_ICONWARNING | MB_OK);
    }
    // The system reports the device's coming or going as a device change;
    // a bench without one (the simulator) shows it through this read.
    refreshHubTree();
}

bool MainWindow::handle(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
    switch (message) {
        case WM_NOTIFY: {
            const auto& header = *reinterpret_cast<const NMHDR*>(lParam);
            if (header.idFrom != IDC_TREE_HUB) return false;
            if (header.code == TVN_GETINFOTIPW) {
                showToolTip(*reinterpret_cast<NMTVGETINFOTIPW*>(lParam));
                return true;
            }
            if (header.code != NM_RCLICK) return false;
            onTreeRightClick();
            // The tree's own right-click handling would send WM_CONTEXTMENU.
            ::SetWindowLongPtrW(window(), DWLP_MSGRESULT, TRUE);
            result = TRUE;
            return true;
        }
        case WM_CONTEXTMENU:
            // The Menu key or Shift+F10 in the tree: the menu at the selected item.
            if (reinterpret_cast<HWND>(wParam) != item(IDC_TREE_HUB) || static_cast<DWORD>(lParam) != 0xFFFFFFFF) {
                return false;
            }
            onContextMenuKey();
            return true;
        case WM_SYSCOMMAND:
            if ((wParam & 0xFFF0) != IDM_ABOUTBOX) return false;
            AboutBox().run(window());
            return true;
        case WM_COMMAND: {
            const int id = LOWORD(wParam);
            switch (id) {
                case IDOK:
                case IDCANCEL: ::EndDialog(window(), id); return true;
                case IDC_BUTTON_AUTO_RECOVERY_LIST:
                    WatchListDialog(library_).run(window());
                    return true;
                case IDC_CHECK_AUTO_RECOVERY:
                    if (::IsDlgButtonChecked(window(), IDC_CHECK_AUTO_RECOVERY) == BST_CHECKED) {
                        library_.startRecovery();
                    } else {
                        library_.stopRecovery();
                    }
                    return true;
                default: return false;
            }
        }
        default: return false;
    }
}

}  // namespace talvern

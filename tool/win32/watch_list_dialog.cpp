#include "watch_list_dialog.h"

#include <commctrl.h>

#include <cstdio>

#include "log_viewer.h"
#include "program_core/log_file.h"
#include "program_core/program_messages.h"
#include "program_core/time_box_rule.h"
#include "program_core/watch_list.h"
#include "report_list.h"
#include "resources/resource.h"

namespace talvern {

using namespace vostrel::program;

void WatchListDialog::run(HWND owner) { ModalDialog::run(IDD_AUTO_RECOVER, owner); }

bool WatchListDialog::initialise() {
    setUpReportList(item(IDC_LIST_DEVICE),
                    {{"Index", 50}, {"Port", 50}, {"VID", 50}, {"PID", 50}, {"Device Name", 230}});
    fillDeviceList();
    for (const int spin : {IDC_SPIN_INTERVAL_TIME, IDC_SPIN_OFF_TIME}) {
        ::SendMessageW(item(spin), UDM_SETRANGE32, kShortestTime, kLongestTime);
    }
    std::uint8_t interval = 0;
    std::uint8_t offTime = 0;
    library_.getTimes(&interval, &offTime);
    // Each text passes through the box's rule (EN_UPDATE): a stored 0 shows as 3.
    setItemText(IDC_EDIT_INTERVAL_TIME, std::to_string(interval));
    setItemText(IDC_EDIT_OFF_TIME, std::to_string(offTime));
    return true;
}

void WatchListDialog::fillDeviceList() {
    const HWND list = item(IDC_LIST_DEVICE);
    ListView_DeleteAllItems(list);
    // Row i shows entry i.
    for (const WatchRow& row : readWatchList(library_)) {
        appendRow(list, {row.hubIndex, row.portNumber, row.vendorId, row.productId, row.deviceName});
    }
}

void WatchListDialog::showRowMenu() {
    const int row = firstSelectedRow(item(IDC_LIST_DEVICE));
    DeviceInfoRecord entry{};
    if (row < 0 || library_.watchedAtIndex(&entry, static_cast<std::uint8_t>(row)) == 0) return;
    const HMENU menu = ::LoadMenuW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MENU_AUTOCHECK));
    POINT cursor{};
    ::GetCursorPos(&cursor);
    ::TrackPopupMenu(::GetSubMenu(menu, 0), 0, cursor.x, cursor.y, 0, window(), nullptr);
    ::DestroyMenu(menu);
}

void WatchListDialog::removeSelected() {
    const int row = firstSelectedRow(item(IDC_LIST_DEVICE));
    if (row >= 0 && removeWatchEntry(library_, row)) fillDeviceList();
}

void WatchListDialog::keepTimeInRange(int box) {
    if (const auto replacement = timeWhileTyping(itemText(box))) setItemText(box, *replacement);
}

void WatchListDialog::storeTimesAndClose() {
    for (const int box : {IDC_EDIT_INTERVAL_TIME, IDC_EDIT_OFF_TIME}) setItemText(box, finishedTime(itemText(box)));
    library_.setTimes(storedTime(itemText(IDC_EDIT_INTERVAL_TIME)), storedTime(itemText(IDC_EDIT_OFF_TIME)));
    // The monitor takes the times when it starts: a running one is started anew.
    if (library_.recoveryStored() != 0) {
        library_.stopRecovery();
        library_.startRecovery();
    }
    ::EndDialog(window(), IDOK);
}

void WatchListDialog::deleteLog() {
    if (ask(deleteLogText(), deleteLogCaption(), MB_ICONWARNING | MB_OKCANCEL) != IDOK) return;
    std::remove(kEventLogFileName);
}

bool WatchListDialog::notify(const NMHDR& header, INT_PTR& result) {
    if (header.idFrom == IDC_LIST_DEVICE && header.code == NM_RCLICK) {
        showRowMenu();
        result = 0;
        return true;
    }
    if (header.idFrom == IDC_LIST_DEVICE && header.code == LVN_KEYDOWN &&
        reinterpret_cast<const NMLVKEYDOWN&>(header).wVKey == VK_DELETE) {
        removeSelected();
        result = 0;
        return true;
    }
    if ((header.idFrom == IDC_SPIN_INTERVAL_TIME || header.idFrom == IDC_SPIN_OFF_TIME) &&
        header.code == UDN_DELTAPOS) {
        // The arrows step within the boxes' range, from what the box shows.
        const int box = header.idFrom == IDC_SPIN_INTERVAL_TIME ? IDC_EDIT_INTERVAL_TIME : IDC_EDIT_OFF_TIME;
        setItemText(box, steppedTime(itemText(box), reinterpret_cast<const NMUPDOWN&>(header).iDelta));
        ::SetWindowLongPtrW(window(), DWLP_MSGRESULT, TRUE);
        result = TRUE;
        return true;
    }
    return false;
}

bool WatchListDialog::handle(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
    if (message == WM_NOTIFY) return notify(*reinterpret_cast<const NMHDR*>(lParam), result);
    if (message != WM_COMMAND) return false;
    const int id = LOWORD(wParam);
    const int code = HIWORD(wParam);
    switch (id) {
        case IDOK: storeTimesAndClose(); return true;
        case IDCANCEL: ::EndDialog(window(), IDCANCEL); return true;
        case ID_REMOVE_AUTO_RECOVERY_LIST: removeSelected(); return true;
        case IDC_BUTTON_SHOW_LOG:
            if (code != BN_CLICKED) return false;
            LogViewer().run(window());
            return true;
        case IDC_BUTTON_DELETE_LOG:
            if (code != BN_CLICKED) return false;
            deleteLog();
            return true;
        case IDC_EDIT_INTERVAL_TIME:
        case IDC_EDIT_OFF_TIME:
            if (code == EN_UPDATE) {
                keepTimeInRange(id);
            } else if (code == EN_KILLFOCUS) {
                setItemText(id, finishedTime(itemText(id)));
            } else {
                return false;
            }
            return true;
        default: return false;
    }
}

}  // namespace talvern

// Loaded into Talvern's process as talvern_driver's message hook: asks the
// main window for a tree item's tooltip the way the tree does when the
// pointer rests on the item (Wine's tree never asks), on the window's own
// thread, since WM_NOTIFY cannot cross processes.
//   posted to the main window: message "TalvernTreeTipProbe", wParam the
//   item, lParam the window that gets the text by WM_COPYDATA
#include <windows.h>

#include <commctrl.h>

namespace {

constexpr int kTreeId = 1000;
constexpr int kTipUnits = 1024;

void answer(HWND window, WPARAM item, LPARAM replyTo) {
    const HWND tree = ::GetDlgItem(window, kTreeId);
    TVITEMW entry{};
    entry.mask = TVIF_PARAM;
    entry.hItem = reinterpret_cast<HTREEITEM>(item);
    ::SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&entry));
    wchar_t tip[kTipUnits] = {};
    NMTVGETINFOTIPW request{};
    request.hdr.hwndFrom = tree;
    request.hdr.idFrom = kTreeId;
    request.hdr.code = TVN_GETINFOTIPW;
    request.pszText = tip;
    request.cchTextMax = kTipUnits;
    request.hItem = entry.hItem;
    request.lParam = entry.lParam;
    ::SendMessageW(window, WM_NOTIFY, kTreeId, reinterpret_cast<LPARAM>(&request));
    COPYDATASTRUCT text{};
    text.cbData = static_cast<DWORD>(::lstrlenW(tip) * sizeof(wchar_t));
    text.lpData = tip;
    ::SendMessageW(reinterpret_cast<HWND>(replyTo), WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&text));
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK treeTipProbe(int code, WPARAM wParam, LPARAM lParam) {
    static const UINT probe = ::RegisterWindowMessageW(L"TalvernTreeTipProbe");
    auto& message = *reinterpret_cast<MSG*>(lParam);
    if (code == HC_ACTION && wParam == PM_REMOVE && message.message == probe) {
        answer(message.hwnd, message.wParam, message.lParam);
        message.message = WM_NULL;
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

#include "modal_dialog.h"

#include <vector>

#include "platform/wide_text.h"

namespace talvern {

using platform::fromWide;
using platform::utf16;
using platform::utf8;
using platform::wide;

INT_PTR ModalDialog::run(int resource, HWND owner) {
    const INT_PTR result = ::DialogBoxParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(resource), owner,
                                             &ModalDialog::procedure, reinterpret_cast<LPARAM>(this));
    window_ = nullptr;
    return result;
}

INT_PTR CALLBACK ModalDialog::procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* dialog = reinterpret_cast<ModalDialog*>(lParam);
        ::SetWindowLongPtrW(window, DWLP_USER, lParam);
        dialog->window_ = window;
        return dialog->initialise() ? TRUE : FALSE;
    }
    auto* dialog = reinterpret_cast<ModalDialog*>(::GetWindowLongPtrW(window, DWLP_USER));
    if (dialog == nullptr) return FALSE;
    INT_PTR result = TRUE;
    if (!dialog->handle(message, wParam, lParam, result)) return FALSE;
    return result;
}

bool ModalDialog::handle(UINT message, WPARAM wParam, LPARAM, INT_PTR&) {
    if (message != WM_COMMAND) return false;
    const int id = LOWORD(wParam);
    if (id != IDOK && id != IDCANCEL) return false;
    ::EndDialog(window(), id);
    return true;
}

std::string ModalDialog::itemText(int id) const {
    const HWND control = item(id);
    const int length = ::GetWindowTextLengthW(control);
    std::vector<wchar_t> text(static_cast<std::size_t>(length) + 1, L'\0');
    ::GetWindowTextW(control, text.data(), length + 1);
    return utf8(fromWide(text.data()));
}

void ModalDialog::setItemText(int id, const std::string& text) const {
    const std::u16string units = utf16(text);
    ::SetDlgItemTextW(window_, id, wide(units));
}

int ModalDialog::ask(const std::string& text, const std::string& caption, UINT style) const {
    return messageBox(window_, text, caption, style);
}

int messageBox(HWND owner, const std::string& text, const std::string& caption, UINT style) {
    const std::u16string wideText = utf16(text);
    const std::u16string wideCaption = utf16(caption);
    return ::MessageBoxW(owner, wide(wideText), wide(wideCaption), style);
}

}  // namespace talvern

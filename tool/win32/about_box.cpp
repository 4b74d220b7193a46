#include "about_box.h"

#include "resources/resource.h"

namespace talvern {

void AboutBox::run(HWND owner) { ModalDialog::run(IDD_ABOUTBOX, owner); }

bool AboutBox::handle(UINT message, WPARAM wParam, LPARAM, INT_PTR&) {
    if (message != WM_COMMAND) return false;
    const int id = LOWORD(wParam);
    if (id != IDOK && id != IDCANCEL) return false;
    ::EndDialog(window(), id);
    return true;
}

}  // namespace talvern

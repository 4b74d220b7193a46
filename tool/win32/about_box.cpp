#include "about_box.h"

#include "resources/resource.h"

namespace talvern {

void AboutBox::run(HWND owner) { ModalDialog::run(IDD_ABOUTBOX, owner); }

}  // namespace talvern

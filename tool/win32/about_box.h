// The about box: the icon, the program's name and version, OK.
#pragma once

#include "modal_dialog.h"

namespace talvern {

class AboutBox final : public ModalDialog {
public:
    void run(HWND owner);

private:
    bool initialise() override { return true; }
};

}  // namespace talvern

// "Auto Recovery Log": the recovery event log as a read-only table, one row
// per line, oldest first, read once when the window opens.
#pragma once

#include "modal_dialog.h"

namespace talvern {

class LogViewer final : public ModalDialog {
public:
    void run(HWND owner);

private:
    bool initialise() override;
};

}  // namespace talvern

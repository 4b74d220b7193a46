// "Auto Recovery Device List": the watched devices, their removal, the
// monitor's two times, the event log shown or deleted. Everything it shows
// is read from the hub library when it opens and after each removal.
#pragma once

#include "modal_dialog.h"
#include "program_core/hub_library.h"

namespace talvern {

class WatchListDialog final : public ModalDialog {
public:
    explicit WatchListDialog(const vostrel::program::HubLibrary& library) : library_(library) {}
    void run(HWND owner);

private:
    bool initialise() override;
    bool handle(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;
    bool notify(const NMHDR& header, INT_PTR& result);

    void fillDeviceList();
    void showRowMenu();
    void removeSelected();
    void storeTimesAndClose();
    void deleteLog();
    // The time box's text as its rule wants it while the user types.
    void keepTimeInRange(int box);

    const vostrel::program::HubLibrary& library_;
};

}  // namespace talvern

// "RAV_Uvidaro 4Port": the family's hubs and their ports as a tree, the
// port commands, the watch list and the auto recovery switch. A modal
// dialog opened from the notification-area icon; the tree is read again
// whenever the bus changes while it is open.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <optional>
#include <vector>

#include "modal_dialog.h"
#include "program_core/bus_view.h"
#include "program_core/port_target.h"

namespace talvern {

class MainWindow final : public ModalDialog {
public:
    explicit MainWindow(const vostrel::program::HubLibrary& library) : library_(library) {}

    // Runs the window over the tray window `tray`; returns when it closes.
    // When the vendor library cannot be bound, says so and closes `tray`,
    // which ends the program.
    void run(HWND tray);
    bool isOpen() const { return window() != nullptr; }

    // Reads the bus again and rebuilds the tree.
    void refreshHubTree();

private:
    bool initialise() override;
    bool handle(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

    // The hubs by a scan of the program's own into `hubs`, then the bus read
    // after it, its hubs told apart where the two agree. False when the read
    // failed; the view then stays as it was.
    bool readBus(std::vector<vostrel::program::HubIdentity>& hubs);
    void fillHubTree();
    void showToolTip(NMTVGETINFOTIPW& request) const;
    // The port of the tree's selected item, as the last read of the bus saw it.
    const vostrel::program::PortView* selectedPort() const;
    void showPortMenu(POINT screenPoint);
    void onTreeRightClick();
    void onContextMenuKey();
    void runPortCommand(UINT command, const vostrel::program::PortTarget& target);
    void switchPort(const vostrel::program::PortView& port, bool on);

    const vostrel::program::HubLibrary& library_;
    HWND tray_ = nullptr;
    HICON icon_ = nullptr;
    std::optional<vostrel::program::BusView> bus_;
};

}  // namespace talvern

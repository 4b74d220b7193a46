// The main window "RAV_Uvidaro 4Port": every hub of the family with its four
// ports as a tree, the port commands, the watch-list dialog and the switch
// of the auto-recovery monitor. It keeps its own copy of the library's
// device-information block, with the program's port-power masks in bytes 2
// to 33 of its header. Each port shows its state as an icon and what is
// known about it as a tooltip; a status line under the buttons tells whether
// auto recovery runs and what the log's last event was.
#pragma once

#include <QDialog>
#include <QIcon>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <vostrel/hub_api.h>

#include "frame/records.h"
#include "log_viewer/log_file_watch.h"
#include "resources/port_state_icons.h"

class QMenu;
class QPoint;
class QTreeWidget;
class QTreeWidgetItem;

namespace Ui {
class CMyTalvernDlg;
}

namespace talvern {

class CMyTalvernDlg : public QDialog {
    Q_OBJECT
public:
    explicit CMyTalvernDlg(QWidget* parent = nullptr);
    ~CMyTalvernDlg() override;

    // Opens the window and runs it modally. Returns at once, rejected, when
    // the opening ends the program because the vendor library is missing.
    int DoModal();

    // True from the start of DoModal to its end.
    bool IsOpen() const { return m_open; }

    // Sets the check box from the monitor's state, binds the vendor library
    // when there is a hub (false, once the user has been told, when that
    // fails: the program must end), and fills the tree with fresh masks.
    bool OnInitDialog();

    // Reads the hubs again and brings the tree up to date; the masks, the
    // selection, the collapsed hubs and the scroll position are kept.
    void RefreshHubTree();

    // The port menu that a right click at `pos` (tree viewport coordinates)
    // shows, with its items greyed and its commands connected to that port;
    // null where a right click shows no menu. Selects the item under `pos`.
    std::unique_ptr<QMenu> CreatePortMenu(const QPoint& pos);

    // The port menu of the selected port, as the Menu key and Shift+F10 show
    // it; null when no port is selected.
    std::unique_ptr<QMenu> CreateSelectedPortMenu();

    // The window menu with the about item.
    std::unique_ptr<QMenu> CreateSystemMenu();
    void OnSysCommand(int id);

    // Bit p set: the program believes port index p of hub `hubIndex` is powered.
    std::uint8_t PortMask(int hubIndex) const;

signals:
    // The vendor library could not be bound; the program must end.
    void exitRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // What a port menu was opened for: the port, its hub's serial number
    // (none when not known) and the port's record as the window showed it.
    struct PortTarget {
        int hub;
        int port;
        std::optional<std::u16string> hubSerial;
        vostrel::PortInfoRecord shown;
    };

    void FillHubTree(const vostrel::DeviceInfoBlock& block);
    void decoratePorts();
    void updateStatusLine();
    std::uint8_t& portMask(int hubIndex);
    QTreeWidgetItem* itemLabelAt(const QPoint& pos) const;
    bool resolveSelectedPort(int& hubIndex, int& portIndex) const;
    std::unique_ptr<QMenu> createPortMenu(int hub, int port);

    void OnTreeRightClick(const QPoint& pos);
    bool stillTheSamePort(const PortTarget& target) const;
    void OnCommand(int id, const PortTarget& target);
    void OnPortOn(int hub, int port);
    void OnPortOff(int hub, int port);
    void OnAddAutoRecoveryList(int hub, int port);
    void OnAutoRecoveryList();
    void OnEnableAutoRecovery(bool checked);

    std::unique_ptr<Ui::CMyTalvernDlg> ui;
    QIcon m_hIcon;
    vostrel::DeviceInfoBlock m_deviceInfo{};
    // The serial numbers of the hubs in m_deviceInfo, by hub index; empty
    // when the hubs could not be told apart at the last re-read.
    std::vector<std::u16string> m_hubSerials;
    // Bit p set: port index p of that hub was switched off from this window
    // and not on again since the window opened.
    std::array<std::uint8_t, vostrel::kMaxHubs> m_switchedOff{};
    QTreeWidget* m_hubTree;
    PortStateIcons m_portIcons;
    LogFileWatch m_logWatch;
    bool m_open = false;
};

}  // namespace talvern

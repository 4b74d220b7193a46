// The main window "RAV_Uvidaro 4Port": a view of the bus as the programs'
// core reads it from the hub library - every hub of the family with its four
// ports as a tree, each port's state as an icon and its label and tooltip
// as the core words them - with the port commands the core allows, the
// watch-list dialog and the switch of the auto-recovery monitor. A status
// line under the buttons tells whether auto recovery runs and what the
// log's last event was.
#pragma once

#include <QDialog>
#include <QIcon>
#include <memory>

#include "log_viewer/log_file_watch.h"
#include "program_core/bus_view.h"
#include "program_core/port_target.h"
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
    // fails: the program must end), and fills the tree.
    bool OnInitDialog();

    // Reads the bus again and brings the tree up to date; the selection, the
    // collapsed hubs and the scroll position are kept.
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

    // The bus as the tree shows it: the library's answers at the last read.
    const vostrel::program::BusView& busView() const { return m_bus; }

signals:
    // The vendor library could not be bound; the program must end.
    void exitRequested();

    // The bus was read again, or auto recovery was switched.
    void stateChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FillHubTree();
    void updateStatusLine();
    vostrel::program::PortView portView(int hub, int port) const;
    QTreeWidgetItem* itemLabelAt(const QPoint& pos) const;
    bool resolveSelectedPort(int& hubIndex, int& portIndex) const;
    std::unique_ptr<QMenu> createPortMenu(int hub, int port);

    void OnTreeRightClick(const QPoint& pos);
    void OnCommand(int id, const vostrel::program::PortTarget& target);
    void OnPortOn(int hub, int port);
    void OnPortOff(int hub, int port);
    void OnAddAutoRecoveryList(int hub, int port);
    void switchPort(int hub, int port, bool on);
    void OnAutoRecoveryList();
    void OnEnableAutoRecovery(bool checked);

    std::unique_ptr<Ui::CMyTalvernDlg> ui;
    QIcon m_hIcon;
    vostrel::program::BusView m_bus;
    QTreeWidget* m_hubTree;
    PortStateIcons m_portIcons;
    LogFileWatch m_logWatch;
    bool m_open = false;
};

}  // namespace talvern

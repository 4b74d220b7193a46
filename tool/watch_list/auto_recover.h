// The dialog "Auto Recovery Device List": the watched devices, removal from
// the list (its menu, or the Delete key in the list), the interval and the
// off time, and the recovery event log. The rows, the removal and the time
// boxes' rules are the programs' core's.
#pragma once

#include <QDialog>
#include <memory>

#include "log_viewer/usb_log.h"

class QLineEdit;
class QMenu;
class QTreeWidget;

namespace Ui {
class CAutoRecover;
}

namespace talvern {

class CAutoRecover : public QDialog {
    Q_OBJECT
public:
    explicit CAutoRecover(QWidget* parent = nullptr);
    ~CAutoRecover() override;

    // Loads the list and the times from the library and runs the dialog modally.
    int DoModal();

    bool OnInitDialog();

    // The menu that a right click on the list shows, its command connected:
    // null when no row is selected or the library no longer has that entry.
    std::unique_ptr<QMenu> CreateListMenu();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void InitListColumns();
    void FillDeviceList();
    int firstSelectedRow() const;
    void applyTimeBoxRule(QLineEdit* box);
    void finishTimeBox(QLineEdit* box);

    void OnListRightClick();
    void OnRemoveAutoRecoveryList();
    void OnOkClicked();
    void OnUpdateIntervalTime();
    void OnUpdateOffTime();
    void OnDeleteLog();
    void OnShowLog();

    std::unique_ptr<Ui::CAutoRecover> ui;
    CUSB_Log m_logDlg;
    QTreeWidget* m_deviceList;
};

}  // namespace talvern

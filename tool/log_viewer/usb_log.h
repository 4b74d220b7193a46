// The dialog "Auto Recovery Log": the recovery event log as a numbered table,
// oldest event first. It reads the file afresh every time it is shown.
#pragma once

#include <QDialog>
#include <memory>

class QTreeWidget;

namespace Ui {
class CUSB_Log;
}

namespace talvern {

class CUSB_Log : public QDialog {
    Q_OBJECT
public:
    explicit CUSB_Log(QWidget* parent = nullptr);
    ~CUSB_Log() override;

    // Reads the log and runs the dialog modally.
    int DoModal();

    // Sets up the columns and loads the log file into the list.
    bool OnInitDialog();

private:
    void InitLogColumns();
    void LoadLogFile();

    std::unique_ptr<Ui::CUSB_Log> ui;
    QTreeWidget* m_logList;
};

}  // namespace talvern

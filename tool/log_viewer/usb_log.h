// The dialog "Auto Recovery Log": the recovery event log as a numbered table,
// oldest event first, each line's fields as the programs' core reads them,
// with the event's type in the last column. It reads the file afresh every time it is shown, and
// follows it while it is open: lines appended to the file become new rows.
#pragma once

#include <QDialog>
#include <memory>
#include <string>
#include <vector>

#include "log_viewer/log_file_watch.h"

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

    // Sets up the columns, loads the log file into the list and starts
    // following the file.
    bool OnInitDialog();

private:
    void InitLogColumns();
    void LoadLogFile();

    std::unique_ptr<Ui::CUSB_Log> ui;
    QTreeWidget* m_logList;
    LogFileWatch m_logWatch;
    std::vector<std::string> m_lines;  // the lines the rows show
};

}  // namespace talvern

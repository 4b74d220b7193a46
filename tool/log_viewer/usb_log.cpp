#include "log_viewer/usb_log.h"

#include <QTreeWidget>

#include "log_viewer/log_file.h"
#include "record_format.h"
#include "resources/list_columns.h"
#include "ui_usb_log.h"

namespace talvern {

CUSB_Log::CUSB_Log(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::CUSB_Log>()) {
    ui->setupUi(this);
    m_logList = ui->logList;
}

CUSB_Log::~CUSB_Log() = default;

int CUSB_Log::DoModal() {
    OnInitDialog();
    return exec();
}

bool CUSB_Log::OnInitDialog() {
    InitLogColumns();
    LoadLogFile();
    return true;
}

void CUSB_Log::InitLogColumns() {
    static constexpr ListColumn kColumns[] = {{"No", 30},  {"Date Time", 130}, {"HubIndex", 70},     {"Port", 50},
                                              {"VID", 50}, {"PID", 50},        {"Device Name", 215}};
    setListColumns(*m_logList, kColumns);
}

void CUSB_Log::LoadLogFile() {
    const QStringList lines = readLogLines(logFilePath());
    QList<QTreeWidgetItem*> rows;
    rows.reserve(lines.size());
    for (const QString& line : lines) {
        // The event code is not shown.
        const LogEvent event = parseLogLine(line);
        rows.append(new QTreeWidgetItem(QStringList{QString::number(rows.size() + 1), event.dateTime,
                                                    event.hubIndex, event.portNumber, event.vendorId,
                                                    event.productId, deviceName(event.manufacturer, event.product)}));
    }
    m_logList->addTopLevelItems(rows);
}

}  // namespace talvern

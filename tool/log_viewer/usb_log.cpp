#include "log_viewer/usb_log.h"

#include <QScrollBar>
#include <QTreeWidget>

#include "log_viewer/log_file.h"
#include "record_format.h"
#include "resources/list_columns.h"
#include "ui_usb_log.h"
#include "views/truncated_text_tips.h"

namespace talvern {

CUSB_Log::CUSB_Log(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::CUSB_Log>()) {
    ui->setupUi(this);
    m_logList = ui->logList;
    TruncatedTextTips::install(*m_logList);
    connect(&m_logWatch, &LogFileWatch::changed, this, &CUSB_Log::LoadLogFile);
    connect(this, &QDialog::finished, &m_logWatch, &LogFileWatch::stop);
}

CUSB_Log::~CUSB_Log() = default;

int CUSB_Log::DoModal() {
    OnInitDialog();
    return exec();
}

bool CUSB_Log::OnInitDialog() {
    InitLogColumns();
    m_lines.clear();
    LoadLogFile();
    m_logWatch.watch(logFilePath());
    return true;
}

void CUSB_Log::InitLogColumns() {
    static constexpr ListColumn kColumns[] = {{"No", 30},  {"Date Time", 130}, {"HubIndex", 70},     {"Port", 50},
                                              {"VID", 50}, {"PID", 50},        {"Device Name", 215}};
    setListColumns(*m_logList, kColumns);
}

// Brings the rows up to the file. When lines were only appended, the rows
// shown stay as they are (with their selection) and the new ones follow; a
// last line that was still being written is shown anew. A file rewritten or
// deleted is shown afresh.
void CUSB_Log::LoadLogFile() {
    const QStringList lines = readLogLines(logFilePath());
    qsizetype same = 0;
    while (same < m_lines.size() && same < lines.size() && m_lines[same] == lines[same]) ++same;
    if (same + 1 < m_lines.size()) same = 0;
    QScrollBar* scroll = m_logList->verticalScrollBar();
    const bool followEnd = !m_lines.isEmpty() && scroll->value() == scroll->maximum();
    while (m_logList->topLevelItemCount() > same) {
        delete m_logList->takeTopLevelItem(m_logList->topLevelItemCount() - 1);
    }
    m_lines = lines;

    QList<QTreeWidgetItem*> rows;
    rows.reserve(lines.size() - same);
    for (qsizetype i = same; i < lines.size(); ++i) {
        // The event code is not shown.
        const LogEvent event = parseLogLine(lines[i]);
        rows.append(new QTreeWidgetItem(QStringList{QString::number(i + 1), event.dateTime, event.hubIndex,
                                                    event.portNumber, event.vendorId, event.productId,
                                                    deviceName(event.manufacturer, event.product)}));
    }
    m_logList->addTopLevelItems(rows);
    if (followEnd && !rows.isEmpty()) m_logList->scrollToBottom();
}

}  // namespace talvern

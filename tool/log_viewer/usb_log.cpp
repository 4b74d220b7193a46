#include "log_viewer/usb_log.h"

#include <QFile>
#include <QScrollBar>
#include <QTreeWidget>

#include "log_viewer/log_file.h"
#include "program_core/log_file.h"
#include "program_core/log_line.h"
#include "program_core/port_texts.h"
#include "resources/list_columns.h"
#include "ui_usb_log.h"
#include "views/qt_text.h"
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
                                              {"VID", 50}, {"PID", 50},        {"Device Name", 215}, {"Event", 100}};
    setListColumns(*m_logList, kColumns);
}

// Brings the rows up to the file. When lines were only appended, the rows
// shown stay as they are (with their selection) and the new ones follow; a
// last line that was still being written is shown anew. A file rewritten or
// deleted is shown afresh.
void CUSB_Log::LoadLogFile() {
    namespace program = vostrel::program;
    std::vector<std::string> lines = program::readLogFile(QFile::encodeName(logFilePath()).toStdString());
    std::size_t same = 0;
    while (same < m_lines.size() && same < lines.size() && m_lines[same] == lines[same]) ++same;
    if (same + 1 < m_lines.size()) same = 0;
    QScrollBar* scroll = m_logList->verticalScrollBar();
    const bool followEnd = !m_lines.empty() && scroll->value() == scroll->maximum();
    while (static_cast<std::size_t>(m_logList->topLevelItemCount()) > same) {
        delete m_logList->takeTopLevelItem(m_logList->topLevelItemCount() - 1);
    }
    QList<QTreeWidgetItem*> rows;
    for (std::size_t i = same; i < lines.size(); ++i) {
        const program::LogLine line = program::readLogLine(lines[i]);
        rows.append(new QTreeWidgetItem(QStringList{
            QString::number(i + 1), qtText(line.dateTime), qtText(line.hubIndex), qtText(line.portNumber),
            qtText(line.vendorId), qtText(line.productId), qtText(program::deviceName(line.manufacturer, line.product)),
            qtText(program::eventName(line.eventCode))}));
    }
    m_lines = std::move(lines);
    m_logList->addTopLevelItems(rows);
    if (followEnd && !rows.isEmpty()) m_logList->scrollToBottom();
}

}  // namespace talvern

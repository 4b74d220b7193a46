#include "watch_list/auto_recover.h"

#include <QCursor>
#include <QFile>
#include <QKeyEvent>
#include <QMenu>
#include <QRegularExpressionValidator>
#include <QTreeWidget>

#include <vostrel/hub_api.h>

#include "frame/records.h"
#include "log_viewer/log_file.h"
#include "message_box.h"
#include "record_format.h"
#include "resources/list_columns.h"
#include "resources/menu_resources.h"
#include "resources/resource_ids.h"
#include "resources/texts.h"
#include "ui_auto_recover.h"
#include "views/truncated_text_tips.h"
#include "watch_list/time_box_rule.h"

namespace talvern {

CAutoRecover::CAutoRecover(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::CAutoRecover>()) {
    ui->setupUi(this);
    m_deviceList = ui->deviceList;
    TruncatedTextTips::install(*m_deviceList);
    m_deviceList->installEventFilter(this);

    // The time boxes take digits only.
    const QRegularExpression digits(QStringLiteral("[0-9]*"));
    for (QLineEdit* box : {ui->intervalTimeEdit, ui->offTimeEdit}) {
        box->setValidator(new QRegularExpressionValidator(digits, box));
    }
    ui->intervalTimeSpin->setBuddy(ui->intervalTimeEdit);
    ui->offTimeSpin->setBuddy(ui->offTimeEdit);

    connect(m_deviceList, &QWidget::customContextMenuRequested, this, &CAutoRecover::OnListRightClick);
    connect(ui->okButton, &QPushButton::clicked, this, &CAutoRecover::OnOkClicked);
    connect(ui->intervalTimeEdit, &QLineEdit::textChanged, this, &CAutoRecover::OnUpdateIntervalTime);
    connect(ui->offTimeEdit, &QLineEdit::textChanged, this, &CAutoRecover::OnUpdateOffTime);
    connect(ui->deleteLogButton, &QPushButton::clicked, this, &CAutoRecover::OnDeleteLog);
    connect(ui->showLogButton, &QPushButton::clicked, this, &CAutoRecover::OnShowLog);
}

CAutoRecover::~CAutoRecover() = default;

int CAutoRecover::DoModal() {
    OnInitDialog();
    return exec();
}

bool CAutoRecover::OnInitDialog() {
    InitListColumns();
    m_deviceList->clear();
    FillDeviceList();
    ui->intervalTimeSpin->setRange(0, 255);
    ui->offTimeSpin->setRange(0, 255);
    std::uint8_t interval = 0;
    std::uint8_t offTime = 0;
    Hub_GetAutoCheckTimeInfo(&interval, &offTime);
    ui->intervalTimeEdit->setText(QString::number(interval));
    ui->offTimeEdit->setText(QString::number(offTime));
    return true;
}

void CAutoRecover::InitListColumns() {
    static constexpr ListColumn kColumns[] = {{"Index", 50}, {"Port", 50}, {"VID", 50}, {"PID", 50}, {"Device Name", 230}};
    setListColumns(*m_deviceList, kColumns);
}

// Row i shows entry i: the list is always filled whole, in the library's
// order, so a row's position is the entry's index.
void CAutoRecover::FillDeviceList() {
    vostrel::DeviceInfoRecord record{};
    for (auto more = Hub_GetAutoCheckDeviceInfo(&record); more; more = Hub_GetNextAutoCheckDeviceInfo(&record)) {
        m_deviceList->addTopLevelItem(new QTreeWidgetItem(QStringList{
            QString::number(record.hubIndex), QString::number(record.portIndex + 1), hexId(record.vendorId),
            hexId(record.productId), deviceName(recordText(record.manufacturer), recordText(record.product))}));
    }
}

int CAutoRecover::firstSelectedRow() const {
    for (int row = 0; row < m_deviceList->topLevelItemCount(); ++row) {
        if (m_deviceList->topLevelItem(row)->isSelected()) return row;
    }
    return -1;
}

std::unique_ptr<QMenu> CAutoRecover::CreateListMenu() {
    const int row = firstSelectedRow();
    vostrel::DeviceInfoRecord record{};
    if (row < 0 || row > 255 || Hub_GetAutoCheckDeviceInfoIndex(&record, static_cast<std::uint8_t>(row)) == 0) {
        return nullptr;
    }
    auto menu = loadMenu(IDR_MENU_AUTOCHECK, this);
    connect(menuCommand(*menu, ID_REMOVE_AUTO_RECOVERY_LIST), &QAction::triggered, this,
            &CAutoRecover::OnRemoveAutoRecoveryList);
    return menu;
}

void CAutoRecover::OnListRightClick() {
    if (auto menu = CreateListMenu()) menu->exec(QCursor::pos());
}

bool CAutoRecover::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_deviceList && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete) {
        OnRemoveAutoRecoveryList();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void CAutoRecover::OnRemoveAutoRecoveryList() {
    const int row = firstSelectedRow();
    vostrel::DeviceInfoRecord record{};
    if (row < 0 || row > 255 || Hub_GetAutoCheckDeviceInfoIndex(&record, static_cast<std::uint8_t>(row)) == 0) {
        return;
    }
    Hub_DeleteAutoCheckDeviceInfo(&record);
    m_deviceList->clear();
    FillDeviceList();
}

void CAutoRecover::OnOkClicked() {
    Hub_SetAutoCheckTimeInfo(storedTime(ui->intervalTimeEdit->text()), storedTime(ui->offTimeEdit->text()));
    // The monitor takes the times only when it starts.
    if (Hub_GetAutoRecoveryStatus() != 0) {
        Hub_StopAutoRecovery();
        Hub_StartAutoRecovery();
    }
    accept();
}

void CAutoRecover::applyTimeBoxRule(QLineEdit* box) {
    // The corrected text raises this update once more, and then stays. It is
    // left selected, so that the next keystroke replaces it instead of
    // adding to it: clearing the box and typing 10 gives 10, not 310.
    if (const auto correction = timeBoxCorrection(box->text())) {
        box->setText(*correction);
        box->selectAll();
    }
}

void CAutoRecover::OnUpdateIntervalTime() { applyTimeBoxRule(ui->intervalTimeEdit); }

void CAutoRecover::OnUpdateOffTime() { applyTimeBoxRule(ui->offTimeEdit); }

void CAutoRecover::OnDeleteLog() {
    if (warningBox(this, deleteLogCaption(), deleteLogText(), QMessageBox::Ok | QMessageBox::Cancel) !=
        QMessageBox::Ok) {
        return;
    }
    QFile::remove(logFilePath());
}

void CAutoRecover::OnShowLog() {
    m_logDlg.setParent(this, m_logDlg.windowFlags());
    m_logDlg.DoModal();
}

}  // namespace talvern

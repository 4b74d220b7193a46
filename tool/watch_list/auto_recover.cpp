#include "watch_list/auto_recover.h"

#include <QCursor>
#include <QFile>
#include <QKeyEvent>
#include <QMenu>
#include <QRegularExpressionValidator>
#include <QTreeWidget>

#include "log_viewer/log_file.h"
#include "message_box.h"
#include "program_core/linked_hub_library.h"
#include "program_core/program_messages.h"
#include "program_core/time_box_rule.h"
#include "program_core/watch_list.h"
#include "resources/list_columns.h"
#include "resources/menu_resources.h"
#include "resources/resource_ids.h"
#include "ui_auto_recover.h"
#include "views/qt_text.h"
#include "views/truncated_text_tips.h"

namespace talvern {
namespace {

namespace program = vostrel::program;

const program::HubLibrary& hubLibrary() { return program::linkedHubLibrary(); }

}  // namespace

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
    for (QLineEdit* box : {ui->intervalTimeEdit, ui->offTimeEdit}) {
        connect(box, &QLineEdit::editingFinished, this, [this, box] { finishTimeBox(box); });
    }
    // The row that has the keyboard focus is the selected one, so that the
    // Delete key acts on the row the user sees marked.
    connect(m_deviceList, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* current) {
        if (current != nullptr && !current->isSelected()) m_deviceList->setCurrentItem(current, 0, QItemSelectionModel::ClearAndSelect);
    });
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
    std::uint8_t interval = 0;
    std::uint8_t offTime = 0;
    hubLibrary().getTimes(&interval, &offTime);
    ui->intervalTimeEdit->setText(qtText(program::finishedTime(std::to_string(interval))));
    ui->offTimeEdit->setText(qtText(program::finishedTime(std::to_string(offTime))));
    return true;
}

void CAutoRecover::InitListColumns() {
    static constexpr ListColumn kColumns[] = {{"Index", 50}, {"Port", 50}, {"VID", 50}, {"PID", 50}, {"Device Name", 230}};
    setListColumns(*m_deviceList, kColumns);
}

// Row i shows entry i: the list is always filled whole, in the library's
// order, so a row's position is the entry's index.
void CAutoRecover::FillDeviceList() {
    for (const program::WatchRow& row : program::readWatchList(hubLibrary())) {
        m_deviceList->addTopLevelItem(new QTreeWidgetItem(QStringList{
            qtText(row.hubIndex), qtText(row.portNumber), qtText(row.vendorId), qtText(row.productId),
            qtText(row.deviceName)}));
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
    DeviceInfoRecord record{};
    if (row < 0 || row > 255 || hubLibrary().watchedAtIndex(&record, static_cast<std::uint8_t>(row)) == 0) {
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
    if (!program::removeWatchEntry(hubLibrary(), firstSelectedRow())) return;
    m_deviceList->clear();
    FillDeviceList();
}

void CAutoRecover::OnOkClicked() {
    // The boxes show what is stored.
    finishTimeBox(ui->intervalTimeEdit);
    finishTimeBox(ui->offTimeEdit);
    hubLibrary().setTimes(program::storedTime(ui->intervalTimeEdit->text().toStdString()),
                          program::storedTime(ui->offTimeEdit->text().toStdString()));
    // The monitor takes the times only when it starts.
    if (hubLibrary().recoveryStored() != 0) {
        hubLibrary().stopRecovery();
        hubLibrary().startRecovery();
    }
    accept();
}

void CAutoRecover::applyTimeBoxRule(QLineEdit* box) {
    // The corrected text raises this update once more, and then stays. It is
    // left selected, so that the next keystroke replaces it instead of
    // adding to it: clearing the box and typing 10 gives 10, not 310.
    if (const auto correction = program::timeWhileTyping(box->text().toStdString())) {
        box->setText(qtText(*correction));
        box->selectAll();
    }
}

void CAutoRecover::finishTimeBox(QLineEdit* box) {
    const QString finished = qtText(program::finishedTime(box->text().toStdString()));
    if (finished != box->text()) box->setText(finished);
}

void CAutoRecover::OnUpdateIntervalTime() { applyTimeBoxRule(ui->intervalTimeEdit); }

void CAutoRecover::OnUpdateOffTime() { applyTimeBoxRule(ui->offTimeEdit); }

void CAutoRecover::OnDeleteLog() {
    if (warningBox(this, qtText(program::deleteLogCaption()), qtText(program::deleteLogText()),
                   QMessageBox::Ok | QMessageBox::Cancel) !=
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

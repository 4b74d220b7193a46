#include "main_window/my_talvern_dlg.h"

#include <QContextMenuEvent>
#include <QCursor>
#include <QFile>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QStyle>
#include <QTreeWidget>

#include <vostrel/hub_api.h>

#include "log_viewer/log_file.h"
#include "main_window/about_dlg.h"
#include "message_box.h"
#include "program_core/linked_hub_library.h"
#include "program_core/log_file.h"
#include "program_core/port_commands.h"
#include "program_core/port_texts.h"
#include "program_core/program_messages.h"
#include "program_core/status_line.h"
#include "program_core/vendor_diagnostics.h"
#include "resources/app_icon.h"
#include "resources/menu_resources.h"
#include "resources/resource_ids.h"
#include "scan/hub_identity.h"
#include "usbbus/utf.h"
#include "ui_my_talvern_dlg.h"
#include "views/qt_text.h"
#include "watch_list/auto_recover.h"

namespace talvern {
namespace {

namespace program = vostrel::program;

const program::HubLibrary& hubLibrary() { return program::linkedHubLibrary(); }

bool opensPortMenu(const QKeyEvent& key) {
    return key.key() == Qt::Key_Menu || (key.key() == Qt::Key_F10 && key.modifiers() == Qt::ShiftModifier);
}

}  // namespace

CMyTalvernDlg::CMyTalvernDlg(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::CMyTalvernDlg>()) {
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    m_hIcon = applicationIcon();
    m_hubTree = ui->hubTree;
    // Labels are shown whole; a long one scrolls the tree sideways.
    m_hubTree->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    m_hubTree->installEventFilter(this);
    m_hubTree->viewport()->installEventFilter(this);
    connect(&m_logWatch, &LogFileWatch::changed, this, &CMyTalvernDlg::updateStatusLine);

    connect(m_hubTree, &QWidget::customContextMenuRequested, this, &CMyTalvernDlg::OnTreeRightClick);
    connect(ui->autoRecoveryListButton, &QPushButton::clicked, this, &CMyTalvernDlg::OnAutoRecoveryList);
    connect(ui->enableAutoRecoveryCheck, &QCheckBox::clicked, this, &CMyTalvernDlg::OnEnableAutoRecovery);

    // The desktop's own window menu cannot take items, so a right click on
    // the window outside the tree opens the program's window menu.
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        CreateSystemMenu()->exec(mapToGlobal(pos));
    });
}

CMyTalvernDlg::~CMyTalvernDlg() = default;

int CMyTalvernDlg::DoModal() {
    m_open = true;
    const int result = OnInitDialog() ? exec() : QDialog::Rejected;
    m_logWatch.stop();
    m_open = false;
    return result;
}

bool CMyTalvernDlg::OnInitDialog() {
    setWindowIcon(m_hIcon);
    ui->enableAutoRecoveryCheck->setChecked(hubLibrary().recoveryStored() != 0);

    // The first scan only tells whether there is a hub to bind the vendor library for.
    const auto bus = std::make_unique<DeviceInfoBlock>();
    if (hubLibrary().getDeviceInfo(bus.get()) != 0 && bus->hubCount > 0 && hubLibrary().initVendorLibrary() == 0) {
        warningBox(this, qtText(program::vendorLibraryErrorCaption()), qtText(program::vendorLibraryErrorText()),
                   QMessageBox::Ok,
                   qtText(program::vendorLibrarySearchText(reinterpret_cast<const void*>(hubLibrary().initVendorLibrary))));
        emit exitRequested();
        return false;
    }
    // Each opening starts from an empty tree, so it ends fully expanded with nothing selected.
    m_bus = {};
    m_hubTree->clear();
    RefreshHubTree();
    // The library appends to the log in the current folder.
    m_logWatch.watch(logFilePath());
    updateStatusLine();
    return true;
}

// No record holds a hub's serial number: a scan of the program's own tells
// the hubs apart.
static std::vector<program::HubIdentity> hubsOnTheBusNow() {
    std::vector<program::HubIdentity> identities;
    for (const vostrel::ScannedHub& hub : vostrel::scanHubsNow()) {
        identities.push_back({vostrel::usbbus::utf16ToUtf8(hub.serial), hub.location});
    }
    return identities;
}

void CMyTalvernDlg::RefreshHubTree() {
    const std::vector<program::HubIdentity> hubs = hubsOnTheBusNow();
    auto bus = program::readBusView(hubLibrary());
    if (!bus) return;
    m_bus = std::move(*bus);
    program::attachHubIdentities(m_bus, hubs);
    FillHubTree();
    emit stateChanged();
}

// The items of hubs and ports that stay are updated in place, so that a
// re-read keeps what the user did with the tree: the selection, the hubs
// collapsed and the scroll position. New hubs come expanded.
void CMyTalvernDlg::FillHubTree() {
    const int hubs = static_cast<int>(m_bus.hubs.size());
    while (m_hubTree->topLevelItemCount() > hubs) delete m_hubTree->takeTopLevelItem(hubs);
    for (const program::HubView& hub : m_bus.hubs) {
        QTreeWidgetItem* hubItem = m_hubTree->topLevelItem(hub.hubIndex);
        if (hubItem == nullptr) {
            hubItem = new QTreeWidgetItem(m_hubTree);
            for (int port = 0; port < HUB_PORTS_PER_HUB; ++port) new QTreeWidgetItem(hubItem);
            hubItem->setExpanded(true);
        }
        hubItem->setText(0, qtText(program::hubLabel(hub.hubIndex)));
        hubItem->setIcon(0, m_hIcon);
        hubItem->setData(0, Qt::UserRole, hub.hubIndex);
        hubItem->setToolTip(0, qtText(program::hubToolTip(hub)));
        for (const program::PortView& port : hub.ports) {
            QTreeWidgetItem* portItem = hubItem->child(port.portIndex);
            portItem->setText(0, qtText(program::portLabel(port)));
            portItem->setData(0, Qt::UserRole, port.portIndex);
            portItem->setIcon(0, m_portIcons.icon(port.state, port.watched));
            portItem->setToolTip(0, qtText(program::portToolTip(port)));
        }
    }
}

void CMyTalvernDlg::updateStatusLine() {
    const std::string lastLine = program::readLastLogLine(QFile::encodeName(logFilePath()).toStdString());
    ui->statusLine->setFullText(qtText(program::statusLineText(hubLibrary().recoveryStored() != 0, lastLine)));
}

// The port as the last read of the bus showed it; a port the tree no longer
// shows is known by its place alone.
program::PortView CMyTalvernDlg::portView(int hub, int port) const {
    if (const program::PortView* known = m_bus.port(hub, port)) return *known;
    program::PortView unknown;
    unknown.hubIndex = hub;
    unknown.portIndex = port;
    return unknown;
}

QTreeWidgetItem* CMyTalvernDlg::itemLabelAt(const QPoint& pos) const {
    QTreeWidgetItem* item = m_hubTree->itemAt(pos);
    if (item == nullptr) return nullptr;
    // The item's cell starts right of its expand button; the label ends
    // with its text and the margins around it.
    const QRect cell = m_hubTree->visualItemRect(item);
    const int margin = m_hubTree->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, m_hubTree) + 1;
    const int labelWidth = m_hubTree->fontMetrics().horizontalAdvance(item->text(0)) + 2 * margin;
    if (pos.x() < cell.left() || pos.x() >= cell.left() + labelWidth) return nullptr;
    return item;
}

bool CMyTalvernDlg::resolveSelectedPort(int& hubIndex, int& portIndex) const {
    const QList<QTreeWidgetItem*> selected = m_hubTree->selectedItems();
    if (selected.isEmpty()) return false;
    QTreeWidgetItem* parent = selected.front()->parent();
    if (parent == nullptr) return false;
    hubIndex = parent->data(0, Qt::UserRole).toInt();
    portIndex = selected.front()->data(0, Qt::UserRole).toInt();
    return hubIndex >= 0 && hubIndex < HUB_MAX_HUBS && portIndex >= 0 && portIndex < HUB_PORTS_PER_HUB;
}

std::unique_ptr<QMenu> CMyTalvernDlg::CreatePortMenu(const QPoint& pos) {
    QTreeWidgetItem* item = itemLabelAt(pos);
    if (item == nullptr) return nullptr;
    m_hubTree->setCurrentItem(item);
    int hub = 0;
    int port = 0;
    if (!resolveSelectedPort(hub, port)) return nullptr;
    return createPortMenu(hub, port);
}

std::unique_ptr<QMenu> CMyTalvernDlg::CreateSelectedPortMenu() {
    int hub = 0;
    int port = 0;
    if (!resolveSelectedPort(hub, port)) return nullptr;
    return createPortMenu(hub, port);
}

std::unique_ptr<QMenu> CMyTalvernDlg::createPortMenu(int hub, int port) {
    auto menu = loadMenu(IDR_MENU_ONOFF, this);
    const program::PortCommands allowed = program::allowedCommands(portView(hub, port));
    menuCommand(*menu, ID_PORT_ON)->setEnabled(allowed.portOn);
    menuCommand(*menu, ID_PORT_OFF)->setEnabled(allowed.portOff);
    menuCommand(*menu, ID_ADD_AUTO_RECOVERY_LIST)->setEnabled(allowed.addToWatchList);

    // The command acts on the port the menu was opened for: the tree may be
    // read again, and the selection lost or moved, while the menu is up.
    const program::PortTarget target = program::portTarget(m_bus, hub, port);
    connect(menu.get(), &QMenu::triggered, this,
            [this, target](QAction* action) { OnCommand(action->data().toInt(), target); });
    return menu;
}

void CMyTalvernDlg::OnTreeRightClick(const QPoint& pos) {
    if (auto menu = CreatePortMenu(pos)) menu->exec(QCursor::pos());
}

bool CMyTalvernDlg::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_hubTree && event->type() == QEvent::KeyPress && opensPortMenu(*static_cast<QKeyEvent*>(event))) {
        if (auto menu = CreateSelectedPortMenu()) {
            // Below the selected port's label.
            const QRect cell = m_hubTree->visualItemRect(m_hubTree->selectedItems().front());
            menu->exec(m_hubTree->viewport()->mapToGlobal(cell.bottomLeft()));
        }
        return true;
    }
    // Some window systems also send the Menu key as a context-menu request,
    // which the key press above has already answered.
    if ((watched == m_hubTree || watched == m_hubTree->viewport()) && event->type() == QEvent::ContextMenu &&
        static_cast<QContextMenuEvent*>(event)->reason() != QContextMenuEvent::Mouse) {
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void CMyTalvernDlg::OnCommand(int id, const program::PortTarget& target) {
    // Nothing acts on another hub or another device than the menu showed.
    if (!program::stillTheSamePort(target, hubsOnTheBusNow(), m_bus)) {
        RefreshHubTree();
        informationBox(this, qtText(program::portChangedCaption()), qtText(program::portChangedText()));
        return;
    }
    switch (id) {
        case ID_PORT_ON: OnPortOn(target.hubIndex, target.portIndex); break;
        case ID_PORT_OFF: OnPortOff(target.hubIndex, target.portIndex); break;
        case ID_ADD_AUTO_RECOVERY_LIST: OnAddAutoRecoveryList(target.hubIndex, target.portIndex); break;
        default: break;
    }
}

void CMyTalvernDlg::OnPortOn(int hub, int port) { switchPort(hub, port, true); }

// Switching off a watched port while the monitor runs would be undone at its
// next check: the user chooses to stop watching it first, or nothing happens.
void CMyTalvernDlg::OnPortOff(int hub, int port) {
    const program::PortView view = portView(hub, port);
    if (program::portOffIsUndoneByMonitor(view, hubLibrary().recoveryStored() != 0)) {
        if (!confirmBox(this, qtText(program::watchedPortOffCaption()), qtText(program::watchedPortOffText(view)),
                        qtText(program::stopWatchingAndSwitchOffText()))) {
            return;
        }
        program::removeFromWatchList(hubLibrary(), hub, port);
    }
    switchPort(hub, port, false);
}

// The tree shows what the library reports after the switch, whatever the
// switch's result; a refusal is said every time, with the vendor library's reason.
void CMyTalvernDlg::switchPort(int hub, int port, bool on) {
    const program::PortView view = portView(hub, port);
    const program::SwitchOutcome outcome = program::switchPort(hubLibrary(), hub, port, on);
    if (!outcome.done) {
        informationBox(this, qtText(program::refusedSwitchCaption()),
                       qtText(program::refusedSwitchText(view, on, outcome.refusal)), qtText(outcome.advice));
    }
    RefreshHubTree();
}

void CMyTalvernDlg::OnAddAutoRecoveryList(int hub, int port) {
    program::addToWatchList(hubLibrary(), hub, port);
    RefreshHubTree();
}

void CMyTalvernDlg::OnAutoRecoveryList() {
    CAutoRecover dialog(this);
    dialog.DoModal();
    // Entries may have been removed; the check box stays as it is.
    RefreshHubTree();
}

void CMyTalvernDlg::OnEnableAutoRecovery(bool checked) {
    if (checked) {
        hubLibrary().startRecovery();
    } else {
        hubLibrary().stopRecovery();
    }
    updateStatusLine();
    emit stateChanged();
}

std::unique_ptr<QMenu> CMyTalvernDlg::CreateSystemMenu() {
    auto menu = std::make_unique<QMenu>(this);
    QAction* about = menu->addAction(qtText(program::aboutMenuText()));
    about->setData(IDM_ABOUTBOX);
    connect(about, &QAction::triggered, this, [this] { OnSysCommand(IDM_ABOUTBOX); });
    return menu;
}

void CMyTalvernDlg::OnSysCommand(int id) {
    if ((id & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDlg about(this);
        about.exec();
    }
}

}  // namespace talvern

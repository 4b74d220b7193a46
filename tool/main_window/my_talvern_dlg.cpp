#include "main_window/my_talvern_dlg.h"

#include <QContextMenuEvent>
#include <QCursor>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QStyle>
#include <QTreeWidget>
#include <algorithm>
#include <cstring>

#include "log_viewer/log_file.h"
#include "main_window/about_dlg.h"
#include "main_window/port_state.h"
#include "main_window/status_line.h"
#include "message_box.h"
#include "platform/vendor_last_error.h"
#include "platform/vendor_library_search.h"
#include "portctl/pt2lib_errors.h"
#include "record_format.h"
#include "resources/app_icon.h"
#include "resources/menu_resources.h"
#include "resources/resource_ids.h"
#include "resources/texts.h"
#include "scan/hub_identity.h"
#include "ui_my_talvern_dlg.h"
#include "watch_list/auto_recover.h"

namespace talvern {
namespace {

// The masks live in header bytes 2 to 33 of the block, which the library
// clears on every fill.
constexpr std::size_t kMaskOffset = 1;  // within DeviceInfoBlock::reserved1, which starts at byte 1
static_assert(offsetof(vostrel::DeviceInfoBlock, reserved1) + kMaskOffset == 2);
static_assert(kMaskOffset + vostrel::kMaxHubs <= sizeof(vostrel::DeviceInfoBlock::reserved1));
constexpr std::uint8_t kAllPortsPowered = 0x0F;

// The library never reports more than 32 hubs; a larger count is not trusted.
int hubsIn(const vostrel::DeviceInfoBlock& block) { return std::min<int>(block.hubCount, vostrel::kMaxHubs); }

// Where the hub library looked for the vendor library, told below the
// message that it cannot be loaded.
QString vendorLibrarySearchText() {
    const platform::VendorLibrarySearch search = platform::vendorLibrarySearch();
    QStringList places;
    QStringList pathFolders;
    for (const std::string& folder : search.searchPathFolders) pathFolders << QString::fromStdString(folder);
    places << (pathFolders.isEmpty() ? QStringLiteral("LD_LIBRARY_PATH (not set)")
                                     : QStringLiteral("LD_LIBRARY_PATH: %1").arg(pathFolders.join(u':')));
    if (!search.hubLibraryFolder.empty()) {
        places << QStringLiteral("the hub library's own folder: %1")
                      .arg(QString::fromStdString(search.hubLibraryFolder));
    }
    places << QString::fromStdString(search.systemFolders);
    return QStringLiteral("The hub library looks for %1 in this order:\n\u2022 %2\n"
                          "It was found in none of them, or it lacks functions the hub library needs.")
        .arg(QString::fromStdString(search.fileName), places.join(QStringLiteral("\n\u2022 ")));
}

// After a port switch the library refused: when the vendor library says
// that rights were missing, tells the user how to get them, once per run.
void adviseOnRefusedSwitch(QWidget* owner) {
    static bool advised = false;
    if (advised || platform::vendorLastError() != PT2_ERROR_PERMISSION_DENIED) return;
    advised = true;
    informationBox(owner, portPermissionCaption(), portPermissionText(), portPermissionDetails());
}

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
    ui->enableAutoRecoveryCheck->setChecked(Hub_GetAutoRecoveryStatus() != 0);

    std::memset(&m_deviceInfo, 0, sizeof m_deviceInfo);
    if (Hub_GetDeviceInfo(&m_deviceInfo) != 0) {
        if (m_deviceInfo.hubCount > 0 && Hub_InitPt2lib() == 0) {
            warningBox(this, vendorLibraryErrorCaption(), vendorLibraryErrorText(), QMessageBox::Ok,
                       vendorLibrarySearchText());
            emit exitRequested();
            return false;
        }
        for (int hub = 0; hub < hubsIn(m_deviceInfo); ++hub) portMask(hub) = kAllPortsPowered;
    }
    m_switchedOff.fill(0);
    // Each opening starts from an empty tree, so it ends fully expanded with nothing selected.
    m_hubTree->clear();
    RefreshHubTree();
    // The library appends to the log in the current folder.
    m_logWatch.watch(logFilePath());
    updateStatusLine();
    return true;
}

void CMyTalvernDlg::RefreshHubTree() {
    std::uint8_t masks[vostrel::kMaxHubs];
    std::memcpy(masks, &m_deviceInfo.reserved1[kMaskOffset], sizeof masks);
    // No record holds a hub's serial number: a scan of the program's own
    // just before tells the hubs apart.
    const std::vector<vostrel::ScannedHub> hubs = vostrel::scanHubsNow();
    std::memset(&m_deviceInfo, 0, sizeof m_deviceInfo);
    m_hubSerials.clear();
    if (Hub_GetDeviceInfo(&m_deviceInfo) == 0) return;
    if (hubs.size() == static_cast<std::size_t>(hubsIn(m_deviceInfo))) {
        for (const vostrel::ScannedHub& hub : hubs) m_hubSerials.push_back(hub.serial);
    }
    std::memcpy(&m_deviceInfo.reserved1[kMaskOffset], masks, sizeof masks);
    FillHubTree(m_deviceInfo);
}

// The items of hubs and ports that stay are updated in place, so that a
// re-read keeps what the user did with the tree: the selection, the hubs
// collapsed and the scroll position. New hubs come expanded.
void CMyTalvernDlg::FillHubTree(const vostrel::DeviceInfoBlock& block) {
    const int hubs = hubsIn(block);
    while (m_hubTree->topLevelItemCount() > hubs) delete m_hubTree->takeTopLevelItem(hubs);
    for (int hub = 0; hub < hubs; ++hub) {
        QTreeWidgetItem* hubItem = m_hubTree->topLevelItem(hub);
        if (hubItem == nullptr) {
            hubItem = new QTreeWidgetItem(m_hubTree);
            for (int port = 0; port < vostrel::kPortsPerHub; ++port) new QTreeWidgetItem(hubItem);
            hubItem->setExpanded(true);
        }
        hubItem->setText(0, hubLabel(hub));
        hubItem->setIcon(0, m_hIcon);
        hubItem->setData(0, Qt::UserRole, hub);
        for (int port = 0; port < vostrel::kPortsPerHub; ++port) {
            const vostrel::PortInfoRecord& record = vostrel::portRecord(block, hub, port);
            // A device that is attached but not configured leaves the mask as it is.
            if (record.connectionStatus == vostrel::NoDeviceConnected) {
                portMask(hub) &= static_cast<std::uint8_t>(~(1u << port));
            } else if (record.configurationValue != 0) {
                portMask(hub) |= static_cast<std::uint8_t>(1u << port);
            }
            QTreeWidgetItem* portItem = hubItem->child(port);
            portItem->setText(0, portLabel(port, record));
            portItem->setData(0, Qt::UserRole, port);
        }
    }
    decoratePorts();
}

// Icons and tooltips follow the masks and the watch list at once; the labels
// only at the next re-read. The watch-list query reads the library's list
// without a scan.
void CMyTalvernDlg::decoratePorts() {
    const int hubs = std::min(hubsIn(m_deviceInfo), m_hubTree->topLevelItemCount());
    for (int hub = 0; hub < hubs; ++hub) {
        QTreeWidgetItem* hubItem = m_hubTree->topLevelItem(hub);
        for (int port = 0; port < vostrel::kPortsPerHub && port < hubItem->childCount(); ++port) {
            const vostrel::PortInfoRecord& record = vostrel::portRecord(m_deviceInfo, hub, port);
            const std::uint8_t bit = static_cast<std::uint8_t>(1u << port);
            vostrel::DeviceInfoRecord entry{};
            const bool watched = Hub_GetAutoCheckDeviceInfo_Index_and_Port(&entry, hub, port) != 0;
            const PortState state = portState(record, (m_switchedOff[hub] & bit) != 0, (PortMask(hub) & bit) != 0);
            hubItem->child(port)->setIcon(0, m_portIcons.icon(state, watched));
            hubItem->child(port)->setToolTip(0, portToolTip(record, state, watched));
        }
    }
}

void CMyTalvernDlg::updateStatusLine() {
    ui->statusLine->setFullText(statusLineText(Hub_GetAutoRecoveryStatus() != 0, readLastLogLine(logFilePath())));
}

std::uint8_t& CMyTalvernDlg::portMask(int hubIndex) { return m_deviceInfo.reserved1[kMaskOffset + hubIndex]; }

std::uint8_t CMyTalvernDlg::PortMask(int hubIndex) const {
    return m_deviceInfo.reserved1[kMaskOffset + hubIndex];
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
    return hubIndex >= 0 && hubIndex < vostrel::kMaxHubs && portIndex >= 0 && portIndex < vostrel::kPortsPerHub;
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
    const bool powered = (PortMask(hub) & (1u << port)) != 0;
    menuCommand(*menu, ID_PORT_ON)->setEnabled(!powered);
    menuCommand(*menu, ID_PORT_OFF)->setEnabled(powered);

    // Both queries answer from the library's last scan.
    QAction* add = menuCommand(*menu, ID_ADD_AUTO_RECOVERY_LIST);
    vostrel::DeviceInfoRecord record{};
    if (Hub_GetAutoCheckDeviceInfo_Index_and_Port(&record, hub, port) != 0) {
        add->setEnabled(false);
    } else if (Hub_GetDeviceInfo_Index_and_Port(&record, hub, port) != 0) {
        add->setEnabled(record.connectionStatus == vostrel::DeviceConnected);
    }

    // The command acts on the port the menu was opened for: the tree may be
    // read again, and the selection lost or moved, while the menu is up.
    PortTarget target{hub, port, std::nullopt, vostrel::portRecord(m_deviceInfo, hub, port)};
    if (static_cast<std::size_t>(hub) < m_hubSerials.size()) target.hubSerial = m_hubSerials[hub];
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

// Whether the hub at the target's number is still the hub the menu was
// opened for (asked of the bus now: a hub that came or went renumbers the
// hubs after it, whether or not the tree was read again since) and the port
// still shows the device it showed then.
bool CMyTalvernDlg::stillTheSamePort(const PortTarget& target) const {
    if (!target.hubSerial) return false;
    const std::vector<vostrel::ScannedHub> hubs = vostrel::scanHubsNow();
    if (static_cast<std::size_t>(target.hub) >= hubs.size() || hubs[target.hub].serial != *target.hubSerial) {
        return false;
    }
    if (target.hub >= hubsIn(m_deviceInfo)) return false;
    const vostrel::PortInfoRecord& now = vostrel::portRecord(m_deviceInfo, target.hub, target.port);
    const vostrel::PortInfoRecord& then = target.shown;
    return now.connectionStatus == then.connectionStatus && now.vendorId == then.vendorId &&
           now.productId == then.productId &&
           std::u16string_view(now.product) == std::u16string_view(then.product) &&
           std::u16string_view(now.manufacturer) == std::u16string_view(then.manufacturer);
}

void CMyTalvernDlg::OnCommand(int id, const PortTarget& target) {
    const bool add = id == ID_ADD_AUTO_RECOVERY_LIST;
    // Nothing acts on another hub or another device than the menu showed,
    // and no watch entry is made for a port without a working device.
    if (!stillTheSamePort(target) || (add && target.shown.connectionStatus != vostrel::DeviceConnected)) {
        RefreshHubTree();
        informationBox(this, portChangedCaption(), portChangedText());
        return;
    }
    switch (id) {
        case ID_PORT_ON: OnPortOn(target.hub, target.port); break;
        case ID_PORT_OFF: OnPortOff(target.hub, target.port); break;
        case ID_ADD_AUTO_RECOVERY_LIST: OnAddAutoRecoveryList(target.hub, target.port); break;
        default: break;
    }
}

// The port commands change the mask before the library call, whatever its
// result, and leave the labels alone: they follow at the next re-read.
void CMyTalvernDlg::OnPortOn(int hub, int port) {
    portMask(hub) |= static_cast<std::uint8_t>(1u << port);
    m_switchedOff[hub] &= static_cast<std::uint8_t>(~(1u << port));
    if (Hub_SetHubPortStatus(hub, port, 1) == 0) adviseOnRefusedSwitch(this);
    decoratePorts();
}

void CMyTalvernDlg::OnPortOff(int hub, int port) {
    portMask(hub) &= static_cast<std::uint8_t>(~(1u << port));
    m_switchedOff[hub] |= static_cast<std::uint8_t>(1u << port);
    if (Hub_SetHubPortStatus(hub, port, 0) == 0) adviseOnRefusedSwitch(this);
    decoratePorts();
}

void CMyTalvernDlg::OnAddAutoRecoveryList(int hub, int port) {
    vostrel::DeviceInfoRecord record{};
    const bool found = Hub_GetDeviceInfo_Index_and_Port(&record, hub, port) != 0;
    if (found && record.connectionStatus == vostrel::DeviceConnected) Hub_SetAutoCheckDeviceInfo(&record);
    decoratePorts();
}

void CMyTalvernDlg::OnAutoRecoveryList() {
    CAutoRecover dialog(this);
    dialog.DoModal();
    // Entries may have been removed; the tree's labels and the check box stay as they are.
    decoratePorts();
}

void CMyTalvernDlg::OnEnableAutoRecovery(bool checked) {
    if (checked) {
        Hub_StartAutoRecovery();
    } else {
        Hub_StopAutoRecovery();
    }
    updateStatusLine();
}

std::unique_ptr<QMenu> CMyTalvernDlg::CreateSystemMenu() {
    auto menu = std::make_unique<QMenu>(this);
    QAction* about = menu->addAction(aboutMenuText());
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

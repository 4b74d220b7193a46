#include "main_window/about_dlg.h"

#include "resources/app_icon.h"
#include "ui_about_dlg.h"

namespace talvern {

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::CAboutDlg>()) {
    ui->setupUi(this);
    const QIcon icon = applicationIcon();
    setWindowIcon(icon);
    ui->iconLabel->setPixmap(icon.pixmap(32, 32));
}

CAboutDlg::~CAboutDlg() = default;

}  // namespace talvern

// The main window "RAV_Uvidaro 4Port" and the about box.
#include <QCheckBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include "main_window/about_dlg.h"
#include "main_window/my_talvern_dlg.h"
#include "resources/resource_ids.h"
#include "test_registry.h"
#include "tool_test_support.h"

namespace talvern::test {

class MainWindowTest : public QObject {
    Q_OBJECT

private slots:
    void init() { session_.emplace(); }
    void cleanup() { session_.reset(); }

    void windowHoldsItsControls() {
        CMyTalvernDlg dialog;
        QCOMPARE(dialog.windowTitle(), QStringLiteral("RAV_Uvidaro 4Port"));
        QCOMPARE(dialog.findChild<QTreeWidget*>("hubTree")->property("controlId").toInt(), IDC_TREE_HUB);
        auto* listButton = dialog.findChild<QPushButton*>("autoRecoveryListButton");
        QCOMPARE(listButton->text(), QStringLiteral("Auto Recovery List"));
        QCOMPARE(listButton->property("controlId").toInt(), IDC_BUTTON_AUTO_RECOVERY_LIST);
        auto* check = dialog.findChild<QCheckBox*>("enableAutoRecoveryCheck");
        QCOMPARE(check->text(), QStringLiteral("Enable Auto Recovery"));
        QCOMPARE(check->property("controlId").toInt(), IDC_CHECK_AUTO_RECOVERY);
        auto* cancel = dialog.findChild<QPushButton*>("cancelButton");
        QCOMPARE(cancel->text(), QStringLiteral("キャンセル"));
        QVERIFY(cancel->isHidden());
        auto* ok = dialog.findChild<QPushButton*>("okButton");
        QVERIFY(ok->isDefault());
        QVERIFY(!dialog.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
        QVERIFY(!dialog.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    }

    void withoutHubsTheTreeIsEmptyAndNothingIsAsked() {
        CMyTalvernDlg dialog;
        QWidget* shown = nullptr;
        onNextModal([&](QWidget* window) {
            shown = window;
            dialog.accept();
        });
        QCOMPARE(dialog.DoModal(), int(QDialog::Accepted));
        // The first modal window was the main window itself, not a message.
        QCOMPARE(shown, &dialog);
        QCOMPARE(dialog.findChild<QTreeWidget*>("hubTree")->topLevelItemCount(), 0);
        QVERIFY(!dialog.IsOpen());
    }

    void aboutBoxOpensFromTheWindowMenu() {
        CMyTalvernDlg dialog;
        const auto menu = dialog.CreateSystemMenu();
        QCOMPARE(menu->actions().size(), 1);
        QAction* about = menu->actions().front();
        QCOMPARE(about->text(), QStringLiteral("バージョン情報 Talvern(&A)..."));
        QCOMPARE(about->data().toInt(), IDM_ABOUTBOX);
        QString title;
        QStringList texts;
        onNextModal([&](QWidget* window) {
            auto* box = qobject_cast<CAboutDlg*>(window);
            QVERIFY(box != nullptr);
            title = box->windowTitle();
            for (const char* name : {"versionLabel", "productLabel"}) texts << box->findChild<QLabel*>(name)->text();
            QVERIFY(!box->findChild<QLabel*>("iconLabel")->pixmap().isNull());
            saveRender(*box, QStringLiteral("about-box"));
            box->findChild<QPushButton*>("okButton")->click();
        });
        about->trigger();
        QCOMPARE(title, QStringLiteral("バージョン情報 Talvern"));
        QCOMPARE(texts, (QStringList{"Talvern, Version 1.0", "Orvique Control Tool"}));
    }

private:
    std::optional<LibrarySession> session_;
};

TALVERN_REGISTER_TEST(MainWindowTest);

}  // namespace talvern::test

#include "main_window_test.moc"

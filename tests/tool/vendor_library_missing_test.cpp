// Opening the main window when the hub vendor's library cannot be bound:
// this test program runs without the stand-in vendor library.
#include <QAbstractButton>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>

#include "test_registry.h"
#include "tool_test_support.h"
#include "tray/my_application_tray_wnd.h"

namespace talvern::test {

class VendorLibraryMissingTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { session_.reset(); }

    void withAHubTheProgramSaysSoAndEnds() {
        session_.emplace(QStringLiteral("two-hubs"));
        CMyApplicationTrayWnd tray(true, nullptr);
        tray.OnCreate();
        QSignalSpy destroyed(&tray, &CMyApplicationTrayWnd::windowDestroyed);
        QSignalSpy finished(&tray.mainDialog(), &QDialog::finished);
        bool told = false;
        onNextModal([&](QWidget* window) {
            auto* box = qobject_cast<QMessageBox*>(window);
            QVERIFY(box != nullptr);
            QCOMPARE(box->windowTitle(), QStringLiteral("ERROR"));
            QCOMPARE(box->text(), QStringLiteral("pt2lib.dllが読み込めません。\r\nアプリケーションを終了します。"));
            QCOMPARE(box->icon(), QMessageBox::Warning);
            QCOMPARE(box->standardButtons(), QMessageBox::Ok);
            told = true;
            box->button(QMessageBox::Ok)->click();
        });
        tray.OnTraySetup();
        QVERIFY(told);
        // The window never ran; the program ends as through "EXIT(&X)".
        QCOMPARE(finished.count(), 0);
        QCoreApplication::sendPostedEvents();
        QCOMPARE(destroyed.count(), 1);
        QVERIFY(!tray.trayIcon().isVisible());
    }

    void withoutAHubNothingIsBoundAndNothingIsSaid() {
        session_.emplace(QStringLiteral("no-hub"));
        CMyTalvernDlg dialog;
        QWidget* shown = nullptr;
        onNextModal([&](QWidget* window) {
            shown = window;
            dialog.accept();
        });
        QCOMPARE(dialog.DoModal(), int(QDialog::Accepted));
        QCOMPARE(shown, &dialog);
        QCOMPARE(dialog.findChild<QTreeWidget*>("hubTree")->topLevelItemCount(), 0);
    }

private:
    std::optional<LibrarySession> session_;
};

TALVERN_REGISTER_TEST(VendorLibraryMissingTest);

}  // namespace talvern::test

#include "vendor_library_missing_test.moc"

// Opening the main window when the hub vendor's library cannot be bound:
// this test program runs without the stand-in vendor library.
#include <QMessageBox>
#include <QSignalSpy>

#include "tool_test_support.h"
#include "tray/my_application_tray_wnd.h"

namespace talvern::test {

class VendorLibraryMissingTest : public QObject {
    Q_OBJECT

private slots:
    void withAHubTheProgramSaysSoAndEnds() {
        LibrarySession session(kTwoHubs);
        CMyApplicationTrayWnd tray(true, nullptr);
        tray.OnCreate();
        QSignalSpy destroyed(&tray, &CMyApplicationTrayWnd::windowDestroyed);
        QString told;
        onNextModal([&](QWidget* window) {
            if (auto* box = qobject_cast<QMessageBox*>(window)) told = box->windowTitle() + ": " + box->text();
            window->close();
        });
        tray.OnTraySetup();
        QCOMPARE(told, "ERROR: pt2lib.dllが読み込めません。\r\nアプリケーションを終了します。");
        QCoreApplication::sendPostedEvents();
        QCOMPARE(destroyed.count(), 1);
    }

    void withoutAHubNothingIsBoundAndNothingIsSaid() {
        LibrarySession session(R"({"controllers": [{"number": 0, "devices": [
            {"port": 1, "vendorId": "0x7E57", "productId": "0x0A02"}]}]})");
        CMyTalvernDlg dialog;
        bool windowFirst = false;
        onNextModal([&](QWidget* window) {
            windowFirst = window == &dialog;
            window->close();
        });
        dialog.DoModal();
        QVERIFY(windowFirst);
    }
};

}  // namespace talvern::test

QTEST_MAIN(talvern::test::VendorLibraryMissingTest)
#include "vendor_library_missing_test.moc"

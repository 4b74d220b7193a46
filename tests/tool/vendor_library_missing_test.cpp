// Opening the main window when the hub vendor's library cannot be bound:
// this test program runs without the stand-in vendor library.
#include <QMessageBox>
#include <QSignalSpy>

#include "program_core/platform/vendor_library_search.h"
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
        QString details;
        onNextModal([&](QWidget* window) {
            if (auto* box = qobject_cast<QMessageBox*>(window)) {
                told = box->windowTitle() + ": " + box->text();
                details = box->informativeText();
                saveRender(*box, "vendor-library-missing");
            }
            window->close();
        });
        tray.OnTraySetup();
        QCOMPARE(told, "ERROR: pt2lib.dllが読み込めません。\r\nアプリケーションを終了します。");
        // Below it: the file this platform looks for, and where, in order.
        // The library's code is part of this test program, whose folder is
        // therefore the hub library's own.
        QCOMPARE(details, "The hub library looks for libpt2lib.so in this order:\n"
                          "\u2022 LD_LIBRARY_PATH (not set)\n"
                          "\u2022 the hub library's own folder: " + QCoreApplication::applicationDirPath() + "\n"
                          "\u2022 the system's library folders (/etc/ld.so.cache, /lib, /usr/lib)\n"
                          "It was found in none of them, or it lacks functions the hub library needs.");
        QCoreApplication::sendPostedEvents();
        QCOMPARE(destroyed.count(), 1);
    }

    void theSearchPathVariableIsListedFolderByFolder() {
        qputenv("LD_LIBRARY_PATH", "/opt/hub/lib::/usr/local/lib");
        const auto search =
            vostrel::program::platform::vendorLibrarySearch(reinterpret_cast<const void*>(&Hub_InitPt2lib));
        qunsetenv("LD_LIBRARY_PATH");
        QCOMPARE(search.places.front(), "LD_LIBRARY_PATH: /opt/hub/lib:/usr/local/lib");
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

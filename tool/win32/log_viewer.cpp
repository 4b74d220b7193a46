#include "log_viewer.h"

#include "program_core/log_file.h"
#include "program_core/log_line.h"
#include "program_core/port_texts.h"
#include "report_list.h"
#include "resources/resource.h"

namespace talvern {

using namespace vostrel::program;

void LogViewer::run(HWND owner) { ModalDialog::run(IDD_USB_LOG, owner); }

bool LogViewer::initialise() {
    const HWND list = item(IDC_LIST_LOG);
    setUpReportList(list, {{"No", 30},
                           {"Date Time", 130},
                           {"HubIndex", 70},
                           {"Port", 50},
                           {"VID", 50},
                           {"PID", 50},
                           {"Device Name", 215}});
    // The log the library appends to: in the current folder, as vostrel.dat.
    int number = 0;
    for (const std::string& text : readLogFile(kEventLogFileName)) {
        const LogLine line = readLogLine(text);
        appendRow(list, {std::to_string(++number), line.dateTime, line.hubIndex, line.portNumber, line.vendorId,
                         line.productId, deviceName(line.manufacturer, line.product)});
    }
    return true;
}

}  // namespace talvern

// Lines of the event log and the eight fields every program reads from each,
// shared by the tests of the programs' core, of Talvern's log viewer and of
// vostrel log, so that all three read a file alike.
#pragma once

#include <array>
#include <string>

namespace vostrel::test {

struct LogLineCase {
    const char* name;
    std::string line;  // without its line break
    // date and time, event code, hub index, port number, VID, PID, manufacturer, product
    std::array<std::string, 8> fields;
    bool wellFormed;  // its six formatted fields are as the library writes them
};

inline const LogLineCase kLogLineCases[] = {
    {"as the library writes it", "2017/04/05 01:07:09,3,0,3,0x7E57,0x0C31,Lumen Labs,HD Camera",
     {"2017/04/05 01:07:09", "3", "0", "3", "0x7E57", "0x0C31", "Lumen Labs", "HD Camera"}, true},
    {"comma and blank in the manufacturer", "2025/12/31 23:59:59,2,31,1,0xBEEF,0x0002,Acme, Inc.,Widget",
     {"2025/12/31 23:59:59", "2", "31", "1", "0xBEEF", "0x0002", "Acme, Inc.", "Widget"}, true},
    {"commas in both texts", "2024/05/17 10:07:12,1,0,1,0x0001,0x0002,Acme, Inc.,Pad, large",
     {"2024/05/17 10:07:12", "1", "0", "1", "0x0001", "0x0002", "Acme, Inc.", "Pad, large"}, true},
    {"comma without a blank in the manufacturer", "2024/05/17 10:07:12,1,0,3,0x1A2B,0x0040,Kobo Co.,Ltd.,Scale",
     {"2024/05/17 10:07:12", "1", "0", "3", "0x1A2B", "0x0040", "Kobo Co.,Ltd.", "Scale"}, true},
    {"empty texts", "2017/04/05 01:07:10,1,1,4,0x0001,0x0A2B,,",
     {"2017/04/05 01:07:10", "1", "1", "4", "0x0001", "0x0A2B", "", ""}, true},
    {"empty product after a comma", "2017/04/05 01:07:10,2,0,4,0x0001,0x0002,Acme, Inc.,",
     {"2017/04/05 01:07:10", "2", "0", "4", "0x0001", "0x0002", "Acme, Inc.", ""}, true},
    {"CJK texts", "2024/05/18 08:00:00,3,0,2,0x056E,0x0001,ナガレ電機,マウス",
     {"2024/05/18 08:00:00", "3", "0", "2", "0x056E", "0x0001", "ナガレ電機", "マウス"}, true},
    {"empty formatted fields", "2024/05/18 08:00:00,3,0,2,,,Maker,Widget",
     {"2024/05/18 08:00:00", "3", "0", "2", "", "", "Maker", "Widget"}, false},
    {"torn while being written", "2017/04/05 01:07:11,3,0,3,0x7E",
     {"2017/04/05 01:07:11", "3", "0", "3", "0x7E", "", "", ""}, false},
    {"torn inside the texts", "2017/04/05 01:07:11,3,0,3,0x7E57,0x0C31,Lumen La",
     {"2017/04/05 01:07:11", "3", "0", "3", "0x7E57", "0x0C31", "Lumen La", ""}, true},
    {"not an event", "not an event", {"not an event", "", "", "", "", "", "", ""}, false},
};

}  // namespace vostrel::test

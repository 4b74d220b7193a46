// The local date and time, as the event log writes it.
#pragma once

namespace vostrel::platform {

struct LocalTime {
    int year;    // four digits
    int month;   // 1 to 12
    int day;     // 1 to 31
    int hour;    // 0 to 23
    int minute;
    int second;
};

LocalTime currentLocalTime();

}  // namespace vostrel::platform

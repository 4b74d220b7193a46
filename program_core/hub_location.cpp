#include "program_core/hub_location.h"

#include <algorithm>

namespace vostrel::program {
namespace {

bool number(std::string_view text) {
    return !text.empty() && text.size() <= 3 &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

bool isHubLocation(std::string_view text) {
    if (text.size() > 31) return false;
    if (text.substr(0, 3) == "usb") return number(text.substr(3));
    const auto dash = text.find('-');
    if (dash == std::string_view::npos || !number(text.substr(0, dash))) return false;
    std::string_view ports = text.substr(dash + 1);
    for (;;) {
        const auto dot = ports.find('.');
        if (!number(ports.substr(0, dot))) return false;
        if (dot == std::string_view::npos) return true;
        ports.remove_prefix(dot + 1);
    }
}

}  // namespace vostrel::program

// A hub's location as the kernel names hub devices: "usbB" for a root hub,
// "B-P" or "B-P.P…" below it, each number at most three digits and the whole
// at most 31 characters. How entries kept by location name their hub, in
// their file and in the event log, where it can never hold a comma or a
// control character.
#pragma once

#include <string_view>

namespace vostrel::program {

bool isHubLocation(std::string_view text);

}  // namespace vostrel::program

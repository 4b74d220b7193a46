#include <iostream>
#include <vector>

#include "any_hub_port.h"
#include "commands.h"
#include "output_format.h"
#include "platform/folders.h"
#include "power_switching_memo.h"

namespace vostrel::cli {
namespace {

bool fits(const anyhub::AnyHub& hub, const HubFilter& filter) {
    if (filter.location && hub.location != *filter.location && hub.usb2Half != *filter.location &&
        hub.superSpeedHalf != *filter.location) {
        return false;
    }
    if (filter.id && (hub.vendorId != filter.id->vendorId || hub.productId != filter.id->productId)) return false;
    return !filter.serial || hub.serial == *filter.serial;
}

}  // namespace

int hubsCommand(const HubFilter& filter, Output output) {
    const auto hubs = hostHubs("listing every hub");
    const std::string runtime = platform::runtimeFolder();
    hubs->learnPowerSwitching(runtime.empty() ? runtime : runtime + "/" + anyhub::kPowerSwitchingMemoFile);
    std::vector<anyhub::AnyHub> shown;
    for (const anyhub::AnyHub& hub : hubs->hubs()) {
        if (fits(hub, filter)) shown.push_back(hub);
    }
    if (output == Output::Json) {
        printJson(hubsJson(shown), std::cout);
    } else {
        printHubsText(shown, std::cout);
    }
    return 0;
}

}  // namespace vostrel::cli

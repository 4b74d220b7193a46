#include <iostream>

#include "bus.h"
#include "commands.h"
#include "output_format.h"
#include "session.h"

namespace vostrel::cli {

int listCommand(const std::string& stateFolder, Output output) {
    const Session session(stateFolder, StateUse::Read);
    const Bus bus = readBus(session.hub());
    if (output == Output::Json) {
        printJson(busJson(bus), std::cout);
    } else {
        printBusText(bus, std::cout);
    }
    return 0;
}

}  // namespace vostrel::cli

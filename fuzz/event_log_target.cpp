// Fuzz target: any bytes as the event log "vostrel.log", read as the
// programs read it: split into lines, each line into its fields, the fields
// interpreted, and the texts the programs show made of them. Every line's
// fields must come from that line alone, and each field must be text.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "program_core/log_file.h"
#include "program_core/log_line.h"
#include "program_core/recovery_notices.h"
#include "program_core/status_line.h"
#include "usbbus/utf.h"

namespace vostrel::fuzz {
namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

bool wellFormedText(std::string_view text) { return usbbus::utf8ToUtf16(text).has_value(); }

}  // namespace
}  // namespace vostrel::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vostrel;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    for (const std::string& line : program::logLines(bytes)) {
        fuzz::check(fuzz::wellFormedText(line));
        fuzz::check(line.find('\n') == std::string::npos);
        const program::LogLine fields = program::readLogLine(line);
        std::size_t length = 0;
        for (const std::string* field : {&fields.dateTime, &fields.eventCode, &fields.hubIndex, &fields.portNumber,
                                         &fields.vendorId, &fields.productId, &fields.manufacturer, &fields.product}) {
            fuzz::check(line.find(*field) != std::string::npos);
            length += field->size();
        }
        // The fields and at most seven commas between them make up the line.
        fuzz::check(length <= line.size() && line.size() <= length + 7);
        if (const auto event = program::interpretLogLine(fields)) {
            fuzz::check(event->month >= 0 && event->manufacturer == fields.manufacturer);
        }
        fuzz::check(fuzz::wellFormedText(program::statusLineText(true, line)));
        fuzz::check(fuzz::wellFormedText(program::powerCycleNotice(fields).body));
    }
    return 0;
}

// Texts in the programs' core are UTF-8 in std::string. The log file is
// 8-bit text and the command line writes UTF-8 to terminals and JSON, so
// UTF-8 is what most texts already are; the library's UTF-16 record fields
// are converted once, where they are read, and each window toolkit converts
// at its own edge (Qt's QString::fromStdString, a Win32 view's UTF-16).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include <vostrel/hub_api.h>

namespace vostrel::program {

// A fixed UTF-16 record field up to its terminator, at most its 256 units.
// A device chooses its own strings: a lone surrogate becomes U+FFFD, and
// control characters are shown as "\x1b" and the like.
std::string recordText(const HubChar16 (&field)[HUB_TEXT_UNITS]);

// Bytes from a file as text: themselves when they are well-formed UTF-8
// (what the library writes under a UTF-8 locale), otherwise one character
// per byte (U+0000 to U+00FF), so that nothing is dropped; control
// characters shown as "\x1b" and the like.
std::string textFromBytes(std::string_view bytes);

// "0x" and at least four upper-case hexadecimal digits ("0x%04X").
std::string hexId(std::uint32_t id);

}  // namespace vostrel::program

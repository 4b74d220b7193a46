// Reading a bench description: JSON text into a document (kept, so that the
// simulator can write its state back into the same file without disturbing
// the rest), and a document into the bench model, with every value checked.
#pragma once

#include <nlohmann/json.hpp>

#include <string>
#include <string_view>

#include "core/bench.h"

namespace vostrel::sim {

using Document = nlohmann::ordered_json;

// Hubs in a chain below a root hub, as USB allows.
inline constexpr int kMaxHubTiers = 5;

// Throws DescriptionError "LABEL:LINE:COLUMN: what" when `text` is not JSON.
Document parseDocument(std::string_view text, const std::string& label);

// Throws DescriptionError "LABEL: at POINTER: what" for the first value that
// is missing, of the wrong type, out of range, unknown or contradictory.
Bench buildBench(const Document& document, const std::string& label);

// The description's text for a document, as the simulator writes it back.
std::string formatDocument(const Document& document);

}  // namespace vostrel::sim

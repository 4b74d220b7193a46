// The icons of the main window's port states, drawn from the program's own
// SVGs; a port on the watch list carries a badge on its state's icon.
#pragma once

#include <QIcon>
#include <array>

#include "program_core/port_state.h"

namespace talvern {

class PortStateIcons {
public:
    PortStateIcons();

    const QIcon& icon(vostrel::program::PortState state, bool watched) const;

private:
    static constexpr int kStates = 5;
    std::array<QIcon, 2 * kStates> icons_;
};

}  // namespace talvern

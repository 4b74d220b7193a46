// The control program's messages and fixed texts, as every front end shows
// them. Texts in Japanese are the program's own and stay as they are.
#pragma once

#include <string>

#include "program_core/bus_view.h"

namespace vostrel::program {

// The name of the single-instance lock, also the first line of the tray tip.
std::string instanceName();

// String 101: the about item of the main window's system menu.
std::string aboutMenuText();

std::string vendorLibraryErrorCaption();
std::string vendorLibraryErrorText();

std::string deleteLogCaption();
std::string deleteLogText();

// A port switch the library refused: the caption, and the text with the
// vendor library's reason.
std::string refusedSwitchCaption();
std::string refusedSwitchText(const PortView& port, bool on, const std::string& reason);

// Asked before Port Off on a watched port while auto recovery runs.
std::string watchedPortOffCaption();
std::string watchedPortOffText(const PortView& port);
std::string stopWatchingAndSwitchOffText();

// A port command refused because the hubs or the port's device changed
// since its menu was opened.
std::string portChangedCaption();
std::string portChangedText();

}  // namespace vostrel::program

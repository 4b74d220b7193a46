// How the program shows the fields of the library's records.
#pragma once

#include <QString>
#include <cstdint>

#include <vostrel/hub_api.h>

#include "frame/records.h"

namespace talvern {

// A fixed UTF-16 text field up to its terminator; a field without one ends
// at its last unit. A device chooses its texts: control characters are
// shown as "\x1b" and the like.
QString recordText(const char16_t (&text)[vostrel::kTextUnits]);

// "0x" and at least four upper-case hexadecimal digits ("0x%04X").
QString hexId(std::uint32_t id);

// Manufacturer and product joined by one blank ("%s %s").
QString deviceName(const QString& manufacturer, const QString& product);

// The hub driver's name of a connection status ("DeviceConnected"); a value
// without a name shows as a number.
QString connectionStatusName(std::uint32_t status);

// The bus speed of an attached device ("high speed (480 Mbit/s)").
QString speedName(std::uint8_t speed);

// Tree labels of the main window; ports are shown numbered from 1.
QString hubLabel(int hubIndex);
QString portLabel(int portIndex, const vostrel::PortInfoRecord& port);

}  // namespace talvern

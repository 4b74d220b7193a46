// The host controllers already scanned in the current scan, by driver key
// name, so that a controller reached both by number and through the
// interface list is scanned once. Library-wide state under the general lock.
#pragma once

#include <cstddef>
#include <string>

#include "frame/locks.h"

namespace vostrel {

// True when `key` is in the list (exact comparison of the UTF-16 units).
bool controllerListed(const std::u16string& key) REQUIRES(generalLock);

// The number of controllers in the list.
std::size_t listedControllerCount() REQUIRES(generalLock);

// Appends `key` at the tail.
void appendController(std::u16string key) REQUIRES(generalLock);

// Empties the list.
void ClearControllerList() REQUIRES(generalLock);

}  // namespace vostrel

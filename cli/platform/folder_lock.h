// An advisory lock on a folder, shared by every vostrel program: the one
// that holds it owns the settings file in that folder.
#pragma once

#include <string>

namespace vostrel::cli::platform {

enum class LockResult { Taken, Busy, Failed };

// Takes the lock on `folder` without waiting and holds it until the process
// ends, so that it still covers what the hub library writes while the
// process exits. Sets `why` on failure.
LockResult lockFolderUntilExit(const std::string& folder, std::string& why);

}  // namespace vostrel::cli::platform

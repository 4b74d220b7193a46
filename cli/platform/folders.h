// The folders the program works in: the state folder it is given, the
// current folder, and private temporary folders.
#pragma once

#include <cstddef>
#include <string>

namespace vostrel::cli::platform {

// Empty when `path` is a folder this process may create and replace files
// in; else what is wrong, e.g. "does not exist", "is not a folder",
// "permission denied".
std::string folderProblem(const std::string& path, bool needWrite);

// The state folder when none is given: the current folder ("."); on
// Windows the folder Vostrel in the user's local application data, made when
// missing. Throws std::runtime_error when it cannot be found or made.
std::string defaultStateFolder();

// How the help names it.
std::string defaultStateFolderName();

// The user's own folder for files that live as long as the session
// ($XDG_RUNTIME_DIR), or for root without one the system's (/run/vostrel,
// made when missing): only one that belongs to this user and that no one
// else may write in; empty when there is none.
std::string runtimeFolder();

// Throws std::runtime_error with the reason when it cannot change.
void changeCurrentFolder(const std::string& path);

// A new empty folder under the system's temporary folder, readable by this
// user only. Throws std::runtime_error when none can be made.
std::string makePrivateFolder();

// Why a new file of `size` bytes cannot be written in `folder` now (e.g.
// "no space left on device"), found by writing one and removing it again;
// empty when it can.
std::string fileWriteProblem(const std::string& folder, std::size_t size);

// The reason of the last failed system call of this thread, e.g.
// "permission denied".
std::string lastErrorText();

}  // namespace vostrel::cli::platform

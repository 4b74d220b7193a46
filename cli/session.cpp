#include "session.h"

#include <filesystem>
#include <system_error>

#include "command_error.h"
#include "platform/folder_lock.h"
#include "platform/folders.h"

namespace vostrel::cli {
namespace {

namespace fs = std::filesystem;

std::string lowerFirst(std::string text) {
    if (!text.empty() && text[0] >= 'A' && text[0] <= 'Z') text[0] = static_cast<char>(text[0] - 'A' + 'a');
    return text;
}

// The state folder's settings file, if any, copied into `privateFolder`.
void copySettings(const std::string& stateFolder, const std::string& privateFolder) {
    const fs::path source = fs::path(stateFolder) / kSettingsFile;
    std::error_code error;
    if (!fs::exists(source, error)) return;
    fs::copy_file(source, fs::path(privateFolder) / kSettingsFile, error);
    if (error) throw failure("cannot read " + source.string() + ": " + lowerFirst(error.message()));
}

void lockStateFolder(const std::string& folder) {
    std::string why;
    switch (platform::lockFolderUntilExit(folder, why)) {
    case platform::LockResult::Taken:
        return;
    case platform::LockResult::Busy:
        throw failure("another vostrel program is using the state folder " + folder +
                      " (a monitor running there?): stop it first, e.g. with 'systemctl stop vostrel-monitor', "
                      "and try again");
    case platform::LockResult::Failed:
        break;
    }
    throw failure("cannot lock the state folder " + folder + ": " + why);
}

}  // namespace

std::string checkedStateFolder(const std::string& path, bool write) {
    std::string folder = path;
    if (folder.empty()) {
        try {
            folder = platform::defaultStateFolder();
        } catch (const std::runtime_error& error) {
            throw failure(error.what());
        }
    }
    const std::string absolute = fs::absolute(folder).lexically_normal().string();
    const std::string problem = platform::folderProblem(absolute, write);
    if (problem.empty()) return absolute;
    if (problem == "does not exist" || problem == "is not a folder") {
        throw failure("the state folder " + absolute + " " + problem);
    }
    throw failure(std::string("cannot ") + (write ? "write in" : "use") + " the state folder " + absolute + ": " +
                  problem);
}

Session::Session(const std::string& stateFolder, StateUse use)
    : stateFolder_(checkedStateFolder(stateFolder, use == StateUse::Change)) {
    try {
        if (use == StateUse::Change) {
            lockStateFolder(stateFolder_);
            platform::changeCurrentFolder(stateFolder_);
        } else {
            privateFolder_ = platform::makePrivateFolder();
            copySettings(stateFolder_, privateFolder_);
            platform::changeCurrentFolder(privateFolder_);
        }
        hub_ = loadHubLibrary();
    } catch (const CommandError&) {
        removePrivateFolder();
        throw;
    } catch (const std::runtime_error& error) {
        removePrivateFolder();
        throw failure(error.what());
    }
    recoveryStoredAtLoad_ = hub_.recoveryStored() != 0;
    // A stored flag starts the library's monitor at load; on a private copy
    // it would be a second monitor beside the one that owns the state folder.
    if (!privateFolder_.empty() && recoveryStoredAtLoad_) hub_.stopRecovery();
}

Session::~Session() { removePrivateFolder(); }

// The private folder goes while the program is still in it: whatever the
// library saves there when the program exits goes nowhere.
void Session::removePrivateFolder() {
    if (privateFolder_.empty()) return;
    std::error_code ignored;
    fs::remove_all(privateFolder_, ignored);
    privateFolder_.clear();
}

}  // namespace vostrel::cli

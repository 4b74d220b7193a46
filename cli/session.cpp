#include "session.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <vector>

#include "command_error.h"
#include "frame/text.h"
#include "platform/file_tail.h"
#include "platform/files.h"
#include "platform/folder_lock.h"
#include "platform/folders.h"
#include "recovery/settings.h"

namespace vostrel::cli {
namespace {

namespace fs = std::filesystem;

// The state folder's settings file, if any, copied into `privateFolder`. A
// link, a FIFO or a device in its place counts as no file, as it does for
// the library.
void copySettings(const std::string& stateFolder, const std::string& privateFolder) {
    platform::TailPosition start;
    const auto settings =
        platform::readTail(stateFolder + "/" + kSettingsFile, start, sizeof(vostrel::AutoCheckSettings));
    if (!settings) return;
    std::ofstream copy(fs::path(privateFolder) / kSettingsFile, std::ios::binary);
    copy << settings->bytes;
    if (!copy.flush()) throw failure("cannot copy the settings into " + privateFolder);
}

// What the library holds of the settings, as its exports tell.
struct HeldSettings {
    std::uint8_t interval = 0;
    std::uint8_t offTime = 0;
    bool recovery = false;
    std::vector<DeviceInfoRecord> watched;
};

HeldSettings heldSettings(const HubLibrary& hub) {
    HeldSettings held;
    hub.getTimes(&held.interval, &held.offTime);
    held.recovery = hub.recoveryStored() != 0;
    DeviceInfoRecord record{};
    for (int more = hub.firstWatched(&record); more != 0; more = hub.nextWatched(&record)) {
        held.watched.push_back(record);
    }
    return held;
}

bool sameText(const char16_t (&a)[kTextUnits], const char16_t (&b)[kTextUnits]) {
    const std::size_t length = textLength(a);
    return length == textLength(b) && std::equal(a, a + length, b);
}

bool fileHolds(const vostrel::AutoCheckSettings& file, const HeldSettings& held) {
    if (file.interval != held.interval || file.offTime != held.offTime || (file.enabled != 0) != held.recovery ||
        file.count != held.watched.size()) {
        return false;
    }
    for (std::size_t i = 0; i < held.watched.size(); ++i) {
        const vostrel::AutoCheckEntry& entry = file.entries[i];
        const DeviceInfoRecord& record = held.watched[i];
        if (entry.hubIndex != record.hubIndex || entry.portIndex != record.portIndex ||
            entry.vendorId != record.vendorId || entry.productId != record.productId ||
            !sameText(entry.manufacturer, record.manufacturer) || !sameText(entry.product, record.product)) {
            return false;
        }
    }
    return true;
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

[[noreturn]] void notStored(const std::string& stateFolder) {
    std::string why = platform::fileWriteProblem(stateFolder, sizeof(vostrel::AutoCheckSettings));
    if (why.empty()) why = "the hub library could not save it";
    throw failure("the change was not stored: " + stateFolder + "/" + kSettingsFile + " could not be written: " + why);
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

void Session::storeChange() const {
    const HeldSettings held = heldSettings(hub_);
    const std::string file = stateFolder_ + "/" + kSettingsFile;
    vostrel::AutoCheckSettings stored{};
    const std::size_t size = vostrel::platform::readFilePrefix(file.c_str(), &stored, sizeof stored);
    if (size != sizeof stored || !fileHolds(stored, held)) notStored(stateFolder_);
}

void expectStoredTimes(const std::string& stateFolder, std::uint8_t interval, std::uint8_t offTime) {
    const std::string file = stateFolder + "/" + kSettingsFile;
    vostrel::AutoCheckSettings stored{};
    const std::size_t size = vostrel::platform::readFilePrefix(file.c_str(), &stored, sizeof stored);
    if (size != sizeof stored || stored.interval != interval || stored.offTime != offTime) notStored(stateFolder);
}

// The private folder goes while the program is still in it: whatever the
// library saves there when the program exits goes nowhere.
void Session::removePrivateFolder() {
    if (privateFolder_.empty()) return;
    std::error_code ignored;
    fs::remove_all(privateFolder_, ignored);
    privateFolder_.clear();
}

}  // namespace vostrel::cli

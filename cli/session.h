// The hub library loaded for one command, in the folder that command needs.
//
// The library reads its settings from the current folder when it loads and
// writes them back there when the program exits. A command that only reads
// the settings therefore runs it on a private copy, so that it never writes
// into the state folder and never starts a second monitor there; a command
// that changes them runs it in the state folder itself, locked against every
// other vostrel program (a running monitor among them) until it has exited.
#pragma once

#include <cstdint>
#include <string>

#include "hub_library.h"

namespace vostrel::cli {

enum class StateUse { Read, Change };

class Session {
public:
    // Throws a CommandError (1) when the state folder does not exist, cannot
    // be written (Change), is in use by another vostrel program (Change), or
    // the library cannot be loaded.
    Session(const std::string& stateFolder, StateUse use);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    const HubLibrary& hub() const { return hub_; }
    const std::string& stateFolder() const { return stateFolder_; }
    // The stored auto-recovery flag as the library found it at its load.
    bool recoveryStoredAtLoad() const { return recoveryStoredAtLoad_; }

    // For a change the library writes to the settings file at once (the
    // watch list, the flag): checks that the file holds the settings as the
    // library holds them. The library keeps a change it could not save only
    // in memory, and says nothing; this throws a CommandError (1) saying that
    // the change was not stored, and why.
    void storeChange() const;

private:
    void removePrivateFolder();

    std::string stateFolder_;
    std::string privateFolder_;
    HubLibrary hub_{};
    bool recoveryStoredAtLoad_ = false;
};

inline constexpr char kSettingsFile[] = "vostrel.dat";
inline constexpr char kEventLogFile[] = "vostrel.log";

// The same for new times, which the library saves only when it is unloaded:
// checks the settings file in `stateFolder` (absolute) once the program
// that set them has ended.
void expectStoredTimes(const std::string& stateFolder, std::uint8_t interval, std::uint8_t offTime);

// The state folder as an absolute path; a CommandError (1) when it is not a
// folder this process can use (written to as well when `write` is set).
std::string checkedStateFolder(const std::string& path, bool write);

}  // namespace vostrel::cli

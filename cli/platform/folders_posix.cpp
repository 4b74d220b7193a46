#include "platform/folders.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <vector>

namespace vostrel::cli::platform {

std::string lastErrorText() {
    std::string text = std::strerror(errno);
    if (!text.empty()) text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
    return text;
}

std::string folderProblem(const std::string& path, bool needWrite) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) return errno == ENOENT ? "does not exist" : lastErrorText();
    if (!S_ISDIR(status.st_mode)) return "is not a folder";
    // Replacing a file takes writing and searching the folder.
    const int mode = needWrite ? (W_OK | X_OK) : X_OK;
    if (::access(path.c_str(), mode) != 0) return errno == EROFS ? "is on a read-only file system" : lastErrorText();
    return {};
}

std::string defaultStateFolder() { return "."; }

std::string defaultStateFolderName() { return "the current folder"; }

namespace {

// A folder of this user's that no one else may write in.
bool isPrivateFolder(const char* folder) {
    struct stat status {};
    return folder != nullptr && folder[0] == '/' && ::stat(folder, &status) == 0 && S_ISDIR(status.st_mode) &&
           status.st_uid == ::geteuid() && (status.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

}  // namespace

std::string runtimeFolder() {
    const char* session = ::getenv("XDG_RUNTIME_DIR");
    if (isPrivateFolder(session)) return session;
    // Root without a session of its own (sudo, scripts, services): a folder
    // of the system's runtime folder, which goes at shutdown too.
    constexpr char kSystemFolder[] = "/run/vostrel";
    if (::geteuid() != 0) return {};
    if (::mkdir(kSystemFolder, 0700) != 0 && errno != EEXIST) return {};
    return isPrivateFolder(kSystemFolder) ? kSystemFolder : "";
}

void changeCurrentFolder(const std::string& path) {
    if (::chdir(path.c_str()) != 0) throw std::runtime_error("cannot change into " + path + ": " + lastErrorText());
}

std::string fileWriteProblem(const std::string& folder, std::size_t size) {
    std::string name = folder + "/.vostrel-write-check-XXXXXX";
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) return lastErrorText();
    std::string why;
    const std::vector<char> zeros(size);
    for (std::size_t done = 0; done < size && why.empty();) {
        const ssize_t written = ::write(fd, zeros.data() + done, size - done);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            why = written < 0 ? lastErrorText() : "nothing written";
        } else {
            done += static_cast<std::size_t>(written);
        }
    }
    if (why.empty() && ::fsync(fd) != 0) why = lastErrorText();
    ::close(fd);
    ::unlink(name.c_str());
    return why;
}

std::string makePrivateFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "vostrel-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot make a temporary folder: " + lastErrorText());
    }
    return pattern;
}

}  // namespace vostrel::cli::platform

// A fresh, empty folder that is the current directory for the life of the
// object; the previous current directory comes back and the folder goes.
#pragma once

#if !defined(_WIN32)
#include <unistd.h>
#endif

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace vostrel::test {

class ScratchDir {
public:
    ScratchDir() : previous_(std::filesystem::current_path()), path_(makeFolder()) {
        std::filesystem::current_path(path_);
    }
    ~ScratchDir() {
        std::filesystem::current_path(previous_);
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::filesystem::path& path() const { return path_; }

    // A new folder under the system's temporary folder, created by us alone
    // (and on POSIX open to us alone, as a runtime folder must be).
    static std::filesystem::path makeFolder() {
#if defined(_WIN32)
        std::random_device seed;
        std::mt19937_64 random(seed());
        for (int attempt = 0; attempt < 100; ++attempt) {
            const auto candidate =
                std::filesystem::temp_directory_path() / ("vostrel-test-" + std::to_string(random() % 1000000000));
            if (std::filesystem::create_directory(candidate)) return candidate;
        }
        throw std::runtime_error("cannot make a scratch folder");
#else
        std::string pattern = (std::filesystem::temp_directory_path() / "vostrel-test-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
        return pattern;
#endif
    }

private:
    std::filesystem::path previous_;
    std::filesystem::path path_;
};

inline std::vector<unsigned char> readBytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void writeBytes(const std::filesystem::path& file, const void* data, std::size_t size) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
}

}  // namespace vostrel::test

// Reads a fuzz input as a stream of small decisions. Past its end every read
// gives zero, so any input, however short, describes a whole case. Callers
// read one value per statement: the order of evaluation of function
// arguments differs between compilers, and a saved input must describe the
// same case under each.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vostrel::fuzz {

class FuzzInput {
public:
    FuzzInput(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    std::uint8_t byte() { return at_ < size_ ? data_[at_++] : 0; }
    std::uint16_t u16() {
        const std::uint16_t low = byte();
        return static_cast<std::uint16_t>(low | byte() << 8);
    }
    std::uint32_t u32() {
        const std::uint32_t low = u16();
        return low | static_cast<std::uint32_t>(u16()) << 16;
    }
    bool flag() { return (byte() & 1) != 0; }

    // A number from 0 to `count` - 1.
    int below(int count) { return count <= 1 ? 0 : byte() % count; }

    // Up to `max` bytes, preceded by their count.
    std::vector<std::uint8_t> bytes(std::size_t max) {
        std::vector<std::uint8_t> out(byte() % (max + 1));
        for (auto& b : out) b = byte();
        return out;
    }

    // Up to `max` units, some of them outside ASCII.
    std::u16string text(std::size_t max) {
        std::u16string out(byte() % (max + 1), u'\0');
        for (auto& unit : out) {
            const bool wide = byte() % 4 == 0;
            unit = static_cast<char16_t>(wide ? u16() : u'A' + byte() % 26);
        }
        return out;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

}  // namespace vostrel::fuzz

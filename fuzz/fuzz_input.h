// Reads a fuzzer's byte block as a sequence of small choices and byte strings, so that one
// input can drive several calls. Every read is bounded by what is left; an exhausted input
// gives zeros and empty strings.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace qm::fuzz {

class FuzzInput {
public:
    FuzzInput(const uint8_t* data, size_t size)
        : rest_(reinterpret_cast<const char*>(data), size) {}

    bool empty() const { return rest_.empty(); }
    size_t size() const { return rest_.size(); }

    uint8_t Byte() {
        if (rest_.empty()) return 0;
        const auto value = static_cast<uint8_t>(rest_.front());
        rest_.remove_prefix(1);
        return value;
    }

    // A little-endian 16-bit number.
    uint16_t Short() {
        const uint16_t low = Byte();
        return static_cast<uint16_t>(low | (Byte() << 8));
    }

    // The next `count` bytes (fewer when the input ends).
    std::string_view Bytes(size_t count) {
        const std::string_view part = rest_.substr(0, count);
        rest_.remove_prefix(part.size());
        return part;
    }

    // A string whose length comes from the input first (16 bits).
    std::string_view Sized() { return Bytes(Short()); }

    // The bytes up to the next `mark` (the mark itself dropped), or all that is left.
    std::string_view Until(std::string_view mark) {
        const size_t at = rest_.find(mark);
        if (at == std::string_view::npos) return Rest();
        const std::string_view part = rest_.substr(0, at);
        rest_.remove_prefix(at + mark.size());
        return part;
    }

    std::string_view Rest() {
        const std::string_view part = rest_;
        rest_ = {};
        return part;
    }

private:
    std::string_view rest_;
};

// Stops the fuzzer with a message when a property that must hold does not (a finding, as a
// crash would be).
void Require(bool condition, const char* what);

}  // namespace qm::fuzz

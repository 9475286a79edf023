#pragma once
// The program memory of the five ROMs with a mark for every byte that a code
// file or a source actually gives, so that gaps stay gaps.
#include <array>
#include <bitset>
#include <cstdint>

namespace tallivo::assembler {

// Program addresses that the five 4001 ROMs answer: 0x000 to 0x4FF.
inline constexpr int kRomEnd = 0x500;
inline constexpr int kPageSize = 0x100;

struct RomImage {
    std::array<std::uint8_t, kRomEnd> bytes{};
    std::bitset<kRomEnd> present;

    void set(int address, std::uint8_t value) {
        bytes[static_cast<std::size_t>(address)] = value;
        present.set(static_cast<std::size_t>(address));
    }
    bool has(int address) const { return present.test(static_cast<std::size_t>(address)); }
    std::uint8_t at(int address) const { return bytes[static_cast<std::size_t>(address)]; }

    friend bool operator==(const RomImage&, const RomImage&) = default;
};

}  // namespace tallivo::assembler

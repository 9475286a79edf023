#pragma once
// Writes small Windows bitmap files for the tests: a 14-byte file header, a
// 40-byte info header, an optional palette and the padded pixel rows. Every
// header field can be overridden afterwards to build broken files.
#include <cstdint>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace tallivo::testing {

struct BitmapSpec {
    std::int32_t width = 1;
    std::int32_t height = 1;
    std::uint16_t bitsPerPixel = 24;
    bool topDown = false;              // store the rows top row first (negative height)
    std::uint32_t paletteEntries = 0;  // 4 bytes each, between headers and rows
    // Bytes of the pixel at (x, y), y counted from the top of the picture;
    // bitsPerPixel / 8 of them are used, in file order (blue, green, red).
    std::function<std::vector<std::uint8_t>(int x, int y)> pixel;
};

inline void putLe(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i)
        b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
}

inline std::size_t rowBytes(const BitmapSpec& s) {
    return (static_cast<std::size_t>(s.bitsPerPixel) * static_cast<std::size_t>(s.width) / 8 + 3) /
           4 * 4;
}

inline std::vector<std::uint8_t> makeBitmap(const BitmapSpec& s) {
    const std::size_t row = rowBytes(s);
    const std::size_t offset = 54 + 4 * static_cast<std::size_t>(s.paletteEntries);
    const std::size_t imageSize = row * static_cast<std::size_t>(s.height);
    std::vector<std::uint8_t> b(offset + imageSize, 0);
    b[0] = 'B';
    b[1] = 'M';
    putLe(b, 2, static_cast<std::uint32_t>(b.size()), 4);
    putLe(b, 10, static_cast<std::uint32_t>(offset), 4);
    putLe(b, 14, 40, 4);
    putLe(b, 18, static_cast<std::uint32_t>(s.width), 4);
    putLe(b, 22, static_cast<std::uint32_t>(s.topDown ? -s.height : s.height), 4);
    putLe(b, 26, 1, 2);
    putLe(b, 28, s.bitsPerPixel, 2);
    putLe(b, 34, static_cast<std::uint32_t>(imageSize), 4);
    putLe(b, 46, s.paletteEntries, 4);
    // A palette that does not match the stored values, so that a reader that
    // looked values up in it would be caught.
    for (std::uint32_t i = 0; i < s.paletteEntries; ++i) {
        const std::size_t at = 54 + 4 * static_cast<std::size_t>(i);
        b[at] = b[at + 1] = b[at + 2] = static_cast<std::uint8_t>(255 - i);
    }
    const std::size_t bytesPerPixel = s.bitsPerPixel / 8u;
    for (int y = 0; y < s.height; ++y) {
        const int stored = s.topDown ? y : s.height - 1 - y;
        for (int x = 0; x < s.width; ++x) {
            const auto value = s.pixel ? s.pixel(x, y) : std::vector<std::uint8_t>{};
            for (std::size_t k = 0; k < bytesPerPixel && k < value.size(); ++k)
                b[offset + static_cast<std::size_t>(stored) * row +
                  static_cast<std::size_t>(x) * bytesPerPixel + k] = value[k];
        }
    }
    return b;
}

inline void writeFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

}  // namespace tallivo::testing

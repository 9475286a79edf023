#include "tools/bitmap_file.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/tools/bitmap_writer.h"

namespace tallivo {
namespace {

using testing::BitmapSpec;
using testing::makeBitmap;
using testing::putLe;

// A 24-bit picture whose pixel (x, y), y from the top, has blue = x, green = y
// and red = 0x80, so that each sampled pixel tells where it came from.
BitmapSpec coordinatePicture(int width, int height, bool topDown = false) {
    BitmapSpec s;
    s.width = width;
    s.height = height;
    s.topDown = topDown;
    s.pixel = [](int x, int y) {
        return std::vector<std::uint8_t>{static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y),
                                         0x80};
    };
    return s;
}

BitmapStatus loadPicture(const std::vector<std::uint8_t>& file, int availW, int availH,
                         ScaledBitmap& out) {
    MemorySource source(file);
    return loadScaledPicture(source, availW, availH, out);
}

BitmapStatus headerOf(const std::vector<std::uint8_t>& file, int bpp) {
    MemorySource source(file);
    BitmapHeader header;
    return readBitmapHeader(source, bpp, header);
}

TEST(ScaleDivisor, IsTheSmallestDivisorThatFitsBothSides) {
    // Checked against the definition: the first d from 1 up that fits.
    for (int w : {1, 2, 99, 100, 101, 199, 200, 201, 299, 301, 1000, 16384}) {
        for (int h : {1, 50, 100, 101, 250, 5000}) {
            for (int aw : {1, 3, 99, 100, 800}) {
                for (int ah : {1, 7, 100, 600}) {
                    int expected = 1;
                    while (w / expected > aw || h / expected > ah) ++expected;
                    ASSERT_EQ(scaleDivisor(w, h, aw, ah), expected)
                        << w << "x" << h << " in " << aw << "x" << ah;
                }
            }
        }
    }
}

TEST(ScaleDivisor, AnEmptyAvailableAreaCountsAsOnePixel) {
    // 10 / 6 is the first quotient that fits one pixel.
    EXPECT_EQ(scaleDivisor(10, 4, 0, 0), 6);
    EXPECT_EQ(scaleDivisor(10, 4, -5, 100), 6);
    EXPECT_EQ(scaleDivisor(0, 0, 0, 0), 1);
}

TEST(PixelType, ThresholdsOfTheTypeMap) {
    EXPECT_EQ(pixelType(0), 0);
    EXPECT_EQ(pixelType(1), 1);
    EXPECT_EQ(pixelType(64), 1);
    EXPECT_EQ(pixelType(65), 2);
    EXPECT_EQ(pixelType(254), 2);
    EXPECT_EQ(pixelType(255), 3);
}

TEST(BitmapReader, ReadsAPictureThatFitsUnscaledTopRowFirst) {
    // Width 5 makes rows of 15 bytes padded to 16.
    ScaledBitmap p;
    ASSERT_EQ(loadPicture(makeBitmap(coordinatePicture(5, 3)), 100, 100, p), BitmapStatus::ok);
    EXPECT_EQ(p.width, 5);
    EXPECT_EQ(p.height, 3);
    EXPECT_EQ(p.divisor, 1);
    EXPECT_EQ(p.bytesPerPixel, 3);
    ASSERT_EQ(p.bytes.size(), 5u * 3u * 3u);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 5; ++x) {
            const std::size_t i = static_cast<std::size_t>(y * 5 + x) * 3;
            EXPECT_EQ(p.bytes[i], x);
            EXPECT_EQ(p.bytes[i + 1], y);
            EXPECT_EQ(p.bytes[i + 2], 0x80);
        }
    }
}

TEST(BitmapReader, TopDownFileReadsTheRightWayUp) {
    for (const auto& [availW, availH] : {std::pair{100, 100}, std::pair{3, 2}}) {
        ScaledBitmap bottomUp, topDown;
        ASSERT_EQ(loadPicture(makeBitmap(coordinatePicture(7, 5)), availW, availH, bottomUp),
                  BitmapStatus::ok);
        ASSERT_EQ(loadPicture(makeBitmap(coordinatePicture(7, 5, true)), availW, availH, topDown),
                  BitmapStatus::ok);
        EXPECT_EQ(topDown.bytes, bottomUp.bytes);
        EXPECT_EQ(topDown.bytes[1], bottomUp.bytes[1]);
    }
}

TEST(BitmapReader, LargePictureIsSampledAtTheDivisor) {
    // Scaled row j, counted from the bottom, keeps stored row j·d + d − 1 from
    // the bottom; scaled pixel x is stored pixel x·d. In top-row indices:
    // 7 × 5 into 3 × 2 gives d = 2 and keeps rows 1 and 3 (rows 0, 2 and 4 are
    // skipped); 9 × 8 into 3 × 2 gives d = 3 and keeps rows 2 and 5.
    struct Case {
        int width, height, availW, availH, divisor;
        std::vector<int> rows;
    };
    for (const auto& c : {Case{7, 5, 3, 2, 2, {1, 3}}, Case{9, 8, 3, 2, 3, {2, 5}}}) {
        for (bool topDown : {false, true}) {
            ScaledBitmap p;
            ASSERT_EQ(loadPicture(makeBitmap(coordinatePicture(c.width, c.height, topDown)),
                                  c.availW, c.availH, p),
                      BitmapStatus::ok);
            ASSERT_EQ(p.divisor, c.divisor);
            ASSERT_EQ(p.width, c.width / c.divisor);
            ASSERT_EQ(p.height, c.height / c.divisor);
            EXPECT_EQ(p.sourceWidth, c.width);
            EXPECT_EQ(p.sourceHeight, c.height);
            for (int y = 0; y < p.height; ++y) {
                for (int x = 0; x < p.width; ++x) {
                    const std::size_t i = static_cast<std::size_t>(y * p.width + x) * 3;
                    EXPECT_EQ(p.bytes[i], x * c.divisor)
                        << x << "," << y << (topDown ? " top-down" : "");
                    EXPECT_EQ(p.bytes[i + 1], c.rows[static_cast<std::size_t>(y)]) << x << "," << y;
                }
            }
        }
    }
}

BitmapSpec typeFile(int width, int height, std::function<int(int, int)> value) {
    BitmapSpec s;
    s.width = width;
    s.height = height;
    s.bitsPerPixel = 8;
    s.paletteEntries = 256;
    s.pixel = [value](int x, int y) {
        return std::vector<std::uint8_t>{static_cast<std::uint8_t>(value(x, y))};
    };
    return s;
}

TEST(TypeMap, StoredValuesBecomeTypesIgnoringThePalette) {
    const int values[6] = {0, 1, 64, 65, 254, 255};
    ScaledBitmap picture;
    ASSERT_EQ(loadPicture(makeBitmap(coordinatePicture(6, 1)), 100, 100, picture),
              BitmapStatus::ok);
    // Width 6 gives rows of 6 bytes padded to 8.
    const auto file = makeBitmap(typeFile(6, 1, [&](int x, int) { return values[x]; }));
    MemorySource source(file);
    ScaledBitmap types;
    ASSERT_EQ(loadTypeMap(source, picture, types), BitmapStatus::ok);
    EXPECT_EQ(types.bytes, (std::vector<std::uint8_t>{0, 1, 1, 2, 2, 3}));
    EXPECT_EQ(types.bytesPerPixel, 1);
}

TEST(TypeMap, ReadWithThePicturesDivisorAndSize) {
    // A 7 × 5 picture shown at 3 × 2 (d = 2); the type map samples the same
    // places: columns 0, 2, 4 and top-row indices 1 and 3.
    ScaledBitmap picture;
    ASSERT_EQ(loadPicture(makeBitmap(coordinatePicture(7, 5)), 3, 2, picture), BitmapStatus::ok);
    auto value = [](int x, int y) { return (y == 1 || y == 3) && x % 2 == 0 ? 255 : 0; };
    for (bool topDown : {false, true}) {
        auto layout = typeFile(7, 5, value);
        layout.topDown = topDown;
        const auto file = makeBitmap(layout);
        MemorySource source(file);
        ScaledBitmap types;
        ASSERT_EQ(loadTypeMap(source, picture, types), BitmapStatus::ok);
        EXPECT_EQ(types.width, 3);
        EXPECT_EQ(types.height, 2);
        EXPECT_EQ(types.bytes, std::vector<std::uint8_t>(6, 3));
    }
}

TEST(TypeMap, LargerMapLinesUpAtTheBottomLeft) {
    ScaledBitmap picture;
    ASSERT_EQ(loadPicture(makeBitmap(coordinatePicture(2, 2)), 100, 100, picture),
              BitmapStatus::ok);
    // 4 × 4 map: only its bottom-left 2 × 2 (top-row indices 2 and 3) is used.
    const auto file =
        makeBitmap(typeFile(4, 4, [](int x, int y) { return x < 2 && y >= 2 ? 1 : 255; }));
    MemorySource source(file);
    ScaledBitmap types;
    ASSERT_EQ(loadTypeMap(source, picture, types), BitmapStatus::ok);
    EXPECT_EQ(types.bytes, std::vector<std::uint8_t>(4, 1));
}

TEST(TypeMap, MapSmallerThanThePictureIsRejected) {
    ScaledBitmap picture;
    ASSERT_EQ(loadPicture(makeBitmap(coordinatePicture(4, 3)), 100, 100, picture),
              BitmapStatus::ok);
    for (const auto& [w, h] : {std::pair{3, 3}, std::pair{4, 2}, std::pair{1, 1}}) {
        const auto file = makeBitmap(typeFile(w, h, [](int, int) { return 1; }));
        MemorySource source(file);
        ScaledBitmap types;
        EXPECT_EQ(loadTypeMap(source, picture, types), BitmapStatus::smallerThanPicture)
            << w << "x" << h;
        EXPECT_TRUE(types.bytes.empty());
    }
}

TEST(TypeMap, TwentyFourBitMapIsRejected) {
    ScaledBitmap picture;
    const auto file = makeBitmap(coordinatePicture(4, 3));
    ASSERT_EQ(loadPicture(file, 100, 100, picture), BitmapStatus::ok);
    MemorySource source(file);
    ScaledBitmap types;
    EXPECT_EQ(loadTypeMap(source, picture, types), BitmapStatus::wrongBitsPerPixel);
}

// Broken files: every check is made before anything is read, and whatever
// the header says, nothing outside the file is touched (the sanitizer build
// and the fuzz targets catch what these asserts cannot).
class BrokenBitmap : public ::testing::Test {
  protected:
    std::vector<std::uint8_t> good = makeBitmap(coordinatePicture(5, 4));
};

TEST_F(BrokenBitmap, ShortHeadersAndBadSignature) {
    EXPECT_EQ(headerOf({}, 24), BitmapStatus::truncatedHeader);
    EXPECT_EQ(headerOf(std::vector<std::uint8_t>(good.begin(), good.begin() + 13), 24),
              BitmapStatus::truncatedHeader);
    EXPECT_EQ(headerOf(std::vector<std::uint8_t>(good.begin(), good.begin() + 53), 24),
              BitmapStatus::truncatedHeader);
    auto bad = good;
    bad[1] = 'N';
    EXPECT_EQ(headerOf(bad, 24), BitmapStatus::badSignature);
    bad = good;
    bad[0] = 'b';
    EXPECT_EQ(headerOf(bad, 24), BitmapStatus::badSignature);
}

TEST_F(BrokenBitmap, WrongBitsPerPixel) {
    EXPECT_EQ(headerOf(good, 8), BitmapStatus::wrongBitsPerPixel);
    for (std::uint32_t bpp : {0u, 1u, 16u, 32u}) {
        auto bad = good;
        putLe(bad, 28, bpp, 2);
        EXPECT_EQ(headerOf(bad, 24), BitmapStatus::wrongBitsPerPixel) << bpp;
    }
}

TEST_F(BrokenBitmap, DimensionsThatAreNotPositiveOrTooLarge) {
    struct Case {
        std::uint32_t width, height;
    };
    for (const auto& c : {Case{0, 4}, Case{static_cast<std::uint32_t>(-5), 4}, Case{5, 0},
                          Case{0x80000000u, 4}, Case{5, 0x80000000u}, Case{16385, 1},
                          Case{1, 16385}, Case{1, static_cast<std::uint32_t>(-16385)},
                          Case{16384, 16384}, Case{0xFFFFFFFFu, 0xFFFFFFFFu}}) {
        auto bad = good;
        putLe(bad, 18, c.width, 4);
        putLe(bad, 22, c.height, 4);
        EXPECT_EQ(headerOf(bad, 24), BitmapStatus::badDimensions)
            << std::hex << c.width << " x " << c.height;
    }
}

TEST_F(BrokenBitmap, LargestAcceptedSidesAreOnlyLimitedByTheFile) {
    // 16384 × 1 passes the size checks and fails only because its rows are
    // not in the file.
    auto bad = good;
    putLe(bad, 18, 16384, 4);
    putLe(bad, 22, 1, 4);
    putLe(bad, 34, 0, 4);
    EXPECT_EQ(headerOf(bad, 24), BitmapStatus::rowsOutsideFile);
    const auto wide = makeBitmap(coordinatePicture(16384, 1));
    EXPECT_EQ(headerOf(wide, 24), BitmapStatus::ok);
}

TEST_F(BrokenBitmap, ImageSizeFieldPastTheEndOfTheFile) {
    auto bad = good;
    putLe(bad, 34, static_cast<std::uint32_t>(bad.size()), 4);
    EXPECT_EQ(headerOf(bad, 24), BitmapStatus::lengthMismatch);
    putLe(bad, 34, 0xFFFFFFFFu, 4);
    EXPECT_EQ(headerOf(bad, 24), BitmapStatus::lengthMismatch);
}

TEST_F(BrokenBitmap, TruncatedRowsAreCaughtEvenWithImageSizeZero) {
    // The image-size field is 0 in many valid files; the rows are checked on
    // their own. One byte short of the last row's padding is enough.
    auto valid = good;
    putLe(valid, 34, 0, 4);
    EXPECT_EQ(headerOf(valid, 24), BitmapStatus::ok);
    auto bad = valid;
    bad.pop_back();
    EXPECT_EQ(headerOf(bad, 24), BitmapStatus::rowsOutsideFile);
    bad.resize(60);
    EXPECT_EQ(headerOf(bad, 24), BitmapStatus::rowsOutsideFile);
    ScaledBitmap p;
    EXPECT_EQ(loadPicture(bad, 100, 100, p), BitmapStatus::rowsOutsideFile);
    EXPECT_TRUE(p.bytes.empty());
}

TEST_F(BrokenBitmap, PixelOffsetAtOrPastTheEnd) {
    // Rows that would start at the very end of the file; then offsets whose
    // sum with the image size would overflow 32 bits.
    auto bad = good;
    putLe(bad, 10, static_cast<std::uint32_t>(bad.size()), 4);
    putLe(bad, 34, 0, 4);
    EXPECT_EQ(headerOf(bad, 24), BitmapStatus::rowsOutsideFile);
    for (std::uint32_t offset : {0x7FFFFFFFu, 0xFFFFFFFFu}) {
        putLe(bad, 10, offset, 4);
        putLe(bad, 34, 0, 4);
        EXPECT_EQ(headerOf(bad, 24), BitmapStatus::lengthMismatch) << offset;
        putLe(bad, 34, 0xFFFFFFFFu, 4);
        EXPECT_EQ(headerOf(bad, 24), BitmapStatus::lengthMismatch) << offset;
    }
}

TEST_F(BrokenBitmap, SampledSizeOutsideTheBitmapIsRefused) {
    MemorySource source(good);
    BitmapHeader header;
    ASSERT_EQ(readBitmapHeader(source, 24, header), BitmapStatus::ok);
    ScaledBitmap out;
    EXPECT_EQ(readScaledPixels(source, header, 1, 6, 4, out), BitmapStatus::badDimensions);
    EXPECT_EQ(readScaledPixels(source, header, 1, 5, 5, out), BitmapStatus::badDimensions);
    EXPECT_EQ(readScaledPixels(source, header, 2, 3, 2, out), BitmapStatus::ok);  // columns 0, 2, 4
    EXPECT_EQ(readScaledPixels(source, header, 2, 3, 3, out), BitmapStatus::badDimensions);
    EXPECT_EQ(readScaledPixels(source, header, 0, 1, 1, out), BitmapStatus::badDimensions);
    EXPECT_EQ(readScaledPixels(source, header, 1, 0, 1, out), BitmapStatus::badDimensions);
}

TEST(BitmapFile, ReadsFromDiskAndReportsAMissingFile) {
    const auto dir = std::filesystem::temp_directory_path() / "tallivo_bitmap_file_test";
    std::filesystem::create_directories(dir);
    const auto path = (dir / "picture.bmp").string();
    const auto bytes = makeBitmap(coordinatePicture(7, 5));
    testing::writeFile(path, bytes);

    FileSource file(path);
    ASSERT_TRUE(file.isOpen());
    EXPECT_EQ(file.size(), bytes.size());
    ScaledBitmap fromDisk, fromMemory;
    ASSERT_EQ(loadScaledPicture(file, 3, 2, fromDisk), BitmapStatus::ok);
    ASSERT_EQ(loadPicture(bytes, 3, 2, fromMemory), BitmapStatus::ok);
    EXPECT_EQ(fromDisk.bytes, fromMemory.bytes);
    std::uint8_t byte = 0;
    EXPECT_FALSE(file.readAt(bytes.size(), &byte, 1));
    EXPECT_TRUE(file.readAt(bytes.size() - 1, &byte, 1));

    FileSource missing((dir / "no such file.bmp").string());
    EXPECT_FALSE(missing.isOpen());
    EXPECT_EQ(missing.size(), 0u);
    std::filesystem::remove_all(dir);
}

std::uint32_t le32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return static_cast<std::uint32_t>(b[at] | (b[at + 1] << 8) | (b[at + 2] << 16)) |
           (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

TEST(BitmapWriter, WhatItWritesReadsBackPixelForPixel) {
    // Odd widths, so that every row is padded; a type map of 1-byte pixels.
    const int width = 5, height = 3;
    std::vector<std::uint8_t> colours, values;
    for (int i = 0; i < width * height; ++i) {
        colours.insert(colours.end(),
                       {static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(100 + i),
                        static_cast<std::uint8_t>(200 + i)});
        values.push_back(static_cast<std::uint8_t>(i * 17));
    }
    const auto picture = encodeBitmap(width, height, 24, colours);
    const auto types = encodeBitmap(width, height, 8, values);
    ASSERT_FALSE(picture.empty());
    ASSERT_FALSE(types.empty());

    MemorySource pictureSource(picture), typeSource(types);
    ScaledBitmap read, readTypes;
    ASSERT_EQ(loadScaledPicture(pictureSource, width, height, read), BitmapStatus::ok);
    EXPECT_EQ(read.bytes, colours);
    ASSERT_EQ(loadTypeMap(typeSource, read, readTypes), BitmapStatus::ok);
    for (std::size_t i = 0; i < values.size(); ++i)
        EXPECT_EQ(readTypes.bytes[i], pixelType(values[i])) << i;
    // A grey palette in front of the 8-bit rows: value v shows as grey v.
    EXPECT_EQ(le32(types, 10), 14u + 40u + 1024u);
    EXPECT_EQ(types[54 + 4 * 200], 200);
    EXPECT_EQ(types[54 + 4 * 200 + 2], 200);
    EXPECT_EQ(le32(picture, 2), picture.size());
}

TEST(BitmapWriter, RefusesSizesThatDoNotMatchThePixels) {
    const std::vector<std::uint8_t> six(6, 1);
    EXPECT_TRUE(encodeBitmap(2, 1, 24, six).size() > 0);
    EXPECT_TRUE(encodeBitmap(3, 1, 24, six).empty());
    EXPECT_TRUE(encodeBitmap(0, 1, 8, {}).empty());
    EXPECT_TRUE(encodeBitmap(6, 1, 16, six).empty());
    EXPECT_TRUE(encodeBitmap(6, -1, 8, six).empty());
}

}  // namespace
}  // namespace tallivo

#pragma once
// The reader of the flowchart pictures: uncompressed Windows bitmap files,
// little-endian, 24 bits per pixel for the picture and 8 bits per pixel for
// its type map. The file is a 14-byte file header ("BM", sizes, offset of the
// pixel rows) and a 40-byte info header (width, height, planes, bits per
// pixel, compression, image size, ...). Pixel rows are stored bottom row first
// when the height is positive and top row first when it is negative; each row
// is padded to a multiple of 4 bytes. An 8-bit pixel counts by its stored
// value; the palette in front of the rows is skipped.
//
// These files come from the user, so every offset and length is checked
// before anything is read, in 64-bit arithmetic, and nothing is read outside
// the file or a buffer whatever the header fields say.
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <span>
#include <string>
#include <vector>

namespace tallivo {

enum class BitmapStatus : int {
    ok = 0,
    cannotOpen,         // the file does not exist or cannot be read
    truncatedHeader,    // fewer than the 14 + 40 header bytes
    badSignature,       // does not start with "BM"
    wrongBitsPerPixel,  // not the bits per pixel that this file must have
    badDimensions,      // width or height not positive, or too large
    lengthMismatch,     // shorter than the pixel offset plus the image-size field
    rowsOutsideFile,    // the pixel rows run past the end of the file
    smallerThanPicture  // a type map narrower or lower than its picture
};

// Why a file was refused, in a few words for the user ("it does not start with
// \"BM\"").
const char* bitmapStatusText(BitmapStatus status);

// Largest width and height accepted, and the cap on their product: far above
// any flowchart picture, and small enough that nothing derived overflows.
inline constexpr std::int64_t kMaxBitmapSide = 16384;
inline constexpr std::int64_t kMaxBitmapPixels = std::int64_t{1} << 26;

// Where the bytes of a bitmap file come from: a file on disk read with seek,
// or bytes already in memory.
class ByteSource {
  public:
    virtual std::uint64_t size() const = 0;
    // Copies `count` bytes from `offset`; false when they are not all there.
    virtual bool readAt(std::uint64_t offset, std::uint8_t* destination, std::size_t count) = 0;

  protected:
    ~ByteSource() = default;
};

class MemorySource final : public ByteSource {
  public:
    explicit MemorySource(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
    // The source only points at the bytes: a temporary would be gone at once.
    explicit MemorySource(std::vector<std::uint8_t>&&) = delete;
    std::uint64_t size() const override { return bytes_.size(); }
    bool readAt(std::uint64_t offset, std::uint8_t* destination, std::size_t count) override;

  private:
    std::span<const std::uint8_t> bytes_;
};

class FileSource final : public ByteSource {
  public:
    // Opens `path` for binary reading; isOpen() tells whether that worked.
    explicit FileSource(const std::string& path);
    bool isOpen() const { return open_; }
    std::uint64_t size() const override { return size_; }
    bool readAt(std::uint64_t offset, std::uint8_t* destination, std::size_t count) override;

  private:
    std::ifstream file_;
    std::uint64_t size_ = 0;
    bool open_ = false;
};

// The header fields that the reader uses, after the checks.
struct BitmapHeader {
    std::int32_t width = 0;
    std::int32_t height = 0;  // always positive; see topDown
    bool topDown = false;     // the stored height was negative
    std::int32_t bitsPerPixel = 0;
    std::uint32_t pixelOffset = 0;
    std::uint32_t imageSize = 0;
    std::int64_t rowLength = 0;  // stored bytes per row, padding included
};

// Reads and checks the headers: signature, both headers present, the given
// bits per pixel, sane dimensions, the image-size field within the file and
// every stored row within the file.
BitmapStatus readBitmapHeader(ByteSource& file, std::int32_t bitsPerPixel, BitmapHeader& header);

// A picture read at a scale: `bytes` holds width × height pixels of
// bytesPerPixel bytes each, in file order (blue, green, red for 24 bits), top
// row first. The source's size and the divisor are kept beside it.
struct ScaledBitmap {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t bytesPerPixel = 0;
    std::int32_t sourceWidth = 0;
    std::int32_t sourceHeight = 0;
    std::int32_t divisor = 1;
    std::vector<std::uint8_t> bytes;
};

// The smallest divisor d from 1 up for which width / d and height / d (integer
// division) fit the available area. An available size below 1 counts as 1, so
// the scaled picture is never empty.
std::int32_t scaleDivisor(std::int32_t width, std::int32_t height, std::int32_t availableWidth,
                          std::int32_t availableHeight);

// Reads the pixels of a checked bitmap at divisor d into a width × height
// image: scaled row j, counted from the bottom, is stored row j·d + d − 1
// counted from the bottom (of each d rows the last one read), and scaled pixel
// x is stored pixel x·d; the pixels in between are skipped. Fails with
// badDimensions when the sampled pixels do not lie inside the bitmap.
BitmapStatus readScaledPixels(ByteSource& file, const BitmapHeader& header, std::int32_t divisor,
                              std::int32_t width, std::int32_t height, ScaledBitmap& out);

// The flowchart picture: a 24-bit bitmap scaled down to fit the available area.
BitmapStatus loadScaledPicture(ByteSource& file, std::int32_t availableWidth,
                               std::int32_t availableHeight, ScaledBitmap& picture);

// The type map of `picture`: an 8-bit bitmap at least as wide and as high as the
// picture's file, read with the picture's divisor and scaled size, each value
// turned into its type by pixelType. Rows count from the bottom, so a larger
// map lines up with the picture at their bottom-left corners.
BitmapStatus loadTypeMap(ByteSource& file, const ScaledBitmap& picture, ScaledBitmap& types);

// A bitmap file of `width` × `height` pixels of bitsPerPixel 24 (blue, green,
// red) or 8 bits, from `pixels` given top row first, stored bottom row first
// with rows padded to 4 bytes. An 8-bit file carries a grey palette (value v
// shows as grey v), so that image viewers show a type map as what it holds.
// Empty when the sizes do not fit the pixels or the limits above.
std::vector<std::uint8_t> encodeBitmap(std::int32_t width, std::int32_t height,
                                       std::int32_t bitsPerPixel,
                                       std::span<const std::uint8_t> pixels);

// Type of a stored type-map value: 0 → 0, 1 to 64 → 1, 65 to 254 → 2, 255 → 3.
constexpr std::uint8_t pixelType(std::uint8_t stored) {
    if (stored == 0) return 0;
    if (stored <= 64) return 1;
    if (stored < 255) return 2;
    return 3;
}

}  // namespace tallivo

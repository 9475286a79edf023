#include "tools/bitmap_file.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace tallivo {

namespace {

constexpr std::size_t kFileHeaderBytes = 14;
constexpr std::size_t kInfoHeaderBytes = 40;

std::uint16_t le16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t le32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

}  // namespace

const char* bitmapStatusText(BitmapStatus status) {
    switch (status) {
        case BitmapStatus::ok:
            return "it is usable";
        case BitmapStatus::cannotOpen:
            return "it cannot be opened";
        case BitmapStatus::truncatedHeader:
            return "it is shorter than the 54 bytes of its headers";
        case BitmapStatus::badSignature:
            return "it does not start with \"BM\"";
        case BitmapStatus::wrongBitsPerPixel:
            return "it does not have the bits per pixel it must have";
        case BitmapStatus::badDimensions:
            return "its width or height is not usable";
        case BitmapStatus::lengthMismatch:
            return "it is shorter than its pixel offset plus its image size";
        case BitmapStatus::rowsOutsideFile:
            return "its pixel rows run past the end of the file";
        case BitmapStatus::smallerThanPicture:
            return "it is narrower or lower than Flowchart.bmp";
    }
    return "it is not usable";
}

bool MemorySource::readAt(std::uint64_t offset, std::uint8_t* destination, std::size_t count) {
    if (offset > bytes_.size() || count > bytes_.size() - offset) return false;
    if (count != 0) std::memcpy(destination, bytes_.data() + offset, count);
    return true;
}

FileSource::FileSource(const std::string& path) : file_(path, std::ios::binary) {
    if (!file_) return;
    file_.seekg(0, std::ios::end);
    const auto end = file_.tellg();
    if (!file_ || end < 0) return;
    size_ = static_cast<std::uint64_t>(end);
    open_ = true;
}

bool FileSource::readAt(std::uint64_t offset, std::uint8_t* destination, std::size_t count) {
    if (!open_ || offset > size_ || count > size_ - offset) return false;
    file_.clear();
    file_.seekg(static_cast<std::streamoff>(offset));
    file_.read(reinterpret_cast<char*>(destination), static_cast<std::streamsize>(count));
    return static_cast<std::size_t>(file_.gcount()) == count;
}

BitmapStatus readBitmapHeader(ByteSource& file, std::int32_t bitsPerPixel, BitmapHeader& header) {
    std::array<std::uint8_t, kFileHeaderBytes + kInfoHeaderBytes> h{};
    if (!file.readAt(0, h.data(), kFileHeaderBytes)) return BitmapStatus::truncatedHeader;
    if (h[0] != 'B' || h[1] != 'M') return BitmapStatus::badSignature;
    // The info header is taken as 40 bytes whatever its size field says.
    if (!file.readAt(kFileHeaderBytes, h.data() + kFileHeaderBytes, kInfoHeaderBytes))
        return BitmapStatus::truncatedHeader;

    const std::uint32_t pixelOffset = le32(&h[10]);
    const auto width = static_cast<std::int32_t>(le32(&h[18]));
    const auto storedHeight = static_cast<std::int32_t>(le32(&h[22]));
    const std::uint16_t bpp = le16(&h[28]);
    const std::uint32_t imageSize = le32(&h[34]);

    if (bpp != bitsPerPixel) return BitmapStatus::wrongBitsPerPixel;

    // A negative height marks rows stored top row first; its magnitude is
    // taken in 64 bits, since -2^31 has no positive 32-bit counterpart.
    const std::int64_t height = storedHeight < 0 ? -std::int64_t{storedHeight} : storedHeight;
    if (width <= 0 || height <= 0 || width > kMaxBitmapSide || height > kMaxBitmapSide ||
        std::int64_t{width} * height > kMaxBitmapPixels)
        return BitmapStatus::badDimensions;

    // The length check of the format: the file holds at least the image-size
    // field's bytes past the pixel offset. That field is often 0 in valid
    // files, so on its own it proves nothing about the rows.
    const std::uint64_t fileSize = file.size();
    if (fileSize < std::uint64_t{pixelOffset} + imageSize) return BitmapStatus::lengthMismatch;

    // Each row is padded to a whole number of 32-bit words; every stored row
    // must lie inside the file.
    const std::int64_t rowLength = ((std::int64_t{bpp} * width) / 8 + 3) / 4 * 4;
    const auto rowsEnd =
        std::uint64_t{pixelOffset} + static_cast<std::uint64_t>(rowLength * height);
    if (rowsEnd > fileSize) return BitmapStatus::rowsOutsideFile;

    header.width = width;
    header.height = static_cast<std::int32_t>(height);
    header.topDown = storedHeight < 0;
    header.bitsPerPixel = bpp;
    header.pixelOffset = pixelOffset;
    header.imageSize = imageSize;
    header.rowLength = rowLength;
    return BitmapStatus::ok;
}

std::int32_t scaleDivisor(std::int32_t width, std::int32_t height, std::int32_t availableWidth,
                          std::int32_t availableHeight) {
    // n / d <= a holds exactly when d > n / (a + 1), so the smallest such d
    // is n / (a + 1) + 1 for each side; the larger of the two fits both.
    const std::int64_t aw = std::max<std::int32_t>(availableWidth, 1);
    const std::int64_t ah = std::max<std::int32_t>(availableHeight, 1);
    const std::int64_t w = std::max<std::int32_t>(width, 0);
    const std::int64_t h = std::max<std::int32_t>(height, 0);
    return static_cast<std::int32_t>(std::max(w / (aw + 1), h / (ah + 1)) + 1);
}

BitmapStatus readScaledPixels(ByteSource& file, const BitmapHeader& header, std::int32_t divisor,
                              std::int32_t width, std::int32_t height, ScaledBitmap& out) {
    if (divisor < 1 || width < 1 || height < 1) return BitmapStatus::badDimensions;
    const std::int64_t d = divisor;
    // The last pixel sampled in a row is (width − 1)·d, the highest row read
    // is height·d − 1 from the bottom: both must exist in the stored bitmap.
    if ((width - 1) * d >= header.width || height * d > header.height)
        return BitmapStatus::badDimensions;

    const std::int32_t bytesPerPixel = header.bitsPerPixel / 8;
    const auto pixelBytes = static_cast<std::size_t>(bytesPerPixel);
    const auto outWidth = static_cast<std::size_t>(width);
    // Only the front of each kept row up to its last sampled pixel is read.
    const auto usedRowBytes = static_cast<std::size_t>((width - 1) * d + 1) * pixelBytes;
    std::vector<std::uint8_t> row(usedRowBytes);
    std::vector<std::uint8_t> pixels(outWidth * static_cast<std::size_t>(height) * pixelBytes);

    for (std::int64_t j = 0; j < height; ++j) {
        // Of each d rows going up from the bottom the last one is kept.
        const std::int64_t fromBottom = j * d + d - 1;
        const std::int64_t stored = header.topDown ? header.height - 1 - fromBottom : fromBottom;
        const auto offset = std::uint64_t{header.pixelOffset} +
                            static_cast<std::uint64_t>(stored * header.rowLength);
        if (!file.readAt(offset, row.data(), row.size())) return BitmapStatus::rowsOutsideFile;

        const auto topRow = static_cast<std::size_t>(height - 1 - j);
        std::uint8_t* target = pixels.data() + topRow * outWidth * pixelBytes;
        for (std::size_t x = 0; x < outWidth; ++x) {
            const std::uint8_t* source = row.data() + x * static_cast<std::size_t>(d) * pixelBytes;
            std::memcpy(target + x * pixelBytes, source, pixelBytes);
        }
    }

    out.width = width;
    out.height = height;
    out.bytesPerPixel = bytesPerPixel;
    out.sourceWidth = header.width;
    out.sourceHeight = header.height;
    out.divisor = divisor;
    out.bytes = std::move(pixels);
    return BitmapStatus::ok;
}

BitmapStatus loadScaledPicture(ByteSource& file, std::int32_t availableWidth,
                               std::int32_t availableHeight, ScaledBitmap& picture) {
    BitmapHeader header;
    if (auto status = readBitmapHeader(file, 24, header); status != BitmapStatus::ok) return status;
    const std::int32_t d =
        scaleDivisor(header.width, header.height, availableWidth, availableHeight);
    return readScaledPixels(file, header, d, header.width / d, header.height / d, picture);
}

BitmapStatus loadTypeMap(ByteSource& file, const ScaledBitmap& picture, ScaledBitmap& types) {
    BitmapHeader header;
    if (auto status = readBitmapHeader(file, 8, header); status != BitmapStatus::ok) return status;
    if (header.width < picture.sourceWidth || header.height < picture.sourceHeight)
        return BitmapStatus::smallerThanPicture;
    if (auto status =
            readScaledPixels(file, header, picture.divisor, picture.width, picture.height, types);
        status != BitmapStatus::ok)
        return status;
    for (auto& value : types.bytes) value = pixelType(value);
    return BitmapStatus::ok;
}

std::vector<std::uint8_t> encodeBitmap(std::int32_t width, std::int32_t height,
                                       std::int32_t bitsPerPixel,
                                       std::span<const std::uint8_t> pixels) {
    if ((bitsPerPixel != 24 && bitsPerPixel != 8) || width <= 0 || height <= 0 ||
        width > kMaxBitmapSide || height > kMaxBitmapSide ||
        std::int64_t{width} * height > kMaxBitmapPixels)
        return {};
    const std::size_t bytesPerPixel = static_cast<std::size_t>(bitsPerPixel) / 8;
    const std::size_t rowBytes = bytesPerPixel * static_cast<std::size_t>(width);
    if (pixels.size() != rowBytes * static_cast<std::size_t>(height)) return {};
    const std::size_t stored = (rowBytes + 3) / 4 * 4;
    const std::size_t palette = bitsPerPixel == 8 ? 4 * 256 : 0;
    const std::size_t offset = kFileHeaderBytes + kInfoHeaderBytes + palette;
    const std::size_t imageSize = stored * static_cast<std::size_t>(height);
    std::vector<std::uint8_t> file(offset + imageSize, 0);
    auto put = [&](std::size_t at, std::uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i)
            file[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
    };
    file[0] = 'B';
    file[1] = 'M';
    put(2, static_cast<std::uint32_t>(file.size()), 4);
    put(10, static_cast<std::uint32_t>(offset), 4);
    put(14, kInfoHeaderBytes, 4);
    put(18, static_cast<std::uint32_t>(width), 4);
    put(22, static_cast<std::uint32_t>(height), 4);  // positive: bottom row first
    put(26, 1, 2);                                   // planes
    put(28, static_cast<std::uint32_t>(bitsPerPixel), 2);
    put(34, static_cast<std::uint32_t>(imageSize), 4);
    put(38, 2835, 4);  // 72 dots per inch, in dots per metre
    put(42, 2835, 4);
    if (palette != 0) {
        put(46, 256, 4);
        for (std::size_t v = 0; v < 256; ++v) {
            const std::size_t at = kFileHeaderBytes + kInfoHeaderBytes + 4 * v;
            file[at] = file[at + 1] = file[at + 2] = static_cast<std::uint8_t>(v);
        }
    }
    for (std::size_t y = 0; y < static_cast<std::size_t>(height); ++y) {
        const std::size_t row = static_cast<std::size_t>(height) - 1 - y;
        std::copy_n(pixels.begin() + static_cast<std::ptrdiff_t>(y * rowBytes), rowBytes,
                    file.begin() + static_cast<std::ptrdiff_t>(offset + row * stored));
    }
    return file;
}

}  // namespace tallivo

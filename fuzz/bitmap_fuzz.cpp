// libFuzzer target for the flowchart pictures' bitmap reader. The first four
// bytes choose the available area (1 to 4096 pixels each way) and which kind
// of file the rest is read as; the rest is the file. Whatever the headers
// say, the reader must stay inside the file and its buffers, and what it
// accepts must have the size it reports.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "tools/bitmap_file.h"

using namespace tallivo;

namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

void checkScaled(const ScaledBitmap& image, std::int32_t bytesPerPixel) {
    check(image.width >= 1 && image.height >= 1 && image.bytesPerPixel == bytesPerPixel);
    check(image.bytes.size() == static_cast<std::size_t>(image.width) *
                                    static_cast<std::size_t>(image.height) *
                                    static_cast<std::size_t>(bytesPerPixel));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4) return 0;
    const std::int32_t availableWidth = 1 + (data[0] | ((data[1] & 0x0F) << 8));
    const std::int32_t availableHeight = 1 + (data[2] | ((data[3] & 0x0F) << 8));
    const bool asTypeMap = (data[1] & 0x10) != 0;
    // The picture of a type map is 8 − shrink pixels larger than the map each
    // way: from 8 larger (to be refused) to 7 smaller.
    const std::int32_t shrink = data[3] >> 4;
    MemorySource file(std::span<const std::uint8_t>(data + 4, size - 4));

    if (!asTypeMap) {
        ScaledBitmap picture;
        if (loadScaledPicture(file, availableWidth, availableHeight, picture) == BitmapStatus::ok) {
            checkScaled(picture, 3);
            check(picture.width <= availableWidth && picture.height <= availableHeight);
            check(picture.width == picture.sourceWidth / picture.divisor);
        }
        return 0;
    }

    BitmapHeader header;
    if (readBitmapHeader(file, 8, header) != BitmapStatus::ok) return 0;
    ScaledBitmap picture;
    picture.sourceWidth = header.width - shrink + 8;
    picture.sourceHeight = header.height - shrink + 8;
    if (picture.sourceWidth < 1 || picture.sourceHeight < 1) return 0;
    picture.divisor =
        scaleDivisor(picture.sourceWidth, picture.sourceHeight, availableWidth, availableHeight);
    picture.width = picture.sourceWidth / picture.divisor;
    picture.height = picture.sourceHeight / picture.divisor;
    ScaledBitmap types;
    const BitmapStatus status = loadTypeMap(file, picture, types);
    if (shrink < 8) check(status == BitmapStatus::smallerThanPicture);
    if (status == BitmapStatus::ok) {
        checkScaled(types, 1);
        for (std::uint8_t t : types.bytes) check(t <= 3);
    }

    // The sampling itself, with a divisor and size taken from the input.
    ScaledBitmap sampled;
    if (readScaledPixels(file, header, 1 + (data[0] & 7), availableWidth, availableHeight,
                         sampled) == BitmapStatus::ok)
        checkScaled(sampled, 1);
    return 0;
}

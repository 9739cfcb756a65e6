// Feeds arbitrary bytes to the cropper's PNG reader, and crops what it reads.
#include <cstddef>
#include <cstdint>

#include "tools/tolvard/crop.h"
#include "tools/tolvard/cropper.h"
#include "tools/tolvard/png_io.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QImage image = tolvard::DecodePng(data, size);
    if (!image.isNull()) {
        if (image.format() != QImage::Format_RGBA8888 || image.width() <= 0 || image.height() <= 0)
            __builtin_trap();
        (void)tolvard::CropToContent(image, tolvard::kPadding);
    }
    return 0;
}

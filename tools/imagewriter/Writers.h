#pragma once
// The writers of the two image formats, behind BuildImage.

#include <string_view>

#include "tools/imagewriter/ByteWriter.h"
#include "tools/imagewriter/ImageWriter.h"

namespace imagewriter {

Image BuildPeImage(const ImageSpec& shape);
Image BuildNeImage(const ImageSpec& shape);
Image BuildLeImage(const ImageSpec& shape);

// The MZ header and a DOS stub that prints `message` ('$'-terminated) and exits; the new
// header follows at `newHeader`.
void WriteDosHeader(ByteWriter& out, std::uint32_t newHeader, std::string_view message);

}  // namespace imagewriter

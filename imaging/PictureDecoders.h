#pragma once
// The per-format halves of the picture loader (PictureFile.h): each reads
// its format's declared size, refusing pictures above the pixel budget, and
// decodes only data its header check accepted.
#include <cstddef>

#include "imaging/PictureFile.h"

namespace vq::picture {

// kTooLarge when width x height exceeds the budget, else kLoaded.
PictureResult CheckBudget(long long width, long long height);

PictureResult ReadJpegHeader(const unsigned char* data, std::size_t size, PictureHeader* header);
PictureResult ReadPngHeader(const unsigned char* data, std::size_t size, PictureHeader* header);
PictureResult ReadBmpHeader(const unsigned char* data, std::size_t size, PictureHeader* header);
PictureResult ReadTiffHeader(const unsigned char* data, std::size_t size, PictureHeader* header);

PictureResult DecodeJpegPicture(const unsigned char* data, std::size_t size, Picture* picture);
PictureResult DecodePngPicture(const unsigned char* data, std::size_t size, Picture* picture);
PictureResult DecodeBmpPicture(const unsigned char* data, std::size_t size, Picture* picture);
PictureResult DecodeTiffPicture(const unsigned char* data, std::size_t size, Picture* picture);

}  // namespace vq::picture

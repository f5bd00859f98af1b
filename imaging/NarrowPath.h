#pragma once
// Wide paths (wchar_t, UTF-32 on Linux) to the narrow form the libraries take:
// the layer's file-system name (UTF-8), which must fit a buffer of a stated
// size, terminator included, or the conversion fails as a whole.
#include <cstddef>
#include <string>

namespace vq {

// Buffer sizes that the file operations allow for a narrow path.
constexpr std::size_t kPathBufferTiff = 260;
constexpr std::size_t kPathBufferImage = 261;
constexpr std::size_t kPathBufferLong = 560;

// Converts path to UTF-8 into *narrow. False for a null path, a text that
// names no file (an invalid code point, U+FFFD), or a result that needs more
// than bufferSize bytes with its terminator; *narrow is then left as it was.
bool NarrowPath(const wchar_t* path, std::size_t bufferSize, std::string* narrow);

}  // namespace vq

#pragma once
// Wide paths (wchar_t, UTF-32 on Linux) to the narrow form the libraries take:
// the layer's file-system name (UTF-8), limited only by what the system
// takes as a path (PATH_MAX bytes with the terminator), never by a buffer.
#include <string>

namespace vq {

// Converts path to UTF-8 into *narrow. False for a null path, a text that
// names no file (an invalid code point, U+FFFD), or a path longer than the
// system takes; *narrow is then left as it was.
bool NarrowPath(const wchar_t* path, std::string* narrow);

}  // namespace vq

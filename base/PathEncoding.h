#pragma once
// File-system names and the layer's wide text. A name on Linux is bytes,
// UTF-8 by convention, and every conversion between a path and wide text
// goes through here, as UTF-8, whatever the process locale.
// std::filesystem's own wide conversions (path::wstring(), a path built
// from a wide string) use the "C" locale and throw on any name that is not
// ASCII, so nothing asks it for a wide string or hands it one.
//
// Bytes that are not UTF-8 show as U+FFFD in the text. Such a text names no
// file: converted back it gives "", so nothing is ever read, written,
// renamed or deleted through a name that lost bytes, wherever the text came
// from (a listing, the environment, a settings file, a host).
#include <filesystem>
#include <string>
#include <string_view>

namespace vq {

// The bytes of a wide path; "" when the text holds U+FFFD or has no exact
// UTF-8 form (an unpaired surrogate).
std::string PathToBytes(std::wstring_view path);

// The wide text of a name's bytes. *exact is false when the text does not
// convert back to the same bytes (they were not UTF-8); listings leave such
// names out.
std::wstring PathFromBytes(std::string_view bytes, bool* exact = nullptr);

// The same for std::filesystem paths.
std::filesystem::path ToFsPath(std::wstring_view path);
std::wstring FromFsPath(const std::filesystem::path& path, bool* exact = nullptr);

// A folder named by an environment variable, without trailing '/'; empty
// when unset, empty or not UTF-8.
std::wstring PathFromEnvironment(const char* variable);

}  // namespace vq

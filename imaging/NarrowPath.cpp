#include "imaging/NarrowPath.h"

#include "base/PathEncoding.h"

namespace vq {

bool NarrowPath(const wchar_t* path, std::size_t bufferSize, std::string* narrow) {
  if (path == nullptr || narrow == nullptr) return false;
  std::string result = PathToBytes(path);
  if ((result.empty() && *path != L'\0') || result.size() + 1 > bufferSize) return false;
  *narrow = std::move(result);
  return true;
}

}  // namespace vq

#include "imaging/NarrowPath.h"

#include <climits>

#include "base/PathEncoding.h"

namespace vq {

bool NarrowPath(const wchar_t* path, std::string* narrow) {
  if (path == nullptr || narrow == nullptr) return false;
  std::string result = PathToBytes(path);
  if ((result.empty() && *path != L'\0') || result.size() + 1 > PATH_MAX) return false;
  *narrow = std::move(result);
  return true;
}

}  // namespace vq

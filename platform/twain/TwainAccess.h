#pragma once
// Reading and writing TWAIN records inside raw blocks. Blocks from a host or
// a manager carry no alignment promise, so every access goes through memcpy.
#include <cstddef>
#include <cstring>
#include <type_traits>

namespace twain {

template <class T>
T Load(const void* block, size_t offset = 0) {
  static_assert(std::is_trivially_copyable_v<T>);
  T value;
  std::memcpy(&value, static_cast<const unsigned char*>(block) + offset, sizeof(T));
  return value;
}

template <class T>
void Store(void* block, const T& value, size_t offset = 0) {
  static_assert(std::is_trivially_copyable_v<T>);
  std::memcpy(static_cast<unsigned char*>(block) + offset, &value, sizeof(T));
}

}  // namespace twain

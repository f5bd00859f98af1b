#pragma once
// Named file mappings over POSIX shared memory, for memory shared with other
// programs of the same user. A name lives in the scope where programs find
// each other's windows (ProgramWindows.h): the object is
// "/vq.<uid>.<inode of the private runtime folder, hex>.<name>", so other
// users and other sessions (and tests running side by side) never meet.
// Only memory-backed mappings exist (the file handle is INVALID_HANDLE_VALUE).
// The name is removed when the handle of the program that created it is
// closed; handles and views others hold stay usable. A view outlives the
// handle it was mapped from, as on Windows.
#include <string>

#include "platform/win/Handles.h"
#include "platform/win/WinTypes.h"

#define PAGE_READONLY 0x02
#define PAGE_READWRITE 0x04
#define FILE_MAP_WRITE 0x0002
#define FILE_MAP_READ 0x0004
#define FILE_MAP_ALL_ACCESS 0x000F001F

// A new mapping of the size, or the existing one of that name (with
// ERROR_ALREADY_EXISTS, its size unchanged). Null for a size of 0, a file
// handle, or a name that cannot be used.
HANDLE CreateFileMappingW(HANDLE file, LPSECURITY_ATTRIBUTES attributes, DWORD protect, DWORD maximumSizeHigh,
                          DWORD maximumSizeLow, LPCWSTR name);
// Null with ERROR_FILE_NOT_FOUND when no mapping has the name, and with
// ERROR_ACCESS_DENIED when it belongs to another user.
HANDLE OpenFileMappingW(DWORD desiredAccess, BOOL inheritHandle, LPCWSTR name);
// Bytes 0 maps from the offset to the end. The offset is a multiple of
// 65536. Null when nothing is left to map (an empty object).
LPVOID MapViewOfFile(HANDLE mapping, DWORD desiredAccess, DWORD offsetHigh, DWORD offsetLow,
                     SIZE_T bytesToMap);
BOOL UnmapViewOfFile(LPCVOID baseAddress);

inline HANDLE CreateFileMapping(HANDLE file, LPSECURITY_ATTRIBUTES attributes, DWORD protect, DWORD sizeHigh,
                                DWORD sizeLow, LPCWSTR name) {
  return CreateFileMappingW(file, attributes, protect, sizeHigh, sizeLow, name);
}
inline HANDLE OpenFileMapping(DWORD access, BOOL inherit, LPCWSTR name) {
  return OpenFileMappingW(access, inherit, name);
}

namespace vqplatform {

// The bytes of the view that starts at `base`; 0 when it is not a view.
SIZE_T MappedViewSize(LPCVOID base);
// The shared-memory object behind a mapping name; empty when the name or
// the runtime folder cannot be used.
std::string SharedMemoryName(LPCWSTR name);

}  // namespace vqplatform

#include "twain/DSMBinding.h"

#include <dlfcn.h>

#include <cstdlib>
#include <cstring>
#include <iostream>
#include <mutex>
#include <unordered_set>

#include "platform/win/Singletons.h"

namespace {

struct Binding {
  std::mutex mutex;
  TW_ENTRYPOINT entryPoints{};
  void* library = nullptr;
  // Blocks of the local heap that may still come back to be freed or locked.
  std::unordered_set<TW_HANDLE> localBlocks;
};

// Kept with the layer's tables: blocks are freed through it until the end.
Binding& State() {
  static auto* binding = vqplatform::MakeSingleton<Binding>();
  return *binding;
}

bool HasManagerMemory(const TW_ENTRYPOINT& e) {
  return e.DSM_MemAllocate && e.DSM_MemFree && e.DSM_MemLock && e.DSM_MemUnlock;
}

// Whether the block is served by the manager's functions; holds the lock.
bool IsManagerBlock(Binding& b, TW_HANDLE handle) {
  return b.localBlocks.count(handle) == 0 && HasManagerMemory(b.entryPoints);
}

}  // namespace

const char* DSMLibraryName() {
  const char* name = std::getenv("VQ_TWAIN_DSM");
  return (name && *name) ? name : "libtwaindsm.so";
}

bool LoadDSM(const char* path) {
  Binding& b = State();
  std::lock_guard lock(b.mutex);
  if (b.library) {
    // The table may have been cleared since the load: resolve again.
    if (!b.entryPoints.DSM_Entry)
      b.entryPoints.DSM_Entry = reinterpret_cast<DSMENTRYPROC>(dlsym(b.library, "DSM_Entry"));
    return b.entryPoints.DSM_Entry != nullptr;
  }
  b.entryPoints = TW_ENTRYPOINT{};
  b.library = dlopen(path, RTLD_NOW | RTLD_LOCAL);
  if (!b.library) {
    std::cerr << "Error - Could not load DSM: " << path << std::endl;
    return false;
  }
  b.entryPoints.DSM_Entry = reinterpret_cast<DSMENTRYPROC>(dlsym(b.library, "DSM_Entry"));
  if (!b.entryPoints.DSM_Entry) {
    std::cerr << "Error - Could not find DSM_Entry function in DSM: " << path << std::endl;
    return false;
  }
  return true;
}

void UnloadDSM() {
  Binding& b = State();
  std::lock_guard lock(b.mutex);
  if (!b.library) return;
  b.entryPoints = TW_ENTRYPOINT{};
  dlclose(b.library);
  b.library = nullptr;
}

void SetDSMEntryPoints(const TW_ENTRYPOINT* entry) {
  Binding& b = State();
  std::lock_guard lock(b.mutex);
  TW_ENTRYPOINT copy{};
  if (entry) {
    TW_UINT32 size = 0;
    std::memcpy(&size, entry, sizeof size);
    size_t bytes = size < sizeof(TW_ENTRYPOINT) ? size : sizeof(TW_ENTRYPOINT);
    std::memcpy(&copy, entry, bytes);
    copy.Size = static_cast<TW_UINT32>(bytes);
  }
  b.entryPoints = copy;
}

bool AcceptDSMEntryPoints(const TW_ENTRYPOINT* entry) {
  if (!entry) return false;
  TW_UINT32 size = 0;
  std::memcpy(&size, entry, sizeof size);
  constexpr size_t kHead = sizeof(TW_UINT32);
  if (size < sizeof(TW_ENTRYPOINT) && (size < kHead + sizeof(void*) || (size - kHead) % sizeof(void*) != 0))
    return false;
  SetDSMEntryPoints(entry);
  return true;
}

TW_UINT16 CallDSMEntry(TW_IDENTITY* origin, TW_IDENTITY* dest, TW_UINT32 DG, TW_UINT16 DAT,
                       TW_UINT16 MSG, TW_MEMREF data) {
  Binding& b = State();
  DSMENTRYPROC entry;
  bool loaded;
  {
    std::lock_guard lock(b.mutex);
    entry = b.entryPoints.DSM_Entry;
    loaded = b.library != nullptr;
  }
  if (!entry) {
    if (!LoadDSM(DSMLibraryName())) {
      std::cerr << (loaded ? "No Entry Point for DSM_Entry" : "Could not load the DSM")
                << std::endl;
      return TWRC_FAILURE;
    }
    std::lock_guard lock(b.mutex);
    entry = b.entryPoints.DSM_Entry;
  }
  return entry(origin, dest, DG, DAT, MSG, data);
}

TW_HANDLE AllocDSMMemory(TW_UINT32 bytes) {
  Binding& b = State();
  std::lock_guard lock(b.mutex);
  if (HasManagerMemory(b.entryPoints)) {
    TW_HANDLE handle = b.entryPoints.DSM_MemAllocate(bytes);
    if (handle) b.localBlocks.erase(handle);
    return handle;
  }
  TW_HANDLE handle = std::calloc(bytes ? bytes : 1, 1);
  if (handle) b.localBlocks.insert(handle);
  return handle;
}

TW_HANDLE AllocLocalMemory(TW_UINT32 bytes) {
  Binding& b = State();
  std::lock_guard lock(b.mutex);
  TW_HANDLE handle = std::calloc(bytes ? bytes : 1, 1);
  if (handle) b.localBlocks.insert(handle);
  return handle;
}

void FreeDSMMemory(TW_HANDLE handle) {
  if (!handle) return;
  Binding& b = State();
  std::lock_guard lock(b.mutex);
  if (IsManagerBlock(b, handle)) {
    b.entryPoints.DSM_MemFree(handle);
    return;
  }
  b.localBlocks.erase(handle);
  std::free(handle);
}

TW_MEMREF LockDSMMemory(TW_HANDLE handle) {
  if (!handle) return nullptr;
  Binding& b = State();
  std::lock_guard lock(b.mutex);
  if (IsManagerBlock(b, handle)) return b.entryPoints.DSM_MemLock(handle);
  return handle;
}

void UnlockDSMMemory(TW_HANDLE handle) {
  if (!handle) return;
  Binding& b = State();
  std::lock_guard lock(b.mutex);
  if (IsManagerBlock(b, handle)) b.entryPoints.DSM_MemUnlock(handle);
}

// What libStrenvik.so does, and only it, when a manager loads and unloads
// it: the layer's process-wide tables are freed at unload, and the media
// libraries whose own dependencies allocate at every load without freeing
// stay loaded once loaded, so a host that opens and closes the source again
// and again keeps nothing of it.
#include <dlfcn.h>

#include <cstdlib>

extern "C" {
#include <libavformat/avformat.h>
}

#include "platform/win/Singletons.h"
#include "twain/DSEntry.h"

extern "C" void* __dso_handle;
extern "C" int __cxa_atexit(void (*function)(void*), void* argument, void* dso);

namespace {

// Not in a forked child: the tables' objects own threads the child does not
// have, and ending them would wait for ever. The child's exit leaves them.
void ReleaseAtUnload(void*) {
  if (!InForkedChild()) vqplatform::ReleaseSingletons();
}

// Before every other constructor of the library, so that the release is
// the last of its destructors.
__attribute__((constructor(101))) void PrepareUnload() {
  __cxa_atexit(&ReleaseAtUnload, nullptr, &__dso_handle);
  Dl_info media{};
  if (dladdr(reinterpret_cast<void*>(&avformat_version), &media) && media.dli_fname)
    dlopen(media.dli_fname, RTLD_LAZY | RTLD_NOLOAD | RTLD_NODELETE);
}

}  // namespace

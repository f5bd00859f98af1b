#include "platform/win/AlsaQuiet.h"

#include <alsa/asoundlib.h>

#include "platform/win/Singletons.h"

namespace vqplatform {
namespace {

void Quiet(const char*, int, const char*, int, const char*, ...) {}

// ALSA's handler is process-wide: the one it replaced goes back when a
// library carrying the layer is unloaded, unless another replaced ours.
struct QuietAlsa {
  snd_lib_error_handler_t previous = snd_lib_error;
  QuietAlsa() { snd_lib_error_set_handler(&Quiet); }
  ~QuietAlsa() {
    if (snd_lib_error == &Quiet) snd_lib_error_set_handler(previous);
  }
};

}  // namespace

void SilenceAlsaErrors() {
  static QuietAlsa* quiet = MakeSingleton<QuietAlsa>();
  (void)quiet;
}

}  // namespace vqplatform

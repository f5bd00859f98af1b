#pragma once
// ALSA prints a few "ALSA lib ..." lines on stderr for every device it
// cannot open (a machine without a sound card, a missing plugin). The layer
// reports those failures through its own results, so the lines are dropped.
namespace vqplatform {

// Installs a silent ALSA error handler; the first call does it, later calls
// do nothing. Call before the first snd_* call that may fail.
void SilenceAlsaErrors();

}  // namespace vqplatform

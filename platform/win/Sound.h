#pragma once
// PlaySound: RIFF/WAVE PCM files played through ALSA's "default" device on
// one worker thread. A new sound cuts the one playing; a null name stops
// it. Relative names are looked up in the per-machine data folder (the
// programs' working folder), then in the program folder.
// Headless, or when the device cannot be opened, nothing is heard: the
// sound takes its time in silence. Every accepted call is recorded either
// way, and tests read the record.
#include <string>
#include <vector>

#include "platform/win/WinTypes.h"

#define SND_SYNC 0x0000       // return when the sound has ended
#define SND_ASYNC 0x0001      // return at once
#define SND_FILENAME 0x00020000L

// TRUE when the sound was accepted (or a stop was asked for); FALSE for a
// file that is missing or not a playable WAVE file (the sound playing goes
// on), or for flags other than the ones above. The module is not used.
BOOL PlaySoundW(LPCWSTR sound, HMODULE module, DWORD flags);
#define PlaySound PlaySoundW

namespace vqplatform {

enum class SoundEnd {
  Playing,       // not ended yet
  Played,        // to its end
  Cut,           // by a newer sound
  Stopped,       // by a call with a null name
  DeviceFailed,  // the device refused the samples part way
};

struct SoundCall {
  std::wstring name;  // as given
  std::wstring path;  // the file played
  DWORD flags = 0;
  // Both set when the sound has ended. The ALSA device it went to; empty
  // when it played silently.
  std::string device;
  SoundEnd end = SoundEnd::Playing;
};

// Accepted calls, oldest first.
std::vector<SoundCall> RecordedSoundCalls();
void ClearRecordedSoundCalls();

// Tests only: the ALSA device to open instead of "default" (null: back to
// "default").
void SetSoundDeviceForTests(const char* device);

}  // namespace vqplatform

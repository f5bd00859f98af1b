// Writes a recording of `frames` pictures and is killed before it finishes,
// as a program killed mid-way is: killed_recorder <target> <frames>. A
// program of its own, so the recovery tests never fork a process that
// runs threads. killed_recorder --settle <folder> settles the folder's
// recordings cut short as a program's start does and exits with their count.
#include <signal.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "base/PathEncoding.h"
#include "platform/dshow/AsfMuxer.h"
#include "platform/dshow/AsfRecovery.h"

int main(int argc, char** argv) {
  if (argc != 3) return 1;
  if (std::string(argv[1]) == "--settle") return vq::dshow::SettleCutShortRecordings(argv[2]);
  constexpr int kWidth = 320, kHeight = 240;
  vq::dshow::AsfVideoFormat f;
  f.width = f.inputWidth = kWidth;
  f.height = f.inputHeight = kHeight;
  f.frameTime = 1000000;
  f.bitRate = 462500;
  f.inputSubtype = MEDIASUBTYPE_RGB32;
  vq::dshow::AsfMuxer muxer;
  if (muxer.AddVideo(f) != S_OK || muxer.Open(vq::PathFromBytes(argv[1])) != S_OK) return 2;
  std::vector<BYTE> bits(kWidth * kHeight * 4);
  for (int i = 0, frames = std::atoi(argv[2]); i < frames; ++i) {
    for (size_t p = 0; p < bits.size(); ++p) bits[p] = BYTE((p / 4 + size_t(i) * 7) % 251);
    if (muxer.WriteVideo(bits.data(), long(bits.size()), REFERENCE_TIME(i) * f.frameTime) != S_OK) return 3;
  }
  raise(SIGKILL);
  return 4;
}

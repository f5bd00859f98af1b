#pragma once
// Encodes and writes an ASF file with libavformat and libavcodec: WMV2 video
// from RGB bitmaps (converted and scaled with libswscale) and WMA (version 2)
// sound from 16-bit PCM (converted with libswresample). Streams go into the
// file in the order they are added. Not thread-safe: its owner holds one
// lock around it.
#include <memory>
#include <string>
#include <vector>

#include "platform/dshow/MediaType.h"

#ifndef E_ACCESSDENIED
#define E_ACCESSDENIED ((HRESULT)0x80070005L)
#endif

namespace vq::dshow {

struct AsfVideoFormat {
  // The encoded stream.
  int width = 0;
  int height = 0;
  REFERENCE_TIME frameTime = 0;  // 100-ns units
  int bitRate = 0;
  // The bitmaps handed to WriteVideo: an RGB subtype, their size (a positive
  // height for bottom-up rows) and, for RGB8, their palette.
  GUID inputSubtype = GUID_NULL;
  int inputWidth = 0;
  int inputHeight = 0;
  std::vector<RGBQUAD> palette;
};

struct AsfAudioFormat {
  // The encoded stream.
  int sampleRate = 0;
  int channels = 0;
  int bitRate = 0;
  // The 16-bit interleaved PCM handed to WriteAudio.
  int inputRate = 0;
  int inputChannels = 0;
};

class AsfMuxer {
 public:
  AsfMuxer();
  ~AsfMuxer();  // finishes the file when that was not done
  AsfMuxer(const AsfMuxer&) = delete;
  AsfMuxer& operator=(const AsfMuxer&) = delete;

  // Before Open: E_INVALIDARG for a format the encoders cannot take.
  HRESULT AddVideo(const AsfVideoFormat& format);
  HRESULT AddAudio(const AsfAudioFormat& format);
  // Creates the file and writes its header. Until Finish it lies under a
  // hidden name beside `path` (imaging/WorkFiles.h), so a recording cut
  // short never leaves an unplayable file under its name.
  HRESULT Open(const std::wstring& path);

  // One bitmap starting at `start` (100-ns units from the start of the run).
  // A bitmap for a frame already written is dropped (S_OK).
  HRESULT WriteVideo(const BYTE* bits, long length, REFERENCE_TIME start);
  // PCM starting at `start`; later buffers follow on by their sample count.
  HRESULT WriteAudio(const BYTE* pcm, long length, REFERENCE_TIME start);
  // Flushes the encoders, writes the trailer, closes the file and puts it
  // under its name (a free "<name>_<n>" when the name was taken meanwhile);
  // S_FALSE when done before. A file that cannot be completed is settled as
  // a recording cut short (AsfRecovery.h) and the result is a failure.
  HRESULT Finish();
  // Where Finish put the file (its name, a free name beside it or the
  // cut-short name); empty when it stayed under its work name.
  const std::string& PlacedPath() const;

  bool IsOpen() const;
  long VideoFramesWritten() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace vq::dshow

#pragma once
// The ASF writer: a sink filter with one input pin per stream of its Windows
// Media profile (by default "Audio Input 01" for stream 1 and "Video Input
// 01" for stream 2) that encodes what it receives into the file named
// through IFileSinkFilter. The file is created when the filter leaves the
// stopped state and completed when it stops (a second stop does nothing);
// from then GetCurFile names where it was put (a free name beside the one
// set when that was taken meanwhile) until the next file.
// Video samples are paced to the stream clock: each is written once the run
// has reached its end time, as a renderer shows a frame for its time, so a
// source that fills samples as fast as it can still records in real time.
#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/dshow/AsfMuxer.h"
#include "platform/dshow/BaseFilter.h"
#include "platform/dshow/StreamClock.h"
#include "platform/dshow/WmProfile.h"

class CAsfWriter;

class CAsfInputPin : public CBaseInputPin {
 public:
  CAsfInputPin(CAsfWriter* writer, CCritSec* lock, const wchar_t* name, REFGUID kind);
  // Video: uncompressed RGB (8, 16 as 555 or 565, 24, 32 bits) with a
  // video-info block; sound: 16-bit PCM.
  HRESULT CheckMediaType(const CMediaType* type) override;
  HRESULT Receive(IMediaSample* sample) override;
  const GUID& Kind() const { return kind_; }

 private:
  CAsfWriter* writer_;
  GUID kind_;
};

class CAsfWriter : public CBaseFilter, public IFileSinkFilter, public IConfigAsfWriter {
 public:
  CAsfWriter();
  HRESULT QueryInterface(REFIID iid, void** out) override;
  VQ_FORWARD_IUNKNOWN(CBaseFilter)

  int GetPinCount() override;
  CBasePin* GetPin(int n) override;
  HRESULT Stop() override;
  HRESULT Pause() override;
  HRESULT Run(REFERENCE_TIME start) override;

  HRESULT SetFileName(LPCOLESTR fileName, const AM_MEDIA_TYPE* type) override;
  HRESULT GetCurFile(LPOLESTR* fileName, AM_MEDIA_TYPE* type) override;

  // Only while stopped; pins whose stream leaves the profile are disconnected.
  HRESULT ConfigureFilterUsingProfile(IWMProfile* profile) override;
  HRESULT GetCurrentProfile(IWMProfile** profile) override;

  HRESULT Write(CAsfInputPin* pin, IMediaSample* sample);

 private:
  ~CAsfWriter() override;
  HRESULT OpenFile();
  const vq::dshow::WmStream* StreamOf(REFGUID kind) const;

  CCritSec lock_;
  CAsfInputPin audio_;
  CAsfInputPin video_;
  std::vector<CAsfInputPin*> pins_;  // in profile order
  std::vector<vq::dshow::WmStream> profile_;
  std::wstring fileName_;
  std::wstring placed_;  // where the last file went; empty while one is written
  vq::dshow::StreamClock clock_;
  std::mutex muxLock_;  // the one lock around the muxer
  std::unique_ptr<vq::dshow::AsfMuxer> muxer_;
  std::atomic<bool> failureReported_{false};
};

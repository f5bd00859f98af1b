#pragma once
// The recording's source filter: one output pin that fills every sample with
// the preview's current picture. Made with new only, never registered.
#include "capture/PushPinVideo.h"

// {4EA6930A-2C8A-4AE6-A565-56E4B5044538}
inline constexpr CLSID CLSID_PushSourceVideo{
    0x4EA6930A, 0x2C8A, 0x4AE6, {0xA5, 0x65, 0x56, 0xE4, 0xB5, 0x04, 0x45, 0x38}};

class CPushSourceVideo : public CSource {
 public:
  // Samples of width x height at fps frames per second (all positive).
  CPushSourceVideo(int width, int height, int fps);
  CPushPinVideo* Pin() const { return pin_; }

 private:
  ~CPushSourceVideo() override;
  CPushPinVideo* pin_;
};

#include "capture/PushSourceVideo.h"

CPushSourceVideo::CPushSourceVideo(int width, int height, int fps)
    : CSource(L"PushSourceVideo", nullptr, CLSID_PushSourceVideo),
      pin_(new CPushPinVideo(nullptr, this, width, height, fps)) {}

CPushSourceVideo::~CPushSourceVideo() { delete pin_; }

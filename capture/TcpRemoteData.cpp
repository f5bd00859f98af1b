#include "capture/TcpRemoteData.h"

#include <chrono>
#include <cstdio>

#include <opencv2/imgproc.hpp>

#include "capture/FrameHolder.h"
#include "capture/TcpRecords.h"
#include "imaging/ImageFiles.h"
#include "platform/dshow/WindowBridge.h"

using namespace vqcapture;

namespace {

constexpr size_t kAddressTextLimit = 259;
constexpr size_t kResolutionListLimit = 256;  // a server repeating resolution records cannot grow it further
constexpr int kStreamConnectTimeoutMs = 500;

// The narrow address and, when the text has one after a colon, the port.
bool SplitAddress(const std::wstring& text, std::string* address, int* port) {
  if (text.empty() || text.size() > kAddressTextLimit) return false;
  std::string narrow;
  for (wchar_t c : text) {
    if (c <= 0 || c > 0x7f) return false;
    narrow += char(c);
  }
  const size_t colon = narrow.find(':');
  if (colon != std::string::npos) {
    const std::string digits = narrow.substr(colon + 1);
    if (digits.empty() || digits.size() > 5 || digits.find_first_not_of("0123456789") != std::string::npos)
      return false;
    const int p = std::stoi(digits);
    if (p <= 0 || p > 65535) return false;
    *port = p;
    narrow.resize(colon);
  }
  *address = narrow;
  return true;
}

// "0" and "1" stand for "10" and "11"; the modes are 10, 11, 20 and 21.
std::wstring CompleteMode(const std::wstring& text) { return text.size() == 1 ? L"1" + text : text; }

bool ModeOf(const std::wstring& text, int* mode) {
  const std::wstring full = CompleteMode(text);
  for (int m : {10, 11, 20, 21}) {
    if (full == std::to_wstring(m)) {
      *mode = m;
      return true;
    }
  }
  return false;
}

void SleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

}  // namespace

CTcpRemoteData::CTcpRemoteData() = default;

CTcpRemoteData::~CTcpRemoteData() {
  Stop();
  if (streamThread_.joinable()) {
    stopFlag_ = true;
    streamThread_.join();
  }
}

HRESULT CTcpRemoteData::Open(const wchar_t* vid, const wchar_t* pid, const wchar_t*, HWND, bool, int) {
  Stop();
  if (!vid || !pid) return E_FAIL;
  std::string address;
  int port = port_;
  if (!SplitAddress(vid, &address, &port)) return E_FAIL;
  address_ = address;
  port_ = port;
  int mode = 0;
  if (!ModeOf(pid, &mode)) return E_FAIL;
  mode_ = mode;
  stopFlag_ = false;
  TcpConnection probe;
  if (!probe.Connect(address_, port_, kConnectTimeoutMs)) return E_FAIL;
  probe.Close();
  state_ = 1;
  if (pendingValid_) {
    if (pendingWidth_ > 0 && pendingHeight_ > 0)
      SetResolution(pendingWidth_, pendingHeight_);
    else if (pendingFormatIndex_ > 0)
      SetFormatIndex(pendingFormatIndex_);
    pendingValid_ = false;
  }
  return S_OK;
}

bool CTcpRemoteData::Run() {
  if (streamThread_.joinable()) return state_ == 2;
  if (state_ != 1) return false;
  if (!stream_.Connect(address_, port_, kConnectTimeoutMs)) return false;
  stopFlag_ = false;
  streamThread_ = std::thread([this] { StreamLoop(); });
  state_ = 2;
  return true;
}

bool CTcpRemoteData::Stop() {
  if (streamThread_.joinable()) {
    stopFlag_ = true;
    streamThread_.join();
    stream_.Close();
    state_ = 1;
  }
  return true;
}

void CTcpRemoteData::SetNotifyWindow(HWND window, UINT message) {
  std::lock_guard lock(frameLock_);
  notifyWindow_ = window;
  notifyMessage_ = message;
}

void CTcpRemoteData::StreamLoop() {
  const int mode = mode_;
  std::vector<uint8_t> body;
  while (!stopFlag_) {
    if (StreamExchange(stream_, mode, body)) continue;
    body = {};
    stream_.Close();
    while (!stopFlag_ && !stream_.Connect(address_, port_, kStreamConnectTimeoutMs)) SleepMs(kReconnectDelayMs);
  }
}

bool CTcpRemoteData::StreamExchange(TcpConnection& connection, int mode, std::vector<uint8_t>& body) {
  const std::vector<uint8_t> request = BuildTcpRequest(kTcpGetFrame, mode);
  uint8_t lengthField[kTcpResponseLengthBytes];
  size_t length = 0;
  if (!connection.SendAll(request.data(), request.size(), kRequestTimeoutMs) ||
      !connection.ReceiveAll(lengthField, sizeof lengthField, kFrameTimeoutMs, &stopFlag_) ||
      !ParseTcpResponseLength(lengthField, kTcpStreamBodyLimit, &length))
    return false;
  body.resize(length);
  if (length > 0 && !connection.ReceiveAll(body.data(), length, kFrameTimeoutMs, &stopFlag_)) return false;
  TakeResponse(body.data(), length);
  return true;
}

void CTcpRemoteData::TakeResponse(const uint8_t* body, size_t size) {
  TcpRecordHandlers handlers;
  handlers.resolution = [this](int w, int h) {
    std::lock_guard lock(listLock_);
    if (resolutions_.size() < kResolutionListLimit) resolutions_.emplace_back(w, h);
  };
  handlers.jpeg = [this](const uint8_t* data, size_t n) {
    cv::Mat decoded = n > 0 && n <= size_t(INT32_MAX) ? DecodeJpeg(data, int(n)) : cv::Mat();
    std::lock_guard lock(frameLock_);
    frame_ = decoded;
    if (notifyWindow_) vq::dshow::PostWindowMessage(notifyWindow_, notifyMessage_, 0, 0);
  };
  ParseTcpResponse(body, size, handlers);
}

bool CTcpRemoteData::ControlRequest(const std::string& address, int port, int command, int mode,
                                    const std::string& text) {
  if (requestRunning_.exchange(true)) return false;
  bool completed = false;
  const std::vector<uint8_t> request = BuildTcpRequest(command, mode, text);
  TcpConnection connection;
  uint8_t lengthField[kTcpResponseLengthBytes];
  size_t length = 0;
  std::vector<uint8_t> body;
  if (!request.empty() && connection.Connect(address, port, kConnectTimeoutMs) &&
      connection.SendAll(request.data(), request.size(), kRequestTimeoutMs) &&
      connection.ReceiveAll(lengthField, sizeof lengthField, kRequestTimeoutMs) &&
      ParseTcpResponseLength(lengthField, kTcpControlBodyLimit, &length)) {
    body.resize(length);
    if (length == 0 || connection.ReceiveAll(body.data(), length, kRequestTimeoutMs)) {
      TakeResponse(body.data(), length);
      completed = true;
    }
  }
  connection.Close();
  requestRunning_ = false;
  return completed;
}

bool CTcpRemoteData::ResolutionList(const std::wstring& addressText, const std::wstring& modeText) {
  const std::wstring full = CompleteMode(modeText);
  if (full.empty()) return false;
  std::string address;
  int port = port_;
  if (!SplitAddress(addressText, &address, &port)) return false;
  {
    std::lock_guard lock(listLock_);
    if (!resolutions_.empty() && address == cachedAddress_ && cachedMode_ >= 0 &&
        full.back() == wchar_t(L'0' + cachedMode_ % 10))
      return true;
  }
  if (requestRunning_) return false;
  int mode = 10;
  if (!ModeOf(full, &mode)) mode = 10;
  {
    std::lock_guard lock(listLock_);
    cachedAddress_ = address;
    cachedMode_ = mode;
    resolutions_.clear();
  }
  return ControlRequest(address, port, kTcpListResolutions, mode, {});
}

std::wstring CTcpRemoteData::OpenedAddressText() const {
  return std::wstring(address_.begin(), address_.end()) + L":" + std::to_wstring(port_);
}

int CTcpRemoteData::GetFormatCount() {
  if (address_.empty()) return -1;
  return GetDeviceFormatCount(OpenedAddressText().c_str(), std::to_wstring(mode_).c_str(), 0);
}

int CTcpRemoteData::GetDeviceFormatCount(const wchar_t* vid, const wchar_t* pid, int) {
  if (!vid || !pid || !ResolutionList(vid, pid)) return -1;
  std::lock_guard lock(listLock_);
  return int(resolutions_.size());
}

int CTcpRemoteData::GetFormatSize(int i, int* width, int* height) {
  if (address_.empty()) return -1;
  return GetDeviceFormatSize(OpenedAddressText().c_str(), std::to_wstring(mode_).c_str(), 0, i, width, height);
}

int CTcpRemoteData::GetDeviceFormatSize(const wchar_t* vid, const wchar_t* pid, int, int i, int* width,
                                        int* height) {
  if (!vid || !pid || !width || !height || !ResolutionList(vid, pid)) return -1;
  std::lock_guard lock(listLock_);
  if (i < 0 || size_t(i) >= resolutions_.size()) return -1;
  *width = resolutions_[size_t(i)].first;
  *height = resolutions_[size_t(i)].second;
  return 0;
}

int CTcpRemoteData::CountDevices(const wchar_t* vid, const wchar_t* pid) {
  return vid && pid && ResolutionList(vid, pid) ? 1 : 0;
}

bool CTcpRemoteData::SendResolution(int width, int height) {
  if (width <= 0 || height <= 0) return false;
  char text[24];
  const int n = std::snprintf(text, sizeof text, "%d*%d", width, height);
  if (n <= 0 || size_t(n) > kTcpSizeTextLimit) return false;
  return ControlRequest(address_, port_, kTcpSetResolution, mode_, std::string(text, size_t(n)));
}

HRESULT CTcpRemoteData::SetResolution(int width, int height) {
  if (state_ == 0) {
    pendingWidth_ = width;
    pendingHeight_ = height;
    pendingFormatIndex_ = -1;
    pendingValid_ = true;
    return S_FALSE;
  }
  return SendResolution(width, height) ? S_OK : E_FAIL;
}

HRESULT CTcpRemoteData::SetFormatIndex(int i) {
  if (state_ == 0) {
    pendingFormatIndex_ = i;
    pendingWidth_ = pendingHeight_ = -1;
    pendingValid_ = true;
    return S_FALSE;
  }
  int width = 0, height = 0;
  if (GetFormatSize(i, &width, &height) != 0) return E_FAIL;
  return SendResolution(width, height) ? S_OK : E_FAIL;
}

void CTcpRemoteData::GetResolution(int* width, int* height) {
  std::lock_guard lock(frameLock_);
  if (frame_.empty()) return;
  if (width) *width = frame_.cols;
  if (height) *height = frame_.rows;
}

cv::Mat CTcpRemoteData::GetMat() {
  std::lock_guard lock(frameLock_);
  return frame_.clone();
}

bool CTcpRemoteData::GetFrame(CDPrgb24* destination) {
  if (!destination) return false;
  std::lock_guard lock(frameLock_);
  if (frame_.empty()) return false;
  cv::Mat bgr;
  if (frame_.type() == CV_8UC3)
    bgr = frame_;
  else if (frame_.type() == CV_8UC1)
    cv::cvtColor(frame_, bgr, cv::COLOR_GRAY2BGR);
  else
    return false;
  cv::Mat bottomUp;
  cv::flip(bgr, bottomUp, 0);  // continuous, rows in reverse order
  return destination->SetFrame(bottomUp.data, bottomUp.cols, bottomUp.rows);
}

#pragma once
// A video source that takes JPEG frames from a camera server over TCP: one
// connection asks for frames in a loop, short connections of their own ask
// for the resolution list or set a resolution. The newest frame is held for
// the preview and each new one is announced to the notify window.
#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <opencv2/core.hpp>

#include "capture/TcpConnection.h"
#include "capture/VideoBaseClass.h"

class CTcpRemoteData : public CVideoBaseClass, public IGrabData {
 public:
  // Waits of the network calls; a server that takes longer is given up.
  static constexpr int kConnectTimeoutMs = 3000;
  static constexpr int kRequestTimeoutMs = 5000;
  static constexpr int kFrameTimeoutMs = 10000;
  static constexpr int kReconnectDelayMs = 100;

  CTcpRemoteData();
  ~CTcpRemoteData() override;
  CTcpRemoteData(const CTcpRemoteData&) = delete;
  CTcpRemoteData& operator=(const CTcpRemoteData&) = delete;

  // vid is the server's address ("a.b.c.d" or "a.b.c.d:port"), pid the mode text.
  HRESULT Open(const wchar_t* vid, const wchar_t* pid, const wchar_t* name, HWND stillWindow, bool stillPin,
               int index) override;
  bool Run() override;
  bool Stop() override;
  void SetNotifyWindow(HWND window, UINT message) override;
  IGrabData* GetGrabData() override { return this; }
  int GetFormatCount() override;
  int GetDeviceFormatCount(const wchar_t* vid, const wchar_t* pid, int index) override;
  int GetFormatSize(int i, int* width, int* height) override;
  int GetDeviceFormatSize(const wchar_t* vid, const wchar_t* pid, int index, int i, int* width, int* height) override;
  int CountDevices(const wchar_t* vid, const wchar_t* pid) override;
  HRESULT SetResolution(int width, int height) override;
  HRESULT SetFormatIndex(int i) override;
  void GetResolution(int* width, int* height) override;
  int GetState() override { return state_; }

  bool GetFrame(CDPrgb24* destination) override;
  cv::Mat GetMat() override;
  bool ReservedA(int, int, int, int) override { return false; }
  bool ReservedB(int, int, int, int) override { return false; }

  int Mode() const { return mode_; }
  int Port() const { return port_; }

 private:
  // Fills the resolution list for a server and mode text, from the held one when it fits.
  bool ResolutionList(const std::wstring& address, const std::wstring& mode);
  bool ControlRequest(const std::string& address, int port, int command, int mode, const std::string& text);
  std::wstring OpenedAddressText() const;
  void StreamLoop();
  bool StreamExchange(vqcapture::TcpConnection& connection, int mode, std::vector<uint8_t>& body);
  void TakeResponse(const uint8_t* body, size_t size);
  bool SendResolution(int width, int height);

  int mode_ = 10;
  std::string cachedAddress_;
  int cachedMode_ = -1;
  std::mutex listLock_;  // the list is also filled by frame responses on the stream thread
  std::vector<std::pair<int, int>> resolutions_;
  std::atomic<int> state_{0};
  std::mutex frameLock_;
  HWND notifyWindow_ = nullptr;
  UINT notifyMessage_ = 0;
  cv::Mat frame_;
  std::string address_;
  int port_ = 6000;
  std::atomic<bool> stopFlag_{false};
  std::atomic<bool> requestRunning_{false};
  std::thread streamThread_;
  vqcapture::TcpConnection stream_;
  int pendingFormatIndex_ = -1;
  int pendingWidth_ = -1, pendingHeight_ = -1;
  bool pendingValid_ = false;
};

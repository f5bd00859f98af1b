#pragma once
// Vorquell and the outside programs: the probe of the image server at start,
// the image-path requests while it runs and the companion's notice at exit.
// Everything runs on the main window's thread; the other programs are found
// by window title (platform/win/ProgramWindows.h).
#include "platform/mfc/CString.h"
#include "platform/win/Messages.h"
#include "platform/win/WinTypes.h"

#define WM_SERVER_PROBE (WM_USER + 0x55)
#define SERVER_PROBE_OK 51
#define WM_IMAGEPATH_REQUEST (WM_USER + 0x100)
#define WM_IMAGEPATH_READY (WM_USER + 0x101)
#define WM_COMPANION_EXIT (WM_USER + 1000)

inline constexpr const wchar_t* kImageServerTitle = L"VorquellServer";
inline constexpr const wchar_t* kImageWindowTitle = L"Image";
inline constexpr const wchar_t* kCompanionTitle = L"Tollwyn - V2.2";
inline constexpr const wchar_t* kImagePathMappingName = L"VorquellImageDataMap";

// 0 to go on, -1 when an image server's window answers anything but
// SERVER_PROBE_OK (no such window: 0).
int ProbeImageServer();

// Sends WM_COMPANION_EXIT to the companion's window when there is one.
void NotifyCompanionExit();

// The main window's side of the image-path requests: it opens the mapping
// by name at each request and keeps it, with its view, until the next one.
class CImagePathServer {
 public:
  static constexpr LRESULT kAnswered = 0;
  static constexpr LRESULT kNoMapping = 2;

  CImagePathServer() = default;
  ~CImagePathServer() { Close(); }
  CImagePathServer(const CImagePathServer&) = delete;
  CImagePathServer& operator=(const CImagePathServer&) = delete;

  // Writes the path into the asking program's mapping as text ending in a
  // zero byte, within the view; a path that does not fit in 255 bytes or in
  // the view is handed out empty rather than cut. Then posts
  // WM_IMAGEPATH_READY to the "Image" window when there is one. kNoMapping
  // when the mapping does not exist or cannot be mapped (nothing posted).
  LRESULT AnswerRequest(const CString& imagePath);
  // Releases the view and the mapping (the application, after the main window ended).
  void Close();
  bool HoldsMapping() const { return mapping_ != nullptr; }

 private:
  HANDLE mapping_ = nullptr;
  void* view_ = nullptr;
};

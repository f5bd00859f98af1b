#include "app/ImagePathServer.h"

#include <cstring>

#include "app/ImageConversions.h"
#include "platform/win/FileMapping.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/Window.h"

namespace {

constexpr int kPathBytes = 256;  // 255 bytes of text and the zero

}  // namespace

int ProbeImageServer() {
  HWND server = FindWindowW(nullptr, kImageServerTitle);
  if (!server) return 0;
  return SendMessageW(server, WM_SERVER_PROBE, 0, 0) == SERVER_PROBE_OK ? 0 : -1;
}

void NotifyCompanionExit() {
  if (HWND companion = FindWindowW(nullptr, kCompanionTitle)) SendMessageW(companion, WM_COMPANION_EXIT, 0, 0);
}

LRESULT CImagePathServer::AnswerRequest(const CString& imagePath) {
  // Opened by name at every request: the asking program may have removed
  // the memory after reading it and made it anew, and an answer written
  // into the old one would reach nobody.
  Close();
  mapping_ = OpenFileMappingW(FILE_MAP_WRITE, FALSE, kImagePathMappingName);
  if (!mapping_) return kNoMapping;
  view_ = MapViewOfFile(mapping_, FILE_MAP_WRITE, 0, 0, 0);
  if (!view_) {
    // The asker learns it got nothing.
    Close();
    return kNoMapping;
  }
  char text[kPathBytes] = {};
  const int written = WideToAnsi(imagePath, text, kPathBytes);  // with the zero; 0 when it does not fit
  // A cut path would name another file: one that does not fit goes out empty.
  if (written > 0 && size_t(written) <= vqplatform::MappedViewSize(view_))
    std::memcpy(view_, text, size_t(written));
  else
    *static_cast<char*>(view_) = '\0';
  if (HWND receiver = FindWindowW(nullptr, kImageWindowTitle)) PostMessageW(receiver, WM_IMAGEPATH_READY, 0, 0);
  return kAnswered;
}

void CImagePathServer::Close() {
  if (view_) UnmapViewOfFile(view_);
  view_ = nullptr;
  if (mapping_) CloseHandle(mapping_);
  mapping_ = nullptr;
}

// The main window and the programs beside it: the image server asked at
// start-up, the companion program told at exit. Both are found by the
// titles of their top-level windows.
#include "app/VorquellDlg.h"

namespace {

constexpr const wchar_t* kImageServerTitle = L"VorquellServer";
constexpr const wchar_t* kCompanionTitle = L"Tollwyn - V2.2";

}  // namespace

int CVorquellDlg::ProbeImageServer() {
  HWND server = FindWindowW(nullptr, kImageServerTitle);
  if (!server) return 0;
  return ::SendMessageW(server, WM_SERVER_PROBE, 0, 0) == SERVER_PROBE_OK ? 0 : -1;
}

void CVorquellDlg::NotifyCompanion() {
  if (HWND companion = FindWindowW(nullptr, kCompanionTitle)) ::SendMessageW(companion, WM_COMPANION_EXIT, 0, 0);
}

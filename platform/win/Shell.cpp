#include "platform/win/Shell.h"

#include <errno.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <mutex>
#include <thread>

#include "base/PathEncoding.h"
#include "platform/display/Headless.h"
#include "platform/win/Encoding.h"
#include "platform/win/MessageBox.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/UserLanguage.h"

extern char** environ;

namespace vqplatform {
namespace {

using vq::EqualNoCase;
using vq::WideToUtf8;

std::mutex g_recordMutex;
std::vector<ShellCall> g_record;

HINSTANCE Result(INT_PTR code) { return reinterpret_cast<HINSTANCE>(code); }

// "scheme:" with a scheme of two or more letters (one letter is a drive).
bool IsUrl(const std::wstring& target) {
  size_t colon = target.find(L':');
  if (colon == std::wstring::npos || colon < 2) return false;
  for (size_t i = 0; i < colon; ++i) {
    wchar_t c = target[i];
    bool ok = (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (i > 0 && ((c >= L'0' && c <= L'9') || c == L'+' || c == L'-' || c == L'.'));
    if (!ok) return false;
  }
  return true;
}

// The sound settings of the control panel have no counterpart here.
bool IsControlPanelRequest(const std::wstring& file, const std::wstring& parameters) {
  return EqualNoCase(file, L"rundll32.exe") || EqualNoCase(file, L"control.exe") ||
         parameters.find(L"Control_RunDLL") != std::wstring::npos;
}

bool Exists(const std::string& path, bool* isFolder) {
  struct stat st{};
  if (stat(path.c_str(), &st) != 0) return false;
  *isFolder = S_ISDIR(st.st_mode);
  return true;
}

// Starts xdg-open on the target and reaps it in the background, telling the
// owner when it opened nothing (its exit statuses 3 and 4); the error number
// when it cannot be started.
int RunXdgOpen(const std::string& target, HWND owner) {
  std::string program = "xdg-open";
  char* argv[] = {program.data(), const_cast<char*>(target.c_str()), nullptr};
  pid_t pid = 0;
  if (int error = posix_spawnp(&pid, "xdg-open", nullptr, nullptr, argv, environ); error != 0) return error;
  std::thread([pid, owner] {
    int status = 0;
    waitpid(pid, &status, 0);
    const bool nothingOpened = WIFEXITED(status) && (WEXITSTATUS(status) == 3 || WEXITSTATUS(status) == 4);
    if (nothingOpened && owner) PostMessageW(owner, WM_VQ_NOTHING_OPENED, 0, 0);
  }).detach();
  return 0;
}

// Nothing opens files without xdg-open: the user is told what is missing,
// as Windows tells of a file no program is associated with.
void ReportNoOpener(HWND owner, const std::wstring& target) {
  std::wstring text =
      InUserLanguage(L"无法打开“%s”：找不到打开文件的程序 xdg-open（软件包 xdg-utils）。",
                     L"無法開啟「%s」：找不到開啟檔案的程式 xdg-open（套件 xdg-utils）。",
                     L"\"%s\" cannot be opened: xdg-open, the program that opens files (package xdg-utils), was not "
                     L"found.");
  text.replace(text.find(L"%s"), 2, target);
  MessageBoxW(owner, text.c_str(), nullptr, MB_OK | MB_ICONERROR);
}

}  // namespace

std::vector<ShellCall> RecordedShellCalls() {
  std::lock_guard lock(g_recordMutex);
  return g_record;
}

void ClearRecordedShellCalls() {
  std::lock_guard lock(g_recordMutex);
  g_record.clear();
}

}  // namespace vqplatform

HINSTANCE ShellExecuteW(HWND hwnd, LPCWSTR verb, LPCWSTR file, LPCWSTR parameters, LPCWSTR directory,
                        INT showCommand) {
  using namespace vqplatform;
  using vq::EqualNoCase;
  using vq::WideToUtf8;
  std::wstring action = verb && *verb ? verb : L"open";
  if (!EqualNoCase(action, L"open") && !EqualNoCase(action, L"explore")) return Result(SE_ERR_NOASSOC);
  std::wstring target = file ? file : L"";
  if (target.empty()) return Result(SE_ERR_FNF);
  if (IsControlPanelRequest(target, parameters ? parameters : L"")) return Result(SE_ERR_NOASSOC);
  bool explore = EqualNoCase(action, L"explore");
  if (!IsUrl(target)) {
    if (target[0] != L'/' && directory && *directory) {
      std::wstring folder = directory;
      if (folder.back() != L'/') folder += L'/';
      target = folder + target;
    }
    bool isFolder = false;
    if (!Exists(vq::PathToBytes(target), &isFolder)) return Result(explore ? SE_ERR_PNF : SE_ERR_FNF);
    if (explore && !isFolder) return Result(SE_ERR_PNF);
  } else if (explore) {
    return Result(SE_ERR_PNF);
  }
  if (!IsHeadless()) {
    int error = RunXdgOpen(IsUrl(target) ? WideToUtf8(target) : vq::PathToBytes(target), hwnd);
    if (error == ENOENT) ReportNoOpener(hwnd, target);
    if (error != 0) return Result(SE_ERR_NOASSOC);
  }
  {
    std::lock_guard lock(g_recordMutex);
    g_record.push_back(ShellCall{explore ? L"explore" : L"open", target, showCommand});
  }
  return Result(42);
}

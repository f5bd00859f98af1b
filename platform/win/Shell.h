#pragma once
// ShellExecute: files, folders, web links and "mailto:" addresses are opened
// with xdg-open; without xdg-open on PATH the user is told so in a message
// box (owned by the window given). Headless, nothing is started: every call
// is recorded, and tests read the record. The sound control panel request
// fails quietly.
#include <string>
#include <vector>

#include "platform/win/Window.h"

// Results up to 32 are errors.
#define SE_ERR_FNF 2
#define SE_ERR_PNF 3
#define SE_ERR_ACCESSDENIED 5
#define SE_ERR_NOASSOC 31

// Posted to the window given to ShellExecuteW when the xdg-open it started
// ends without opening anything (no program for the file, or the opening
// failed): ShellExecuteW returns before xdg-open has looked. Above the
// messages outside programs may send.
#define WM_VQ_NOTHING_OPENED 0xC001

// Verb null or "open" opens, "explore" opens a folder. `file` is a path
// (relative ones against `directory`), a URL with a scheme, or "mailto:...".
HINSTANCE ShellExecuteW(HWND hwnd, LPCWSTR verb, LPCWSTR file, LPCWSTR parameters, LPCWSTR directory,
                        INT showCommand);
inline HINSTANCE ShellExecute(HWND h, LPCWSTR v, LPCWSTR f, LPCWSTR p, LPCWSTR d, INT s) {
  return ShellExecuteW(h, v, f, p, d, s);
}

namespace vqplatform {

struct ShellCall {
  std::wstring verb;    // "open" or "explore"
  std::wstring target;  // the path, URL or address handed to xdg-open
  INT showCommand = 0;
};

// Calls that were accepted, oldest first (headless: instead of running them).
std::vector<ShellCall> RecordedShellCalls();
void ClearRecordedShellCalls();

}  // namespace vqplatform

// A small outside program for the tests: one top-level window with a title,
// reachable by the other programs, that answers and records the messages it
// gets and can create a named mapping and send requests of its own. Its
// window takes the messages of the image server, the image window and the
// companion (1109, 1281, 2024), those its options name, and --takes.
//
//   vq_window_peer --title T --log FILE [options]
//     --answer M=V          answer message M with V (others get 0)
//     --takes M             take message M too
//     --quit-on M           end after handling M
//     --exit-on M           call exit() while handling M, listener still running
//     --send-back M:T2:M2   while handling M, send M2 to the window titled T2
//     --mapping NAME:SIZE   create the mapping, every byte '#'
//     --empty-mapping NAME  create the shared-memory object with no bytes
//     --read-mapping-on M   on M, record the mapping's text up to its first zero
//     --recreate-mapping-on M  on M (after reading), remove the mapping and create it anew
//     --request T2:M2       once up, send M2 to the window titled T2
// The log gets "ready", then "got M W L" per message from WM_USER on,
// "answer M R" per send made and "text ..." per mapping read.
#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "platform/win/Encoding.h"
#include "platform/win/FileMapping.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/ProgramWindows.h"
#include "platform/win/Threads.h"
#include "platform/win/Window.h"
#include "platform/win/ModalLoops.h"

namespace {

struct SendBack {
  std::wstring title;
  UINT message;
};

struct Options {
  std::wstring title;
  std::string log;
  std::map<UINT, LRESULT> answers;
  std::map<UINT, SendBack> sendBacks;
  std::vector<UINT> takes{1109, 1281, 2024};
  UINT quitOn = 0;
  UINT exitOn = 0;
  UINT readMappingOn = 0;
  UINT recreateMappingOn = 0;
  std::wstring mapping;
  size_t mappingSize = 0;
  std::wstring emptyMapping;
  SendBack request{L"", 0};
};

Options g_options;
HANDLE g_mapping = nullptr;

void Log(const std::string& line) {
  FILE* file = std::fopen(g_options.log.c_str(), "a");
  if (!file) return;
  std::fprintf(file, "%s\n", line.c_str());
  std::fclose(file);
}

// "T:M" into a title and a message number.
SendBack ParseTarget(const std::string& text) {
  size_t colon = text.rfind(':');
  return SendBack{vq::Utf8ToWide(text.substr(0, colon)), static_cast<UINT>(std::stoul(text.substr(colon + 1)))};
}

void SendTo(const SendBack& target) {
  HWND window = FindWindowW(nullptr, target.title.c_str());
  if (!window) {
    Log("answer " + std::to_string(target.message) + " none");
    return;
  }
  LRESULT result = SendMessageW(window, target.message, 0, 0);
  Log("answer " + std::to_string(target.message) + " " + std::to_string(result));
}

// Every byte '#'; false when it cannot be made.
bool CreateMapping() {
  g_mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                 static_cast<DWORD>(g_options.mappingSize), g_options.mapping.c_str());
  void* view = g_mapping ? MapViewOfFile(g_mapping, FILE_MAP_WRITE, 0, 0, 0) : nullptr;
  if (!view) return false;
  std::memset(view, '#', g_options.mappingSize);
  UnmapViewOfFile(view);
  return true;
}

// As a careful reader does: the old memory goes with its name, the new one
// has the same name.
void RecreateMapping() {
  if (g_mapping) CloseHandle(g_mapping);
  g_mapping = nullptr;
  Log(CreateMapping() ? "recreated" : "not recreated");
}

void ReadMapping() {
  void* view = g_mapping ? MapViewOfFile(g_mapping, FILE_MAP_READ, 0, 0, 0) : nullptr;
  if (!view) {
    Log("notext");
    return;
  }
  const char* bytes = static_cast<const char*>(view);
  size_t size = vqplatform::MappedViewSize(view);
  Log("text " + std::string(bytes, strnlen(bytes, size)));
  UnmapViewOfFile(view);
}

LRESULT CALLBACK PeerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message < WM_USER) return DefWindowProcW(hwnd, message, wParam, lParam);
  Log("got " + std::to_string(message) + " " + std::to_string(wParam) + " " + std::to_string(lParam));
  if (auto it = g_options.sendBacks.find(message); it != g_options.sendBacks.end()) SendTo(it->second);
  if (message == g_options.readMappingOn) ReadMapping();
  if (message == g_options.recreateMappingOn) RecreateMapping();
  if (message == g_options.quitOn) PostQuitMessage(0);
  if (message == g_options.exitOn) std::exit(0);
  auto answer = g_options.answers.find(message);
  return answer == g_options.answers.end() ? 0 : answer->second;
}

bool ParseOptions(int argc, char** argv) {
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string name = argv[i], value = argv[i + 1];
    if (name == "--title") {
      g_options.title = vq::Utf8ToWide(value);
    } else if (name == "--log") {
      g_options.log = value;
    } else if (name == "--answer") {
      size_t equals = value.find('=');
      g_options.answers[static_cast<UINT>(std::stoul(value.substr(0, equals)))] = std::stoll(value.substr(equals + 1));
    } else if (name == "--takes") {
      g_options.takes.push_back(static_cast<UINT>(std::stoul(value)));
    } else if (name == "--quit-on") {
      g_options.quitOn = static_cast<UINT>(std::stoul(value));
    } else if (name == "--exit-on") {
      g_options.exitOn = static_cast<UINT>(std::stoul(value));
    } else if (name == "--recreate-mapping-on") {
      g_options.recreateMappingOn = static_cast<UINT>(std::stoul(value));
    } else if (name == "--send-back") {
      size_t colon = value.find(':');
      g_options.sendBacks[static_cast<UINT>(std::stoul(value.substr(0, colon)))] = ParseTarget(value.substr(colon + 1));
    } else if (name == "--mapping") {
      size_t colon = value.rfind(':');
      g_options.mapping = vq::Utf8ToWide(value.substr(0, colon));
      g_options.mappingSize = std::stoul(value.substr(colon + 1));
    } else if (name == "--empty-mapping") {
      g_options.emptyMapping = vq::Utf8ToWide(value);
    } else if (name == "--read-mapping-on") {
      g_options.readMappingOn = static_cast<UINT>(std::stoul(value));
    } else if (name == "--request") {
      g_options.request = ParseTarget(value);
    } else {
      return false;
    }
  }
  return !g_options.title.empty() && !g_options.log.empty();
}

// What a careless outside program may leave: an object nothing can be mapped from.
bool CreateEmptyObject(const std::wstring& name) {
  std::string object = vqplatform::SharedMemoryName(name.c_str());
  int fd = object.empty() ? -1 : shm_open(object.c_str(), O_RDWR | O_CREAT, 0600);
  if (fd >= 0) close(fd);
  return fd >= 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (!ParseOptions(argc, argv)) {
    std::fprintf(stderr, "usage: vq_window_peer --title T --log FILE [options]\n");
    return 2;
  }
  // SIGTERM ends the message loop, so the mapping's name is removed on the way out.
  sigset_t terminate;
  sigemptyset(&terminate);
  sigaddset(&terminate, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &terminate, nullptr);
  const DWORD mainThread = GetCurrentThreadId();
  std::thread([terminate, mainThread] {
    int signal = 0;
    sigwait(&terminate, &signal);
    PostThreadMessageW(mainThread, WM_QUIT, 0, 0);
  }).detach();
  if (!g_options.mapping.empty() && !CreateMapping()) return 3;
  const bool emptyObject = !g_options.emptyMapping.empty() && CreateEmptyObject(g_options.emptyMapping);
  WNDCLASSW peerClass{};
  peerClass.lpfnWndProc = PeerProc;
  peerClass.lpszClassName = L"VqWindowPeer";
  RegisterClassW(&peerClass);
  HWND window = CreateWindowExW(0, L"VqWindowPeer", g_options.title.c_str(), WS_OVERLAPPED, 0, 0, 100, 100, nullptr,
                                nullptr, nullptr, nullptr);
  std::vector<UINT> takes = g_options.takes;
  for (const auto& [message, answer] : g_options.answers) takes.push_back(message);
  for (const auto& [message, sendBack] : g_options.sendBacks) takes.push_back(message);
  takes.insert(takes.end(), {g_options.quitOn, g_options.exitOn, g_options.readMappingOn,
                             g_options.recreateMappingOn});
  if (!window || !vqplatform::MakeReachableByPrograms(window, takes) || !vqplatform::StartProgramListener())
    return 4;
  Log("ready");
  if (g_options.request.message) SendTo(g_options.request);
  vqplatform::RunThreadLoop();
  vqplatform::StopProgramListener();
  DestroyWindow(window);
  if (g_mapping) CloseHandle(g_mapping);
  if (emptyObject) shm_unlink(vqplatform::SharedMemoryName(g_options.emptyMapping.c_str()).c_str());
  Log("ended");
  return 0;
}

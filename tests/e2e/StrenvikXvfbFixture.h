#pragma once
// The real libStrenvik.so loaded by the test manager as the Linux manager
// loads it, enabled by a host that never runs a message loop of its own, on
// the virtual cameras under Xvfb. The source's windows belong to its own
// copy of the layer: the tests find and work them on the X server only.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <opencv2/core/utility.hpp>
#include <opencv2/imgcodecs.hpp>

#include "platform/win/Encoding.h"
#include "platform/win/KnownFolders.h"
#include "resources/Resources.h"
#include "tests/support/TestEnv.h"
#include "tests/support/ThreadTimes.h"
#include "tests/twain/TestManager.h"
// Xlib's macros come last: they clash with the names above.
#include "tests/e2e/XServer.h"

namespace strenviktest {

using namespace std::chrono_literals;
using twaintest::TestHost;
using twaintest::TestManager;
using vqtest::ThreadCount;
using vqtest::ThreadNames;

// What a capture says when it finds no frame yet (a camera just opened on a
// busy machine).
inline const wchar_t kNoFrame[] = L"获取图像失败！";

class StrenvikXvfb : public ::testing::Test {
 protected:
  void SetUp() override {
    vqtest::UseXvfbDisplay();
    // The document camera as model A and the portrait camera, by the ids the source looks for.
    setenv("VQ_VIRTUAL_CAMERA", "vid=2E1A,pid=0101,sizes=640x480+1280x960;vid=2E1A,pid=0110,sizes=640x480+1280x960",
           1);
    const std::string folder = vq::WideToUtf8(vq::MachineDataFolder());
    std::filesystem::create_directories(folder);
    std::ofstream(folder + "/TwainPara0101.ini")
        << "[IMAGE]\nResolutionWidth=1280\nResolutionHeight=960\n[Camera]\nRotateAngle=0\n";
    host.onNotify = [this](TW_UINT16 message) {
      if (message == MSG_XFERREADY) ++xferReady;
    };
    // OpenCV's worker pool is the process's, not the source's: start it first.
    vqtest::StartOpenCvWorkers();
    threads = ThreadCount();
  }
  void TearDown() override { unsetenv("VQ_VIRTUAL_CAMERA"); }

  TW_UINT16 Send(TW_UINT32 DG, TW_UINT16 DAT, TW_UINT16 MSG, TW_MEMREF data) {
    return manager.Send(host, DG, DAT, MSG, data);
  }
  TW_UINT16 SetUInt16(TW_UINT16 cap, TW_UINT16 value) {
    TW_HANDLE block = std::malloc(6);
    std::memcpy(block, &kUInt16, 2);
    const TW_UINT32 item = value;
    std::memcpy(static_cast<char*>(block) + 2, &item, 4);
    TW_CAPABILITY capability{cap, TWON_ONEVALUE, block};
    const TW_UINT16 rc = Send(DG_CONTROL, DAT_CAPABILITY, MSG_SET, &capability);
    std::free(block);
    return rc;
  }
  TW_UINT32 CurrentUInt16(TW_UINT16 cap) {
    TW_CAPABILITY capability{cap, 0, nullptr};
    if (Send(DG_CONTROL, DAT_CAPABILITY, MSG_GETCURRENT, &capability) != TWRC_SUCCESS) return 0xFFFFFFFF;
    TW_ENTRYPOINT memory = TestManager::EntryPoints();
    const auto* p = static_cast<const char*>(memory.DSM_MemLock(capability.hContainer));
    TW_UINT32 item = 0;
    std::memcpy(&item, p + 2, 4);
    memory.DSM_MemUnlock(capability.hContainer);
    memory.DSM_MemFree(capability.hContainer);
    return item & 0xFFFF;
  }
  // Enabled with its window, where the window shows.
  void EnableWithWindow(RECT* window) {
    ASSERT_EQ(manager.OpenDS(host), TWRC_SUCCESS);
    TW_USERINTERFACE ui{1, 0, nullptr};
    ASSERT_EQ(Send(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui), TWRC_SUCCESS);
    ASSERT_TRUE(vqtest::WaitFor([&] { return FindXWindow("Tirrowan Twain", window); }));
  }
  void DisableAndClose() {
    TW_USERINTERFACE ui{1, 0, nullptr};
    ASSERT_EQ(Send(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui), TWRC_SUCCESS);
    ASSERT_EQ(manager.CloseDS(host), TWRC_SUCCESS);
  }
  // The shown window titled so, and where it lies.
  bool FindXWindow(const std::string& title, RECT* place) {
    const std::optional<vqtest::ShownX> found = server.ShownTitled(title);
    if (found) *place = found->place;
    return found.has_value();
  }
  // A shown window beside the camera window at least that large (a
  // message box, a dialog or a menu), with its place.
  std::optional<vqtest::ShownX> OtherWindow(int minWidth = 81, int minHeight = 41) {
    return server.FindShown([&](const vqtest::ShownX& shown) {
      return shown.title != "Tirrowan Twain" && shown.place.right - shown.place.left >= minWidth &&
             shown.place.bottom - shown.place.top >= minHeight;
    });
  }
  // The screen point at the centre of a control of the camera window.
  POINT ControlCentre(const RECT& window, int id) {
    return vqtest::ControlCentre(vqres::CameraWindowTemplate(), window, id);
  }
  // Where a control of the camera window at `window` lies on the screen.
  RECT ControlOnScreen(const RECT& window, int id) {
    const RECT control = vqtest::ControlPixels(vqres::CameraWindowTemplate(), id);
    return RECT{window.left + control.left, window.top + control.top, window.left + control.right,
                window.top + control.bottom};
  }
  // The strip's item j (0 to 3) of a camera window at `window` with multi-shot on.
  RECT StripItem(const RECT& window, int j) {
    const RECT button = vqtest::ControlPixels(vqres::CameraWindowTemplate(), 6031);
    const int buttonHeight = button.bottom - button.top;
    const int itemHeight = (window.bottom - window.top - buttonHeight - 15) / 4;
    return RECT{window.right - 133, window.top + buttonHeight + 10 + j * itemHeight, window.right - 5,
                window.top + buttonHeight + 10 + j * itemHeight + itemHeight - 5};
  }
  POINT StripItemCentre(const RECT& window, int j) {
    const RECT r = StripItem(window, j);
    return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  }
  RECT Strip(const RECT& window) {
    return RECT{StripItem(window, 0).left, StripItem(window, 0).top, StripItem(window, 3).right,
                StripItem(window, 3).bottom};
  }
  // Transfers every pending page natively; their sizes in order.
  std::vector<cv::Size> ReceiveAll() {
    std::vector<cv::Size> sizes;
    TW_PENDINGXFERS pending{};
    do {
      sizes.push_back(ReceiveNative());
      pending = {};
      if (Send(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending) != TWRC_SUCCESS) break;
    } while (pending.Count != 0 && !sizes.back().empty());
    return sizes;
  }
  // Waits until the layer has put two more pictures of the camera window on
  // the server (its preview draws on): the second was composed after the
  // call, so what the window drew before the call is then on the screen.
  bool Redrawn() {
    const unsigned long xwindow = CameraXWindow();
    const long before = Presents(xwindow);
    return vqtest::WaitFor([&] { return Presents(xwindow) >= before + 2; });
  }
  // Waits until the server shows a window of the source drawn: the layer
  // said so of it with a picture (_VQ_CONTROLS).
  bool Drawn(unsigned long xwindow) {
    if (vqtest::WaitFor([&] {
          const std::optional<ControlState> window = Control(0, xwindow);
          return window && window->drawn;
        }))
      return true;
    ADD_FAILURE() << "not drawn: " << server.ReadProperty(xwindow, "_VQ_CONTROLS").bytes;
    return false;
  }
  unsigned long CameraXWindow() {
    const std::optional<vqtest::ShownX> shown = server.ShownTitled("Tirrowan Twain");
    return shown ? shown->window : 0;
  }
  // Waits until the camera window shows the camera: the layer has put
  // fifteen more pictures of it on the server (its count on the X window),
  // a second of frames, while the window manager left the window where it
  // lay. `window` is then where it lies.
  bool PreviewLive(RECT& window) {
    std::optional<vqtest::ShownX> placed;
    long start = 0;
    const bool live = vqtest::WaitFor([&] {
      const std::optional<vqtest::ShownX> now = server.ShownTitled("Tirrowan Twain");
      if (!now) return false;
      const long draws = Presents(now->window);
      if (!placed || placed->window != now->window || !vqtest::SameRect(placed->place, now->place)) {
        placed = now;  // found, or moved: counted from here
        start = draws;
        return false;
      }
      return draws >= start + 15;
    });
    if (live) window = placed->place;
    return live;
  }
  // How many pictures of a window of the source the layer put on the server.
  long Presents(unsigned long xwindow) {
    const vqtest::XServer::Property count = server.ReadProperty(xwindow, "_VQ_PRESENTS");
    return count.items.empty() ? 0 : count.items.front();
  }
  // What the layer said of the controls of a window of the source with its
  // last picture (_VQ_CONTROLS), the window itself (id 0) first: whether
  // each is enabled and drawn, and its text.
  struct ControlState {
    int id = 0;
    bool enabled = false;
    bool drawn = false;
    std::string text;
  };
  std::vector<ControlState> Controls(unsigned long xwindow) {
    std::vector<ControlState> controls;
    if (!xwindow) return controls;
    std::istringstream lines(server.ReadProperty(xwindow, "_VQ_CONTROLS").bytes);
    for (std::string line; std::getline(lines, line);) {
      std::istringstream fields(line);
      ControlState state;
      if (!(fields >> state.id >> state.enabled >> state.drawn)) continue;
      std::getline(fields >> std::ws, state.text);
      controls.push_back(state);
    }
    return controls;
  }
  // One control (0: the window) of the camera window, or of another window
  // of the source; nothing before the layer said.
  std::optional<ControlState> Control(int id, unsigned long xwindow = 0) {
    if (!xwindow) xwindow = CameraXWindow();
    for (const ControlState& control : Controls(xwindow))
      if (control.id == id) return control;
    return std::nullopt;
  }
  // Whether the camera window and its control take a click. The window
  // disables its capture and upload buttons during a transfer, and enables
  // them once it has handled the transfer's end; a dialog disables it all.
  bool Enabled(int id) {
    const std::optional<ControlState> window = Control(0), control = Control(id);
    return window && window->enabled && control && control->enabled;
  }
  // Waits until a control of a window of the source is there and enabled:
  // a click on it lands (one that comes before the control is made goes to
  // the window beneath).
  bool Takes(unsigned long xwindow, int id) {
    return vqtest::WaitFor([&] {
      const std::optional<ControlState> control = Control(id, xwindow);
      return control && control->enabled;
    });
  }
  // Answers a box of the source with its button `id` once the box takes it.
  bool Answer(const vqtest::KnownMessageBox& box, int id = IDOK) {
    const std::optional<vqtest::ShownX> shown = box.Find(server);
    return shown && Takes(shown->window, id) && box.Press(server, id);
  }
  // The pages the camera window counts ("已经扫描了 N 张图像"); -1 before it said.
  int PageCount() {
    const std::optional<ControlState> count = Control(6011);
    int pages = -1;
    if (count) std::sscanf(count->text.c_str(), "已经扫描了 %d", &pages);
    return pages;
  }
  // Presses buttons of the camera window at `window`, in order, each once
  // it is enabled, until `landed`. The one condition pressed again for: a
  // capture found no frame yet and said so in its box, which is answered
  // with its OK, three times at the most. (A second press within the
  // double-click time presses a button again.)
  bool PressUntil(const RECT& window, const std::vector<int>& ids, const std::function<bool()>& landed) {
    const vqtest::KnownMessageBox noFrame(kNoFrame);
    for (int press = 0; press < 3; ++press) {
      for (int id : ids) {
        if (!vqtest::WaitFor([&] { return Enabled(id); })) ADD_FAILURE() << "button " << id << " stays disabled";
        server.Click(ControlCentre(window, id));
      }
      bool failed = false;
      if (!vqtest::WaitFor([&] { return landed() || (failed = noFrame.Find(server).has_value()); })) break;
      if (!failed) return true;
      if (!Answer(noFrame) || !vqtest::WaitFor([&] { return !noFrame.Find(server); })) break;
    }
    server.Grab(RECT{0, 0, 1920, 1080}).SavePng(vqtest::ScreenshotPath("strenvik-press-not-landed.png"));
    ADD_FAILURE() << "the camera window's controls: " << server.ReadProperty(CameraXWindow(), "_VQ_CONTROLS").bytes;
    return false;
  }
  // Merge mode on, and the first capture into its dialog: the merge dialog
  // as shown.
  std::optional<RECT> OpenMerge(const RECT& window) {
    if (!vqtest::WaitFor([&] { return Enabled(6024); })) return std::nullopt;
    server.Click(ControlCentre(window, 6024));
    RECT merge{};
    if (!PressUntil(window, {6000}, [&] { return FindXWindow("图像合并", &merge); })) return std::nullopt;
    return merge;
  }
  // Presses 拍摄 then 上传 until the host is told a page is ready. The
  // window learns of the last transfer's end from its queue, and counts no
  // pages from then on: a press before that falls between the transfer's
  // start and end, and is lost.
  void CaptureAndUpload(const RECT& window) {
    ASSERT_TRUE(vqtest::WaitFor([&] { return PageCount() == 0; }))
        << "the camera window still counts the pages of the last transfer";
    const int before = xferReady;
    ASSERT_TRUE(PressUntil(window, {6000, 6012}, [&] { return xferReady > before; })) << "no MSG_XFERREADY";
  }
  // Presses 上传 until the host is told pages are ready.
  bool Upload(const RECT& window) {
    const int before = xferReady;
    return PressUntil(window, {6012}, [&] { return xferReady > before; });
  }
  // Presses 拍摄 with multi-shot on until the window counts one page more.
  bool CaptureIntoStrip(const RECT& window) {
    const int before = PageCount();
    return PressUntil(window, {6000}, [&] { return PageCount() > before; });
  }
  // Once the window has handled the input sent so far (it handles input in
  // order: the scan parameters that a click opens after it have come and
  // gone) and the picture it drew then is on the server.
  bool InputHandled(const RECT& window) {
    RECT parameters{};
    server.Click(ControlCentre(window, 6021));
    if (!vqtest::WaitFor([&] { return FindXWindow("扫描参数", &parameters); })) return false;
    if (!Takes(server.ShownTitled("扫描参数")->window, IDCANCEL)) return false;
    server.Click(vqtest::ControlCentre(vqres::ScanParameterTemplate(), parameters, IDCANCEL));
    return vqtest::WaitFor([&] { return !FindXWindow("扫描参数", &parameters); }) && Redrawn();
  }
  // Captures and receives pages until the last page's size passes `wanted`,
  // ten times at the most: a setting takes effect with the frames that
  // follow it, which a capture may not show yet.
  cv::Size CaptureUntil(const RECT& window, const std::function<bool(cv::Size)>& wanted) {
    cv::Size size;
    int captures = 0;
    do {
      CaptureAndUpload(window);
      size = ReceiveAll().back();
    } while (!wanted(size) && ++captures < 10);
    return size;
  }
  // Receives every pending page natively: the size they all have.
  cv::Size UploadedSize() {
    const std::vector<cv::Size> sizes = ReceiveAll();
    for (const cv::Size& size : sizes) EXPECT_EQ(size, sizes.back());
    return sizes.back();
  }
  // Ends the transfer of this page, and receives any others pending.
  void EndTransfer() {
    TW_PENDINGXFERS pending{};
    ASSERT_EQ(Send(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending), TWRC_SUCCESS);
    if (pending.Count != 0) ReceiveAll();
  }
  TW_IMAGEINFO Info() {
    TW_IMAGEINFO info{};
    EXPECT_EQ(Send(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &info), TWRC_SUCCESS);
    return info;
  }
  // A native transfer's page size; empty when no page came.
  cv::Size ReceiveNative() {
    TW_HANDLE dib = nullptr;
    EXPECT_EQ(Send(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &dib), TWRC_XFERDONE);
    if (!dib) return {};
    TW_ENTRYPOINT memory = TestManager::EntryPoints();
    const auto* header = static_cast<const uint8_t*>(memory.DSM_MemLock(dib));
    int32_t width = 0, height = 0;
    std::memcpy(&width, header + 4, 4);
    std::memcpy(&height, header + 8, 4);
    memory.DSM_MemUnlock(dib);
    memory.DSM_MemFree(dib);
    return cv::Size(width, height);
  }
  cv::Mat FileTransfer(TW_UINT16 format, const char* name) {
    const std::string path = vqtest::TempPath(name).string();
    TW_SETUPFILEXFER setup{};
    std::strncpy(setup.FileName, path.c_str(), sizeof setup.FileName - 1);
    setup.Format = format;
    EXPECT_EQ(Send(DG_CONTROL, DAT_SETUPFILEXFER, MSG_SET, &setup), TWRC_SUCCESS);
    EXPECT_EQ(Send(DG_IMAGE, DAT_IMAGEFILEXFER, MSG_GET, nullptr), TWRC_XFERDONE);
    return cv::imread(path, cv::IMREAD_UNCHANGED);
  }

  static constexpr TW_UINT16 kUInt16 = TWTY_UINT16;
  vqtest::XServer server;
  TestManager manager{std::string(STRENVIK_LIBRARY_PATH)};
  TestHost host{21};
  std::atomic<int> xferReady{0};
  int threads = 0;
};

}  // namespace strenviktest

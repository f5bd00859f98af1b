#pragma once
// The real libStrenvik.so loaded by the test manager as the Linux manager
// loads it, enabled by a host that never runs a message loop of its own, on
// the virtual cameras under Xvfb: the fixture and what the tests look for
// on the X server.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <opencv2/core/utility.hpp>
#include <opencv2/imgcodecs.hpp>

#include "platform/win/Dialog.h"
#include "platform/win/DialogUnits.h"
#include "platform/win/GdiObjects.h"
#include "platform/win/Encoding.h"
#include "platform/win/KnownFolders.h"
#include "resources/Resources.h"
#include "tests/support/TestEnv.h"
#include "tests/twain/TestManager.h"
// Xlib's macros come last: they clash with the names above.
#include "tests/e2e/XServer.h"

namespace strenviktest {

using namespace std::chrono_literals;
using twaintest::TestHost;
using twaintest::TestManager;
using twaintest::ThreadCount;

// The names of this process's threads.
std::string ThreadNames();

// A shown top-level X window whose UTF-8 name (empty when it has none) and
// screen rectangle pass `wanted`, with that rectangle and name; under a
// window manager, the windows inside its frames.
bool FindXWindowWhere(const std::function<bool(const char*, const RECT&)>& wanted, RECT* screen,
                      std::string* title = nullptr);

// The top-level X window whose UTF-8 name is `title`, with its screen rectangle.
inline bool FindXWindow(const char* title, RECT* screen) {
  return FindXWindowWhere([title](const char* name, const RECT&) { return std::strcmp(name, title) == 0; }, screen);
}

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
    cv::parallel_for_(cv::Range(0, 64), [](const cv::Range&) { std::this_thread::sleep_for(20ms); });
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
  // The screen point at the centre of a control of the camera window.
  POINT ControlCentre(const RECT& window, int id) { return ControlCentre(vqres::CameraWindowTemplate(), window, id); }
  // The same in another dialog of the source, whose client area lies at `window`.
  POINT ControlCentre(const DialogTemplate& dialog, const RECT& window, int id) {
    const RECT r = ControlPixels(dialog, id);
    return POINT{window.left + (r.left + r.right) / 2, window.top + (r.top + r.bottom) / 2};
  }
  // A control's rectangle in its dialog's client pixels.
  RECT ControlPixels(const DialogTemplate& dialog, int id) {
    HFONT font = vqplatform::CreateDialogFont(L"MS Shell Dlg", 8);
    const vqplatform::DialogBaseUnits base = vqplatform::BaseUnitsOfFont(font);
    DeleteObject(font);
    for (const DialogItemTemplate& item : dialog.items)
      if (item.id == id) return vqplatform::DialogUnitsToPixels(RECT{item.x, item.y, item.x + item.cx, item.y + item.cy}, base);
    ADD_FAILURE() << "no control " << id;
    return RECT{};
  }
  // The strip's item j (0 to 3) of a camera window at `window` with multi-shot on.
  RECT StripItem(const RECT& window, int j) {
    const RECT button = ControlPixels(vqres::CameraWindowTemplate(), 6031);
    const int buttonHeight = button.bottom - button.top;
    const int itemHeight = (window.bottom - window.top - buttonHeight - 15) / 4;
    return RECT{window.right - 133, window.top + buttonHeight + 10 + j * itemHeight, window.right - 5,
                window.top + buttonHeight + 10 + j * itemHeight + itemHeight - 5};
  }
  POINT StripItemCentre(const RECT& window, int j) {
    const RECT r = StripItem(window, j);
    return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
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
  // A shown window beside the camera window, larger than a tooltip (a
  // message box, a dialog or a menu), with its rectangle and name.
  bool OtherWindow(RECT* box = nullptr, std::string* title = nullptr) {
    RECT where{};
    return FindXWindowWhere(
        [](const char* name, const RECT& r) {
          return std::strcmp(name, "Tirrowan Twain") != 0 && r.right - r.left > 80 && r.bottom - r.top > 40;
        },
        box ? box : &where, title);
  }
  // What the server shows in `area` once it stands still (the same in two
  // looks 300 ms apart): drawn, and done changing.
  vqtest::Screenshot Settled(const RECT& area) {
    vqtest::Screenshot look = server.Grab(area);
    vqtest::WaitFor([&] {
      std::this_thread::sleep_for(300ms);
      const vqtest::Screenshot now = server.Grab(area);
      const bool same = now.CountDifferences(look.pixels, look.width, look.height) == 0;
      look = now;
      return same;
    });
    return look;
  }
  // Waits until the preview area of the camera window at `window` changes
  // from one moment to the next: the camera delivers.
  bool PreviewLive(const RECT& window) {
    const POINT centre = ControlCentre(window, 6002);
    const RECT preview{centre.x - 100, centre.y - 100, centre.x + 100, centre.y + 100};
    const vqtest::Screenshot start = server.Grab(preview);
    return vqtest::WaitFor(
        [&] { return server.Grab(preview).CountDifferences(start.pixels, start.width, start.height) > 1000; });
  }
  // Presses 拍摄 then 上传 until the host is told a page is ready. A press
  // can find the buttons still disabled (the window enables them again once
  // it has handled the end of the last transfer), and a capture can find no
  // frame yet (it says so in a box, which is answered): both are tried
  // again. A slow try that lands after the next one leaves two pages: the
  // receiving helpers take every pending page.
  void CaptureAndUpload(const RECT& window) {
    const int before = xferReady;
    const auto deadline = std::chrono::steady_clock::now() + vqtest::kPatience;
    while (xferReady == before && std::chrono::steady_clock::now() < deadline) {
      server.Click(ControlCentre(window, 6000));
      server.Click(ControlCentre(window, 6012));
      RECT box{};
      vqtest::WaitFor([&] { return xferReady > before || OtherWindow(&box); }, 20s);
      if (xferReady == before && OtherWindow(&box)) {
        server.Click(POINT{(box.left + box.right) / 2, box.bottom - 33});
        vqtest::WaitFor([&] { return !OtherWindow(); });
      }
    }
    ASSERT_GT(xferReady, before) << "no MSG_XFERREADY";
  }
  // Presses 上传 until the host is told pages are ready: the button stays
  // disabled until the window has handled what came before it (the end of
  // continuous shooting, of the last transfer).
  bool Upload(const RECT& window) {
    const int before = xferReady;
    const auto deadline = std::chrono::steady_clock::now() + vqtest::kPatience;
    while (xferReady == before && std::chrono::steady_clock::now() < deadline) {
      server.Click(ControlCentre(window, 6012));
      vqtest::WaitFor([&] { return xferReady > before; }, 10s);
    }
    return xferReady > before;
  }
  // Presses 拍摄 with multi-shot on until the strip shows one page more. A
  // capture that finds no frame yet (a camera just opened on a busy machine)
  // says so in a box, which is answered before the press is repeated.
  // Presses come at least the double-click time apart.
  bool CaptureIntoStrip(const RECT& window) {
    const RECT strip{StripItem(window, 0).left, StripItem(window, 0).top, StripItem(window, 3).right,
                     StripItem(window, 3).bottom};
    const vqtest::Screenshot before = Settled(strip);
    const auto deadline = std::chrono::steady_clock::now() + vqtest::kPatience;
    while (std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(600ms);
      server.Click(ControlCentre(window, 6000));
      RECT box{};
      auto changed = [&] { return server.Grab(strip).CountDifferences(before.pixels, before.width, before.height) > 50; };
      if (!vqtest::WaitFor([&] { return changed() || OtherWindow(&box); })) break;
      if (!OtherWindow(&box)) return true;
      server.Click(POINT{(box.left + box.right) / 2, box.bottom - 33});
      vqtest::WaitFor([&] { return !OtherWindow(); });
    }
    return false;
  }
  // Captures and receives pages until the last page's size passes `wanted`,
  // for settings whose effect on the pictures a capture may not yet show.
  // When two tries landed, the earlier page may still be from before the
  // change: only the last one counts.
  cv::Size CaptureUntil(const RECT& window, const std::function<bool(cv::Size)>& wanted) {
    cv::Size size;
    const auto deadline = std::chrono::steady_clock::now() + vqtest::kPatience;
    do {
      CaptureAndUpload(window);
      size = ReceiveAll().back();
    } while (!wanted(size) && std::chrono::steady_clock::now() < deadline);
    return size;
  }
  // Receives every pending page natively: the size they all have.
  cv::Size UploadedSize() {
    const std::vector<cv::Size> sizes = ReceiveAll();
    for (const cv::Size& size : sizes) EXPECT_EQ(size, sizes.back());
    return sizes.back();
  }
  // Ends the transfer of this page, and receives any others pending (see
  // CaptureAndUpload).
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

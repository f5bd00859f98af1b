// The real libStrenvik.so loaded by the test manager as the Linux manager
// loads it, enabled by a host that never runs a message loop of its own, on
// the virtual cameras under Xvfb: the camera window with live video, pages
// captured and uploaded with the window's buttons and received by native,
// memory and file transfer, the colour radios as ICAP_PIXELTYPE, and an
// enable without a window that captures by itself.
#include <dirent.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <filesystem>
#include <functional>
#include <optional>
#include <fstream>
#include <thread>
#include <tuple>
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
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>

#include "tests/e2e/XServer.h"

namespace {

using namespace std::chrono_literals;
using twaintest::TestHost;
using twaintest::ThreadCount;
using twaintest::TestManager;

std::string ThreadNames() {
  std::string names;
  if (DIR* dir = opendir("/proc/self/task")) {
    while (dirent* entry = readdir(dir)) {
      if (entry->d_name[0] == '.') continue;
      std::ifstream comm(std::string("/proc/self/task/") + entry->d_name + "/comm");
      std::string name;
      std::getline(comm, name);
      names += name + " ";
    }
    closedir(dir);
  }
  return names;
}

// A shown top-level X window whose UTF-8 name and screen rectangle pass
// `wanted`, with that rectangle and name.
bool FindXWindowWhere(const std::function<bool(const char*, const RECT&)>& wanted, RECT* screen,
                      std::string* title = nullptr);

// The top-level X window whose UTF-8 name is `title`, with its screen rectangle.
bool FindXWindow(const char* title, RECT* screen) {
  return FindXWindowWhere([title](const char* name, const RECT&) { return std::strcmp(name, title) == 0; }, screen);
}

bool FindXWindowWhere(const std::function<bool(const char*, const RECT&)>& wanted, RECT* screen,
                      std::string* title) {
  Display* display = XOpenDisplay(nullptr);
  if (!display) return false;
  const Atom utf8Name = XInternAtom(display, "_NET_WM_NAME", False);
  const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
  Window root = DefaultRootWindow(display), parent = 0, *children = nullptr;
  unsigned count = 0;
  bool found = false;
  std::optional<vqtest::XErrorsIgnored> ignored(display);
  if (XQueryTree(display, root, &root, &parent, &children, &count)) {
    for (unsigned i = 0; i < count && !found; ++i) {
      Atom type = 0;
      int format = 0;
      unsigned long items = 0, after = 0;
      unsigned char* name = nullptr;
      if (XGetWindowProperty(display, children[i], utf8Name, 0, 256, False, utf8, &type, &format, &items, &after,
                             &name) == Success &&
          name) {
        XWindowAttributes attributes{};
        if (XGetWindowAttributes(display, children[i], &attributes) && attributes.map_state == IsViewable) {
          int x = 0, y = 0;
          Window child = 0;
          XTranslateCoordinates(display, children[i], root, 0, 0, &x, &y, &child);
          const RECT where{x, y, x + attributes.width, y + attributes.height};
          if (wanted(reinterpret_cast<char*>(name), where)) {
            if (title) *title = reinterpret_cast<char*>(name);
            *screen = where;
            found = true;
          }
        }
        XFree(name);
      }
    }
    if (children) XFree(children);
  }
  ignored.reset();
  XCloseDisplay(display);
  return found;
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
  // Presses 拍摄 then 上传 and waits for the host to be told a page is ready. The
  // window enables its buttons again only once it has handled the end of the
  // last transfer, so a press may come too early and is repeated.
  void CaptureAndUpload(const RECT& window) {
    const int before = xferReady;
    for (int attempt = 0; attempt < 3 && xferReady == before; ++attempt) {
      std::this_thread::sleep_for(300ms);
      server.Click(ControlCentre(window, 6000));
      std::this_thread::sleep_for(300ms);
      server.Click(ControlCentre(window, 6012));
      vqtest::WaitFor([&] { return xferReady > before; }, 5000ms);
    }
    ASSERT_GT(xferReady, before) << "no MSG_XFERREADY";
  }
  void EndTransfer() {
    TW_PENDINGXFERS pending{};
    ASSERT_EQ(Send(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending), TWRC_SUCCESS);
    EXPECT_EQ(pending.Count, 0);
  }
  TW_IMAGEINFO Info() {
    TW_IMAGEINFO info{};
    EXPECT_EQ(Send(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &info), TWRC_SUCCESS);
    return info;
  }
  // A native transfer's page size, the last of the pending ones.
  cv::Size NativeSize() {
    const cv::Size size = ReceiveNative();
    EndTransfer();
    return size;
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

TEST_F(StrenvikXvfb, CameraWindowCapturesAndTheHostReceivesByEveryTransfer) {
  ASSERT_EQ(manager.OpenDS(host), TWRC_SUCCESS);
  TW_USERINTERFACE ui{1, 0, nullptr};
  ASSERT_EQ(Send(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui), TWRC_SUCCESS);
  RECT window{};
  ASSERT_TRUE(vqtest::WaitFor([&] { return FindXWindow("Tirrowan Twain", &window); }, 20000ms));

  // Live video: the preview area shows the desk and changes from frame to frame.
  const POINT a = ControlCentre(window, 6002);
  const RECT preview{a.x - 150, a.y - 150, a.x + 150, a.y + 150};
  vqtest::Screenshot first, second;
  ASSERT_TRUE(vqtest::WaitFor(
      [&] {
        first = server.Grab(preview);
        std::this_thread::sleep_for(200ms);
        second = server.Grab(preview);
        return second.CountDifferences(first.pixels, first.width, first.height) > 1000;
      },
      20000ms));
  server.Grab(window).SavePng(vqtest::ScreenshotPath("strenvik-camera-window.png"));

  // Native transfer of a colour page.
  CaptureAndUpload(window);
  TW_IMAGEINFO info = Info();
  EXPECT_EQ(info.ImageWidth, 1280);
  EXPECT_EQ(info.ImageLength, 960);
  EXPECT_EQ(info.BitsPerPixel, 24);
  EXPECT_EQ(NativeSize(), cv::Size(1280, 960));

  // A quarter turn, then the automatic crop: the sheet alone, turned with the picture.
  server.Click(ControlCentre(window, 6015));
  std::this_thread::sleep_for(500ms);
  CaptureAndUpload(window);
  EXPECT_EQ(NativeSize(), cv::Size(960, 1280));
  server.Click(ControlCentre(window, 6017));
  std::this_thread::sleep_for(1000ms);
  CaptureAndUpload(window);
  const cv::Size sheet = NativeSize();
  EXPECT_LT(sheet.width, 900);
  EXPECT_LT(sheet.height, 1200);
  EXPECT_GT(sheet.width, sheet.height) << "the upright sheet lies on its side";
  server.Click(ControlCentre(window, 6016));
  server.Click(ControlCentre(window, 6013));

  // The lens button: the portrait camera alone, then inside the document camera's picture.
  server.Click(ControlCentre(window, 6034));
  std::this_thread::sleep_for(500ms);
  server.Click(ControlCentre(window, 6034));
  std::this_thread::sleep_for(1500ms);
  server.Grab(window).SavePng(vqtest::ScreenshotPath("strenvik-picture-in-picture.png"));
  CaptureAndUpload(window);
  const cv::Size stacked = NativeSize();
  EXPECT_EQ(stacked.width, 1280);
  EXPECT_GT(stacked.height, 960) << "the portrait frame above the page";
  server.Click(ControlCentre(window, 6034));
  std::this_thread::sleep_for(300ms);

  // The grey radio sets the host-visible pixel type; a memory transfer of a grey page.
  server.Click(ControlCentre(window, 6004));
  ASSERT_TRUE(vqtest::WaitFor([&] { return CurrentUInt16(ICAP_PIXELTYPE) == TWPT_GRAY; }, 5000ms));
  CaptureAndUpload(window);
  info = Info();
  EXPECT_EQ(info.BitsPerPixel, 8);
  TW_SETUPMEMXFER sizes{};
  ASSERT_EQ(Send(DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, &sizes), TWRC_SUCCESS);
  std::vector<uint8_t> buffer(static_cast<size_t>(sizes.Preferred) * 2);
  TW_UINT32 rows = 0;
  TW_UINT16 rc = TWRC_SUCCESS;
  while (rc == TWRC_SUCCESS) {
    TW_IMAGEMEMXFER xfer{};
    xfer.Memory.Flags = TWMF_POINTER | TWMF_APPOWNS;
    xfer.Memory.Length = static_cast<TW_UINT32>(buffer.size());
    xfer.Memory.TheMem = buffer.data();
    rc = Send(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &xfer);
    rows += xfer.Rows;
  }
  EXPECT_EQ(rc, TWRC_XFERDONE);
  EXPECT_EQ(rows, 960u);
  EndTransfer();

  // File transfers: black and white as Group 4 TIFF, colour as BMP and JFIF.
  server.Click(ControlCentre(window, 6005));
  ASSERT_TRUE(vqtest::WaitFor([&] { return CurrentUInt16(ICAP_PIXELTYPE) == TWPT_BW; }, 5000ms));
  CaptureAndUpload(window);
  cv::Mat tiff = FileTransfer(TWFF_TIFF, "page.tif");
  EXPECT_EQ(tiff.cols, 1280);
  EXPECT_EQ(tiff.rows, 960);
  EndTransfer();
  server.Click(ControlCentre(window, 6003));
  ASSERT_TRUE(vqtest::WaitFor([&] { return CurrentUInt16(ICAP_PIXELTYPE) == TWPT_RGB; }, 5000ms));
  for (const auto& [format, name] : {std::pair{TWFF_BMP, "page.bmp"}, std::pair{TWFF_JFIF, "page.jpg"}}) {
    CaptureAndUpload(window);
    cv::Mat page = FileTransfer(format, name);
    EXPECT_EQ(page.size(), cv::Size(1280, 960)) << name;
    EXPECT_EQ(page.channels(), 3) << name;
    EndTransfer();
  }

  // Disable and close: the window goes, every thread of the source ends and the library unloads.
  ASSERT_EQ(Send(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui), TWRC_SUCCESS);
  ASSERT_TRUE(vqtest::WaitFor([&] { return !FindXWindow("Tirrowan Twain", &window); }, 5000ms));
  ASSERT_EQ(manager.CloseDS(host), TWRC_SUCCESS);
  EXPECT_EQ(manager.IsLibraryLoaded(), twaintest::kLibraryStaysMapped);
  EXPECT_TRUE(vqtest::WaitFor([&] { return ThreadCount() <= threads; }, 5000ms)) << ThreadNames();
}

// Multi-shot: ten captures page through the strip; a deleted page, a merged
// page and a moved page change what the host receives, in the strip's
// order; a click on a page opens its zoomable preview.
TEST_F(StrenvikXvfb, PageStripDecidesWhatTheHostReceives) {
  ASSERT_EQ(manager.OpenDS(host), TWRC_SUCCESS);
  TW_USERINTERFACE ui{1, 0, nullptr};
  ASSERT_EQ(Send(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui), TWRC_SUCCESS);
  RECT window{};
  ASSERT_TRUE(vqtest::WaitFor([&] { return FindXWindow("Tirrowan Twain", &window); }, 20000ms));
  std::this_thread::sleep_for(1500ms);
  // Multi-shot is on by default: the strip column with four items at the right.
  const RECT templateClient = ControlPixels(vqres::CameraWindowTemplate(), 6031);
  const int buttonHeight = templateClient.bottom - templateClient.top;
  const int itemHeight = (window.bottom - window.top - buttonHeight - 15) / 4;
  auto item = [&](int j) {
    return RECT{window.right - 133, window.top + buttonHeight + 10 + j * itemHeight, window.right - 5,
                window.top + buttonHeight + 10 + j * itemHeight + itemHeight - 5};
  };
  auto itemCentre = [&](int j) {
    const RECT r = item(j);
    return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  };
  const POINT previous{window.right - 133 + 33, window.top + 5 + buttonHeight / 2};
  const POINT next{window.right - 5 - 30, window.top + 5 + buttonHeight / 2};
  const vqtest::Screenshot emptySlot = server.Grab(item(3));

  for (int i = 0; i < 10; ++i) {
    server.Click(ControlCentre(window, 6000));
    std::this_thread::sleep_for(400ms);
  }
  ASSERT_TRUE(vqtest::WaitFor(
      [&] { return server.Grab(item(3)).CountDifferences(emptySlot.pixels, emptySlot.width, emptySlot.height) > 2000; },
      5000ms))
      << "the fourth item shows a page";
  server.Grab(window).SavePng(vqtest::ScreenshotPath("strenvik-strip-ten-pages.png"));
  EXPECT_EQ(xferReady, 0) << "multi-shot collects";

  // 上张 shows one page earlier: the fourth item then shows page 9, not 10.
  const vqtest::Screenshot lastPage = server.Grab(item(3));
  server.Click(previous);
  EXPECT_TRUE(vqtest::WaitFor(
      [&] {
        const vqtest::Screenshot now = server.Grab(item(2));
        return now.CountDifferences(lastPage.pixels, lastPage.width, lastPage.height) > 0 &&
               server.Grab(item(3)).CountDifferences(lastPage.pixels, lastPage.width, lastPage.height) > 0;
      },
      3000ms));
  server.Click(next);
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(server.Grab(item(3)).CountDifferences(lastPage.pixels, lastPage.width, lastPage.height), 0u)
      << "下张 shows the last page again";

  // Delete page 9 through the context menu: nine pages.
  server.RightClick(itemCentre(2));
  std::this_thread::sleep_for(500ms);
  server.PressKey(XK_Down);
  server.PressKey(XK_Return);
  std::this_thread::sleep_for(500ms);

  // Merge two captures side by side: the merged page is the tenth.
  server.Click(ControlCentre(window, 6024));
  server.Click(ControlCentre(window, 6000));
  std::this_thread::sleep_for(400ms);
  server.Click(ControlCentre(window, 6000));
  RECT merge{};
  ASSERT_TRUE(vqtest::WaitFor([&] { return FindXWindow("图像合并", &merge); }, 5000ms));
  std::this_thread::sleep_for(500ms);
  server.Click(ControlCentre(vqres::MergePagesTemplate(), merge, 6025));
  std::this_thread::sleep_for(700ms);  // so that the next press is no double click
  ASSERT_TRUE(FindXWindow("图像合并", &merge));
  EXPECT_GT(merge.right - merge.left, merge.bottom - merge.top) << "side by side";
  server.Grab(merge).SavePng(vqtest::ScreenshotPath("strenvik-merge-dialog.png"));
  server.Click(ControlCentre(vqres::MergePagesTemplate(), merge, IDOK));
  ASSERT_TRUE(vqtest::WaitFor([&] { return !FindXWindow("图像合并", &merge); }, 5000ms));
  std::this_thread::sleep_for(500ms);

  // The merged page (the last) moves to the first position.
  server.RightClick(itemCentre(3));
  std::this_thread::sleep_for(500ms);
  server.PressKey(XK_Down);
  server.PressKey(XK_Down);
  server.PressKey(XK_Return);
  std::this_thread::sleep_for(500ms);

  // Back to the first page and open it: the zoomable preview.
  for (int i = 0; i < 8; ++i) {
    server.Click(previous);
    std::this_thread::sleep_for(150ms);
  }
  std::this_thread::sleep_for(700ms);
  server.Click(itemCentre(0));
  RECT preview{};
  ASSERT_TRUE(vqtest::WaitFor([&] { return FindXWindow("图像预览", &preview); }, 5000ms));
  // Presses 600 ms apart, so that none is taken for a double click.
  std::this_thread::sleep_for(700ms);
  const POINT viewCentre{(preview.left + preview.right) / 2, (preview.top + preview.bottom - 50) / 2};
  const RECT viewArea{preview.left + 10, preview.top + 10, preview.right - 10, preview.bottom - 60};
  const vqtest::Screenshot fitted = server.Grab(viewArea);
  server.Click(viewCentre);  // the view takes the focus, and with it the wheel
  std::this_thread::sleep_for(700ms);
  server.Wheel(viewCentre, 2);
  vqtest::Screenshot zoomed;
  EXPECT_TRUE(vqtest::WaitFor(
      [&] {
        zoomed = server.Grab(viewArea);
        return zoomed.CountDifferences(fitted.pixels, fitted.width, fitted.height) > 10000;
      },
      3000ms))
      << "the wheel zooms";
  std::this_thread::sleep_for(300ms);
  zoomed = server.Grab(viewArea);
  server.Drag(viewCentre, POINT{viewCentre.x + 150, viewCentre.y + 60});
  EXPECT_TRUE(vqtest::WaitFor(
      [&] { return server.Grab(viewArea).CountDifferences(zoomed.pixels, zoomed.width, zoomed.height) > 10000; },
      3000ms))
      << "dragging pans";
  server.Grab(preview).SavePng(vqtest::ScreenshotPath("strenvik-zoomed-preview.png"));
  server.Click(ControlCentre(vqres::PagePreviewTemplate(), preview, IDCANCEL));
  ASSERT_TRUE(vqtest::WaitFor([&] { return !FindXWindow("图像预览", &preview); }, 5000ms));

  // Upload: ten pages, the merged one first.
  server.Click(ControlCentre(window, 6012));
  ASSERT_TRUE(vqtest::WaitFor([&] { return xferReady == 1; }, 5000ms));
  std::vector<cv::Size> received;
  for (int i = 0; i < 12; ++i) {
    received.push_back(ReceiveNative());
    TW_PENDINGXFERS pending{};
    ASSERT_EQ(Send(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending), TWRC_SUCCESS);
    if (pending.Count == 0) break;
  }
  ASSERT_EQ(received.size(), 10u) << "ten captures, one deleted, one merged from two";
  EXPECT_EQ(received[0], cv::Size(2560, 960)) << "the merged page, moved first";
  for (size_t i = 1; i < received.size(); ++i) EXPECT_EQ(received[i], cv::Size(1280, 960)) << i;

  ASSERT_EQ(Send(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui), TWRC_SUCCESS);
  ASSERT_EQ(manager.CloseDS(host), TWRC_SUCCESS);
}

TEST_F(StrenvikXvfb, WithoutAWindowTheSourceCapturesByItself) {
  ASSERT_EQ(manager.OpenDS(host), TWRC_SUCCESS);
  TW_USERINTERFACE ui{0, 0, nullptr};
  ASSERT_EQ(Send(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui), TWRC_SUCCESS);
  EXPECT_EQ(xferReady, 1) << "the enable itself announces the page";
  RECT window{};
  EXPECT_FALSE(FindXWindow("Tirrowan Twain", &window)) << "no window shown";
  TW_HANDLE dib = nullptr;
  ASSERT_EQ(Send(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &dib), TWRC_XFERDONE);
  TestManager::EntryPoints().DSM_MemFree(dib);
  EndTransfer();
  ASSERT_EQ(Send(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui), TWRC_SUCCESS);
  ASSERT_EQ(manager.CloseDS(host), TWRC_SUCCESS);
  EXPECT_TRUE(vqtest::WaitFor([&] { return ThreadCount() <= threads; }, 5000ms)) << ThreadNames();
}

TEST_F(StrenvikXvfb, ScanParametersReopenTheCameraAndContinuousShootingScansEachSheetOnce) {
  // The document camera plays the scripted desk: a hand passes, then two sheets
  // are laid down, from the moment the camera opens.
  setenv("VQ_VIRTUAL_CAMERA",
         "vid=2E1A,pid=0101,sizes=640x480+1280x960,script=demo;vid=2E1A,pid=0110,sizes=640x480+1280x960", 1);
  ASSERT_EQ(manager.OpenDS(host), TWRC_SUCCESS);
  TW_USERINTERFACE ui{1, 0, nullptr};
  ASSERT_EQ(Send(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui), TWRC_SUCCESS);
  const auto scriptStart = std::chrono::steady_clock::now();
  RECT window{};
  ASSERT_TRUE(vqtest::WaitFor([&] { return FindXWindow("Tirrowan Twain", &window); }, 20000ms));

  // Continuous shooting once the hand has passed (over the empty desk the
  // detector may take the hand for a sheet): each sheet is scanned once at rest.
  std::this_thread::sleep_until(scriptStart + 4500ms);
  server.Click(ControlCentre(window, 6028));
  std::this_thread::sleep_until(scriptStart + 17s);
  server.Grab(window).SavePng(vqtest::ScreenshotPath("strenvik-continuous-shooting.png"));
  server.Click(ControlCentre(window, 6033));
  std::this_thread::sleep_for(500ms);
  const int before = xferReady;
  server.Click(ControlCentre(window, 6012));
  ASSERT_TRUE(vqtest::WaitFor([&] { return xferReady > before; }, 5000ms)) << "the upload after shooting";
  const std::vector<cv::Size> shots = ReceiveAll();
  EXPECT_EQ(shots.size(), 2u) << "one page per sheet";
  for (const cv::Size& size : shots) EXPECT_EQ(size, cv::Size(1280, 960));

  // The scan parameters: 640 x 480 instead of 1280 x 960 reopens the camera at that size.
  std::this_thread::sleep_for(500ms);
  server.Click(ControlCentre(window, 6021));
  RECT dialog{};
  ASSERT_TRUE(vqtest::WaitFor([&] { return FindXWindow("扫描参数", &dialog); }, 5000ms));
  std::this_thread::sleep_for(500ms);
  server.Grab(dialog).SavePng(vqtest::ScreenshotPath("strenvik-scan-parameters.png"));
  server.Click(ControlCentre(vqres::ScanParameterTemplate(), dialog, 6035));
  std::this_thread::sleep_for(300ms);
  server.PressKey(XK_Up);
  server.PressKey(XK_Return);
  std::this_thread::sleep_for(300ms);
  server.Click(ControlCentre(vqres::ScanParameterTemplate(), dialog, IDOK));
  ASSERT_TRUE(vqtest::WaitFor([&] { return !FindXWindow("扫描参数", &dialog); }, 5000ms));
  std::this_thread::sleep_for(1500ms);
  CaptureAndUpload(window);
  EXPECT_EQ(ReceiveAll(), std::vector<cv::Size>{cv::Size(640, 480)});

  // Closing saves the new size.
  ASSERT_EQ(Send(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui), TWRC_SUCCESS);
  ASSERT_EQ(manager.CloseDS(host), TWRC_SUCCESS);
  std::ifstream file(vq::WideToUtf8(vq::MachineDataFolder()) + "/TwainPara0101.ini");
  const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("ResolutionWidth=640"), std::string::npos);
  EXPECT_TRUE(vqtest::WaitFor([&] { return ThreadCount() <= threads; }, 5000ms)) << ThreadNames();
}

// Cameras leave the machine's list (VQ_VIRTUAL_CAMERA) and count as
// unplugged the next time the source looks for cameras: the lens button's
// way to picture in picture looks.
class StrenvikUnplugXvfb : public StrenvikXvfb {
 protected:
  void Enable() {
    ASSERT_EQ(manager.OpenDS(host), TWRC_SUCCESS);
    ASSERT_EQ(Send(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui), TWRC_SUCCESS);
    ASSERT_TRUE(vqtest::WaitFor([&] { return FindXWindow("Tirrowan Twain", &window); }, 20000ms));
  }
  void PressLens(int times) {
    for (int press = 0; press < times; ++press) {
      server.Click(ControlCentre(window, 6034));
      std::this_thread::sleep_for(600ms);
    }
  }
  // The titles of the message boxes shown within five seconds, each saved
  // as a screenshot and answered with its button.
  std::vector<std::string> AnswerMessageBoxes(const std::string& screenshot) {
    std::vector<std::string> titles;
    RECT box{};
    std::string title;
    // Wider than a tooltip, beside the camera window.
    auto shown = [&] {
      return FindXWindowWhere(
          [](const char* name, const RECT& r) {
            return std::strcmp(name, "Tirrowan Twain") != 0 && r.right - r.left > 200;
          },
          &box, &title);
    };
    while (titles.size() < 3 && vqtest::WaitFor(shown, titles.empty() ? 5000ms : 1500ms)) {
      std::this_thread::sleep_for(400ms);
      server.Grab(box).SavePng(vqtest::ScreenshotPath(screenshot + "-" + std::to_string(titles.size()) + ".png"));
      titles.push_back(title);
      // Its one button, centred at the bottom.
      server.Click(POINT{(box.left + box.right) / 2, box.bottom - 33});
      std::this_thread::sleep_for(400ms);
    }
    return titles;
  }
  void Close() {
    ASSERT_EQ(Send(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui), TWRC_SUCCESS);
    ASSERT_EQ(manager.CloseDS(host), TWRC_SUCCESS);
  }
  TW_USERINTERFACE ui{1, 0, nullptr};
  RECT window{};
};

TEST_F(StrenvikUnplugXvfb, UnpluggedDocumentCameraIsReported) {
  Enable();
  setenv("VQ_VIRTUAL_CAMERA", "vid=2E1A,pid=0110,sizes=640x480+1280x960", 1);
  PressLens(2);
  const std::vector<std::string> titles = AnswerMessageBoxes("strenvik-main-camera-lost");
  ASSERT_EQ(titles.size(), 1u) << "the camera-lost message, once";
  EXPECT_NE(titles[0], "") << "the message box's own caption";
  Close();
}

TEST_F(StrenvikUnplugXvfb, PictureInPictureFallsBackWithoutThePortraitCamera) {
  Enable();
  PressLens(1);  // the portrait camera alone
  setenv("VQ_VIRTUAL_CAMERA", "vid=2E1A,pid=0101,sizes=640x480+1280x960", 1);
  PressLens(1);  // picture in picture fails at every size
  const std::vector<std::string> titles = AnswerMessageBoxes("strenvik-picture-in-picture-failed");
  // The fallback's box has no caption; the portrait camera's loss shows on top of it.
  EXPECT_NE(std::find(titles.begin(), titles.end(), ""), titles.end()) << titles.size();
  EXPECT_LE(titles.size(), 2u) << "every box was answered";
  Close();
}

// The source's settings file in a per-machine folder with a Chinese name,
// and pages transferred to files with Chinese names, read back.
class StrenvikChineseNamesXvfb : public StrenvikXvfb {
 protected:
  void SetUp() override {
    setenv("VQ_COMMON_APPDATA", vqtest::TempPath("公共 数据").c_str(), 1);
    StrenvikXvfb::SetUp();
  }
};

TEST_F(StrenvikChineseNamesXvfb, PagesTransferToChineseFileNamesBesideTheSettingsFile) {
  const std::filesystem::path settings = vqtest::TempPath("公共 数据/Ombrecht Software/TwainPara0101.ini");
  ASSERT_TRUE(std::filesystem::exists(settings));
  std::filesystem::create_directories(vqtest::TempPath("扫描 结果"));
  ASSERT_EQ(manager.OpenDS(host), TWRC_SUCCESS);
  TW_USERINTERFACE ui{0, 0, nullptr};
  for (const auto& [pixelType, format, name] : {std::tuple{TWPT_BW, TWFF_TIFF, "扫描 结果/第一页.tif"},
                                                 std::tuple{TWPT_RGB, TWFF_BMP, "扫描 结果/第二页.bmp"},
                                                 std::tuple{TWPT_RGB, TWFF_JFIF, "扫描 结果/第三页.jpg"}}) {
    ASSERT_EQ(SetUInt16(ICAP_PIXELTYPE, pixelType), TWRC_SUCCESS);
    ASSERT_EQ(Send(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui), TWRC_SUCCESS);
    EXPECT_EQ(FileTransfer(format, name).size(), cv::Size(1280, 960)) << name;
    EndTransfer();
    ASSERT_EQ(Send(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui), TWRC_SUCCESS);
  }
  ASSERT_EQ(manager.CloseDS(host), TWRC_SUCCESS);
  EXPECT_NE(vqtest::ReadFile(settings).find("ResolutionWidth=1280"), std::string::npos);
}

}  // namespace

// The real libStrenvik.so loaded by the test manager as the Linux manager
// loads it, enabled by a host that never runs a message loop of its own, on
// the virtual cameras under Xvfb: the camera window with live video, pages
// captured and uploaded with the window's buttons and received by native,
// memory and file transfer, the colour radios as ICAP_PIXELTYPE, and an
// enable without a window that captures by itself.
#include <X11/keysym.h>

#include <algorithm>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <tuple>

#include "platform/win/Encoding.h"
#include "platform/win/MessageBox.h"
#include "tests/e2e/StrenvikXvfbFixture.h"

namespace {

using namespace strenviktest;

TEST_F(StrenvikXvfb, CameraWindowCapturesAndTheHostReceivesByEveryTransfer) {
  RECT window{};
  EnableWithWindow(&window);

  // Live video: the preview draws frame after frame.
  ASSERT_TRUE(PreviewLive(window));
  server.Grab(window).SavePng(vqtest::ScreenshotPath("strenvik-camera-window.png"));

  // Native transfer of a colour page.
  CaptureAndUpload(window);
  TW_IMAGEINFO info = Info();
  EXPECT_EQ(info.ImageWidth, 1280);
  EXPECT_EQ(info.ImageLength, 960);
  EXPECT_EQ(info.BitsPerPixel, 24);
  EXPECT_EQ(UploadedSize(), cv::Size(1280, 960));

  // A quarter turn, then the automatic crop: the sheet alone, turned with the
  // picture. (Each takes effect with the frames that follow it.)
  server.Click(ControlCentre(window, 6015));
  EXPECT_EQ(CaptureUntil(window, [](cv::Size s) { return s == cv::Size(960, 1280); }), cv::Size(960, 1280));
  server.Click(ControlCentre(window, 6017));
  const cv::Size sheet = CaptureUntil(window, [](cv::Size s) { return s.width < 900 && s.height < 1200; });
  EXPECT_LT(sheet.width, 900);
  EXPECT_LT(sheet.height, 1200);
  EXPECT_GT(sheet.width, sheet.height) << "the upright sheet lies on its side";
  server.Click(ControlCentre(window, 6016));
  server.Click(ControlCentre(window, 6013));

  // The lens button: the portrait camera alone (which has no automatic
  // crop), then inside the document camera's picture.
  server.Click(ControlCentre(window, 6034));
  ASSERT_TRUE(vqtest::WaitFor([&] { return Control(6017) && !Control(6017)->enabled; }));
  server.Click(ControlCentre(window, 6034));
  const cv::Size stacked = CaptureUntil(window, [](cv::Size s) { return s.width == 1280 && s.height > 960; });
  EXPECT_EQ(stacked.width, 1280);
  EXPECT_GT(stacked.height, 960) << "the portrait frame above the page";
  server.Grab(window).SavePng(vqtest::ScreenshotPath("strenvik-picture-in-picture.png"));
  server.Click(ControlCentre(window, 6034));
  EXPECT_EQ(CaptureUntil(window, [](cv::Size s) { return s == cv::Size(1280, 960); }), cv::Size(1280, 960))
      << "the document camera alone again";

  // The grey radio sets the host-visible pixel type; a memory transfer of a grey page.
  server.Click(ControlCentre(window, 6004));
  ASSERT_TRUE(vqtest::WaitFor([&] { return CurrentUInt16(ICAP_PIXELTYPE) == TWPT_GRAY; }));
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
  ASSERT_TRUE(vqtest::WaitFor([&] { return CurrentUInt16(ICAP_PIXELTYPE) == TWPT_BW; }));
  CaptureAndUpload(window);
  cv::Mat tiff = FileTransfer(TWFF_TIFF, "page.tif");
  EXPECT_EQ(tiff.cols, 1280);
  EXPECT_EQ(tiff.rows, 960);
  EndTransfer();
  server.Click(ControlCentre(window, 6003));
  ASSERT_TRUE(vqtest::WaitFor([&] { return CurrentUInt16(ICAP_PIXELTYPE) == TWPT_RGB; }));
  for (const auto& [format, name] : {std::pair{TWFF_BMP, "page.bmp"}, std::pair{TWFF_JFIF, "page.jpg"}}) {
    CaptureAndUpload(window);
    cv::Mat page = FileTransfer(format, name);
    EXPECT_EQ(page.size(), cv::Size(1280, 960)) << name;
    EXPECT_EQ(page.channels(), 3) << name;
    EndTransfer();
  }

  // Disable and close: the window goes, every thread of the source ends and the library unloads.
  DisableAndClose();
  EXPECT_FALSE(FindXWindow("Tirrowan Twain", &window));
  EXPECT_FALSE(manager.IsLibraryLoaded());
  EXPECT_TRUE(vqtest::WaitFor([&] { return ThreadCount() <= threads; })) << ThreadNames();
}

// Multi-shot (on by default): the strip column with four items at the
// right, which a click on a page opens in its zoomable preview, and the
// pages the host receives in the strip's order.
class StrenvikStripXvfb : public StrenvikXvfb {
 protected:
  void SetUp() override {
    StrenvikXvfb::SetUp();
    EnableWithWindow(&window);
    ASSERT_TRUE(PreviewLive(window));
  }
  bool Shows(int j, const vqtest::Screenshot& look) {
    return server.Grab(StripItem(window, j)).CountDifferences(look) == 0;
  }
  POINT Paging(bool next) {
    const RECT button = vqtest::ControlPixels(vqres::CameraWindowTemplate(), 6031);
    return POINT{next ? window.right - 5 - 30 : window.right - 133 + 33,
                 window.top + 5 + (button.bottom - button.top) / 2};
  }
  // Chooses the menu item `downs` lines down of a page's context menu.
  void ChooseOnPage(int j, int downs) {
    server.RightClick(StripItemCentre(window, j));
    ASSERT_TRUE(vqtest::WaitFor([&] { return OtherWindow().has_value(); })) << "the menu";
    for (int i = 0; i < downs; ++i) server.PressKey(XK_Down);
    server.PressKey(XK_Return);
    ASSERT_TRUE(vqtest::WaitFor([&] { return !OtherWindow(); })) << "the menu goes";
  }
  // Uploads the strip's pages: their sizes as the host receives them.
  std::vector<cv::Size> UploadStrip() {
    EXPECT_EQ(xferReady, 0) << "multi-shot collects";
    if (!Upload(window)) {
      ADD_FAILURE() << "no MSG_XFERREADY";
      return {};
    }
    EXPECT_EQ(xferReady, 1);
    std::vector<cv::Size> received;
    TW_PENDINGXFERS pending{};
    do {
      received.push_back(ReceiveNative());
      pending = {};
      EXPECT_EQ(Send(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending), TWRC_SUCCESS);
    } while (pending.Count != 0 && received.size() < 12);
    return received;
  }
  RECT window{};
};

TEST_F(StrenvikStripXvfb, TenCapturesPageThroughTheStripAndUploadInOrder) {
  const vqtest::Screenshot emptySlot = server.Grab(StripItem(window, 3));
  for (int i = 0; i < 10; ++i) ASSERT_TRUE(CaptureIntoStrip(window)) << "capture " << i;
  ASSERT_TRUE(InputHandled(window));
  const vqtest::Screenshot lastPage = server.Grab(StripItem(window, 3));
  EXPECT_GT(lastPage.CountDifferences(emptySlot), 2000u) << "the fourth item shows a page";
  server.Grab(window).SavePng(vqtest::ScreenshotPath("strenvik-strip-ten-pages.png"));

  // 上张 shows one page earlier: the fourth item then shows page 9, not 10;
  // 下张 the last page again.
  server.Click(Paging(false));
  ASSERT_TRUE(InputHandled(window));
  EXPECT_FALSE(Shows(3, lastPage));
  EXPECT_FALSE(Shows(2, lastPage));
  server.Click(Paging(true));
  ASSERT_TRUE(InputHandled(window));
  EXPECT_TRUE(Shows(3, lastPage)) << "下张 shows the last page again";

  EXPECT_EQ(UploadStrip(), std::vector<cv::Size>(10, cv::Size(1280, 960)));
  DisableAndClose();
}

TEST_F(StrenvikStripXvfb, DeletedMergedAndMovedPagesChangeWhatTheHostReceives) {
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(CaptureIntoStrip(window)) << "capture " << i;
  ASSERT_TRUE(InputHandled(window));
  // The second page deleted through the context menu: the third moves up.
  const vqtest::Screenshot second = server.Grab(StripItem(window, 1));
  ChooseOnPage(1, 1);
  ASSERT_TRUE(vqtest::WaitFor([&] { return PageCount() == 2; })) << "deleted";
  ASSERT_TRUE(Redrawn());
  EXPECT_FALSE(Shows(1, second));
  const vqtest::Screenshot emptySlot = server.Grab(StripItem(window, 2));

  // Two captures merged side by side: the merged page is the third.
  const std::optional<RECT> opened = OpenMerge(window);
  ASSERT_TRUE(opened) << "the merge dialog";
  RECT merge = *opened;
  server.Click(ControlCentre(window, 6000));
  // Handled after the second capture, as the input comes.
  server.Click(vqtest::ControlCentre(vqres::MergePagesTemplate(), merge, 6025));
  EXPECT_TRUE(vqtest::WaitFor([&] {
    return FindXWindow("图像合并", &merge) && merge.right - merge.left > merge.bottom - merge.top;
  })) << "side by side";
  ASSERT_TRUE(Redrawn());
  server.Grab(merge).SavePng(vqtest::ScreenshotPath("strenvik-merge-dialog.png"));
  server.Click(vqtest::ControlCentre(vqres::MergePagesTemplate(), merge, IDOK));
  ASSERT_TRUE(vqtest::WaitFor([&] { return !FindXWindow("图像合并", &merge) && PageCount() == 3; }))
      << "the merged page joins the strip";
  ASSERT_TRUE(Redrawn());
  const vqtest::Screenshot merged = server.Grab(StripItem(window, 2));
  EXPECT_FALSE(Shows(2, emptySlot));

  // The merged page (the last) moves to the first position.
  ChooseOnPage(2, 2);
  ASSERT_TRUE(InputHandled(window));
  EXPECT_FALSE(Shows(2, merged));
  EXPECT_EQ(UploadStrip(), (std::vector<cv::Size>{{2560, 960}, {1280, 960}, {1280, 960}}))
      << "three captures, one deleted, one merged from two and moved first";
  DisableAndClose();
}

TEST_F(StrenvikStripXvfb, AClickOnAPageOpensItsZoomablePreview) {
  ASSERT_TRUE(CaptureIntoStrip(window));
  server.Click(StripItemCentre(window, 0));
  RECT preview{};
  ASSERT_TRUE(vqtest::WaitFor([&] { return FindXWindow("图像预览", &preview); }));
  const unsigned long shown = server.ShownTitled("图像预览")->window;
  ASSERT_TRUE(Drawn(shown));
  const POINT viewCentre{(preview.left + preview.right) / 2, (preview.top + preview.bottom - 50) / 2};
  const RECT viewArea{preview.left + 10, preview.top + 10, preview.right - 10, preview.bottom - 60};
  const vqtest::Screenshot fitted = server.Grab(viewArea);
  // The view takes the focus, and with it the wheel; the click lies apart
  // from the drag's press below, which is then no double click.
  server.Click(POINT{viewCentre.x - 40, viewCentre.y - 40});
  // A wheel that comes before the click was handled goes elsewhere: the one
  // condition it is turned again for, three times at the most. Each turn,
  // one notch (then no later notch draws under the drag), is looked at
  // once the view drew again.
  const auto drawnSo = [&](long since, const vqtest::Screenshot& from) {
    return vqtest::WaitFor(
        [&] { return Presents(shown) > since && server.Grab(viewArea).CountDifferences(from) > 10000; }, 10s);
  };
  bool zooms = false;
  for (int turn = 0; turn < 3 && !zooms; ++turn) {
    const long since = Presents(shown);
    server.Wheel(viewCentre, 1);
    zooms = drawnSo(since, fitted);
  }
  EXPECT_TRUE(zooms) << "the wheel zooms";
  const vqtest::Screenshot zoomed = server.Grab(viewArea);
  const long since = Presents(shown);
  server.Drag(viewCentre, POINT{viewCentre.x + 150, viewCentre.y + 60});
  EXPECT_TRUE(drawnSo(since, zoomed)) << "dragging pans";
  server.Grab(preview).SavePng(vqtest::ScreenshotPath("strenvik-zoomed-preview.png"));
  server.Click(vqtest::ControlCentre(vqres::PagePreviewTemplate(), preview, IDCANCEL));
  ASSERT_TRUE(vqtest::WaitFor([&] { return !FindXWindow("图像预览", &preview); }));
  DisableAndClose();
}

// The enable announces the page once it has come back to the host through
// the manager: a host that arms its wait then is told, from the source's
// own thread, and never during its call.
TEST_F(StrenvikXvfb, WithoutAWindowTheSourceCapturesByItself) {
  ASSERT_EQ(manager.OpenDS(host), TWRC_SUCCESS);
  std::mutex mutex;
  std::condition_variable told;
  bool inCall = false;
  int early = 0;
  std::thread::id notifier;
  host.onNotify = [&](TW_UINT16 message) {
    std::lock_guard lock(mutex);
    if (inCall) ++early;
    notifier = std::this_thread::get_id();
    if (message == MSG_XFERREADY) ++xferReady;
    told.notify_all();
  };
  TW_USERINTERFACE ui{0, 0, nullptr};
  {
    std::lock_guard lock(mutex);
    inCall = true;
  }
  ASSERT_EQ(Send(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui), TWRC_SUCCESS);
  {
    std::unique_lock lock(mutex);
    inCall = false;
    EXPECT_TRUE(told.wait_for(lock, vqtest::kPatience, [&] { return xferReady == 1; }));
    EXPECT_EQ(early, 0) << "announced during the host's call";
    EXPECT_NE(notifier, std::this_thread::get_id());
  }
  RECT window{};
  EXPECT_FALSE(FindXWindow("Tirrowan Twain", &window)) << "no window shown";
  TW_HANDLE dib = nullptr;
  ASSERT_EQ(Send(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &dib), TWRC_XFERDONE);
  TestManager::EntryPoints().DSM_MemFree(dib);
  EndTransfer();
  ASSERT_EQ(Send(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui), TWRC_SUCCESS);
  ASSERT_EQ(manager.CloseDS(host), TWRC_SUCCESS);
  EXPECT_TRUE(vqtest::WaitFor([&] { return ThreadCount() <= threads; })) << ThreadNames();
}

TEST_F(StrenvikXvfb, ScanParametersReopenTheCameraAndContinuousShootingScansSheets) {
  // The document camera plays the scripted desk: a hand passes, then two sheets
  // are laid down, from the moment the camera opens.
  setenv("VQ_VIRTUAL_CAMERA",
         "vid=2E1A,pid=0101,sizes=640x480+1280x960,script=demo;vid=2E1A,pid=0110,sizes=640x480+1280x960", 1);
  const auto scriptStart = std::chrono::steady_clock::now();
  RECT window{};
  EnableWithWindow(&window);

  // Continuous shooting once the hand has passed (over the empty desk the
  // detector may take the hand for a sheet), while the desk plays on in real
  // time. The library's clock is its own, so on a busy machine the detector
  // may see a sheet late or not at all: the source's own tests, on a manual
  // clock, pin one page per sheet; here each page is one of the sheets.
  // The second sheet then lies still for good: shooting goes on at least
  // until the strip shows a page.
  std::this_thread::sleep_until(scriptStart + 4500ms);
  server.Click(ControlCentre(window, 6028));
  ASSERT_TRUE(vqtest::WaitFor([&] { return PageCount() >= 1; })) << "a sheet shot";
  std::this_thread::sleep_until(scriptStart + 17s);
  server.Grab(window).SavePng(vqtest::ScreenshotPath("strenvik-continuous-shooting.png"));
  server.Click(ControlCentre(window, 6033));
  ASSERT_TRUE(Upload(window)) << "the upload after shooting";
  const std::vector<cv::Size> shots = ReceiveAll();
  EXPECT_GE(shots.size(), 1u);
  EXPECT_LE(shots.size(), 2u) << "no more than one page per sheet";
  for (const cv::Size& size : shots) EXPECT_EQ(size, cv::Size(1280, 960));

  // The scan parameters: 640 x 480 instead of 1280 x 960 reopens the camera at that size.
  server.Click(ControlCentre(window, 6021));
  RECT dialog{};
  ASSERT_TRUE(vqtest::WaitFor([&] { return FindXWindow("扫描参数", &dialog); }));
  // The keys go to the size list once it has opened over the dialog below
  // the box, and the dialog looks as before once it has closed.
  // (The template's height of the box includes its list: the box itself is
  // its top line.)
  const RECT sizes = vqtest::ControlPixels(vqres::ScanParameterTemplate(), 6035);
  const POINT box{dialog.left + (sizes.left + sizes.right) / 2, dialog.top + sizes.top + 10};
  // The list is a window of its own below the box.
  auto listShown = [&] {
    return server
        .FindShown([&](const vqtest::ShownX& shown) {
          return shown.title.empty() && shown.place.top >= box.y && shown.place.left <= box.x &&
                 shown.place.right >= box.x;
        })
        .has_value();
  };
  server.Click(box);
  ASSERT_TRUE(vqtest::WaitFor(listShown)) << "the list of sizes";
  server.Grab(dialog).SavePng(vqtest::ScreenshotPath("strenvik-scan-parameters.png"));
  server.PressKey(XK_Up);
  server.PressKey(XK_Return);
  ASSERT_TRUE(vqtest::WaitFor([&] { return !listShown(); }));
  server.Click(vqtest::ControlCentre(vqres::ScanParameterTemplate(), dialog, IDOK));
  ASSERT_TRUE(vqtest::WaitFor([&] { return !FindXWindow("扫描参数", &dialog); }));
  EXPECT_EQ(CaptureUntil(window, [](cv::Size s) { return s == cv::Size(640, 480); }), cv::Size(640, 480));

  // Closing saves the new size.
  DisableAndClose();
  EXPECT_NE(vqtest::ReadFile(vq::WideToUtf8(vq::MachineDataFolder()) + "/TwainPara0101.ini").find("ResolutionWidth=640"),
            std::string::npos);
  EXPECT_TRUE(vqtest::WaitFor([&] { return ThreadCount() <= threads; })) << ThreadNames();
}

// Cameras leave the machine's list (VQ_VIRTUAL_CAMERA) and count as
// unplugged the next time the source looks for cameras: the lens button's
// way to picture in picture looks.
class StrenvikUnplugXvfb : public StrenvikXvfb {
 protected:
  // Each press looks for the cameras again.
  void PressLens(int times) {
    for (int press = 0; press < times; ++press) server.Click(ControlCentre(window, 6034));
  }
  // Answers the boxes that come, each one of `expected`, the topmost first,
  // until none has come for ten seconds (a timer polls the cameras, and may
  // bring another); each is kept as a picture. Their texts, in order.
  std::vector<std::wstring> AnswerBoxes(const std::vector<vqtest::KnownMessageBox>& expected, const std::string& shot) {
    std::vector<std::wstring> answered;
    const vqtest::KnownMessageBox* box = nullptr;
    std::optional<vqtest::ShownX> shown;
    // Windows are listed bottom to top: the last one found is the topmost.
    const auto topmost = [&] {
      box = nullptr;
      for (const vqtest::ShownX& window : server.ShownWindows())
        for (const vqtest::KnownMessageBox& known : expected)
          if (const auto found = known.Find(server); found && found->window == window.window) box = &known, shown = found;
      return box != nullptr;
    };
    for (int round = 0; round < 8 && answered.size() < 4 &&
                        vqtest::WaitFor(topmost, answered.empty() ? vqtest::kPatience : 10000ms);
         ++round) {
      EXPECT_TRUE(Drawn(shown->window));
      server.Grab(shown->place).SavePng(vqtest::ScreenshotPath(shot + "-" + std::to_string(answered.size()) + ".png"));
      Answer(*box);
      // A box that came over it meanwhile takes the click: it goes, and
      // this one is pressed again next round.
      if (vqtest::WaitFor([&] { return !server.IsShown(shown->window); }, 10s)) answered.push_back(box->Text());
    }
    EXPECT_FALSE(OtherWindow(201, 0)) << "no other box";
    return answered;
  }
  RECT window{};
};

const std::wstring kMainLost = L"主摄像头发生异常，可能原因为USB连接错误，请重新拔插设备后重新启动TWAIN！";
const std::wstring kPortraitLost = L"副摄像头发生异常，可能原因为USB连接错误，请重新拔插设备后重新启动TWAIN！";
const std::wstring kPictureInPictureFailed = L"双摄像头同时开启模式失败，可能原因为USB数据传输速率问题！";

TEST_F(StrenvikUnplugXvfb, UnpluggedDocumentCameraIsReported) {
  EnableWithWindow(&window);
  setenv("VQ_VIRTUAL_CAMERA", "vid=2E1A,pid=0110,sizes=640x480+1280x960", 1);
  PressLens(2);
  EXPECT_EQ(AnswerBoxes({vqtest::KnownMessageBox(kMainLost)}, "strenvik-main-camera-lost"),
            std::vector<std::wstring>{kMainLost})
      << "the camera-lost message, once";
  DisableAndClose();
}

TEST_F(StrenvikUnplugXvfb, PictureInPictureFallsBackWithoutThePortraitCamera) {
  EnableWithWindow(&window);
  PressLens(1);  // the portrait camera alone, which has no automatic crop
  ASSERT_TRUE(vqtest::WaitFor([&] { return Control(6017) && !Control(6017)->enabled; }));
  setenv("VQ_VIRTUAL_CAMERA", "vid=2E1A,pid=0101,sizes=640x480+1280x960", 1);
  PressLens(1);  // picture in picture fails at every size
  // The fallback's box is given no caption and titled as such a box is; the
  // portrait camera's loss may show on top of it.
  const std::vector<std::wstring> answered = AnswerBoxes(
      {vqtest::KnownMessageBox(kPictureInPictureFailed), vqtest::KnownMessageBox(kPortraitLost)},
      "strenvik-picture-in-picture-failed");
  EXPECT_EQ(std::count(answered.begin(), answered.end(), kPictureInPictureFailed), 1);
  EXPECT_LE(answered.size(), 2u);
  DisableAndClose();
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

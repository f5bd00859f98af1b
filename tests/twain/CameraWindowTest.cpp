// The real camera window behind the bridge, headless on the virtual cameras:
// stored turns, the host's capabilities, transfer-state controls, the lens
// button's picture-in-picture fallbacks, the camera-lost message, the open
// failures and the unattended capture on the manual clock.

#include "platform/win/Clock.h"
#include "platform/win/Menu.h"
#include "platform/win/ModalLoops.h"
#include "resources/Resources.h"
#include "tests/support/ClockTicker.h"
#include "tests/twain/CameraWindowFixture.h"
#include "twain/MergeImageDlg.h"
#include "twain/PageThumbItem.h"

namespace twaintest {
namespace {

using namespace std::chrono_literals;
using strenvik::CPaldroseDlg;

class CaptureWithoutAFrame : public CameraWindow, public ::testing::WithParamInterface<bool> {};

TEST_F(CameraWindow, StoredTurnIsAppliedAndTheRadiosAreTheHostsPixelType) {
  for (const auto& [stored, turn] : {std::pair{0, 0}, {90, 90}, {180, 180}, {45, 270}}) {
    Settings("[Camera]\nRotateAngle=" + std::to_string(stored) + "\n");
    MakeSource(5);
    EXPECT_EQ(Window().MainRotation(), turn) << stored;
    EXPECT_EQ(Window().MainController()->Rotation(), turn) << stored;
    EXPECT_EQ(Window().Settings().RotateAngle, turn) << stored;
  }
  // Shown for scanning, the window gives the model's dpi of 1280 x 960 to the host.
  EXPECT_NEAR(Cap(MSG_GETCURRENT, ICAP_XRESOLUTION).Fix32Item(), 109.22, 1e-3);
  EXPECT_NEAR(Cap(MSG_GETCURRENT, ICAP_YRESOLUTION).Fix32Item(), 109.22, 1e-3);
  EXPECT_EQ(IsDlgButtonChecked(Window().GetSafeHwnd(), 6003), BST_CHECKED) << "the source starts in colour";
  Click(6004);
  EXPECT_EQ(Cap(MSG_GETCURRENT, ICAP_PIXELTYPE).Item(), TWPT_GRAY);
  EXPECT_EQ(Cap(MSG_GETCURRENT, ICAP_BITDEPTH).Item(), 8u);
  Click(6005);
  EXPECT_EQ(Cap(MSG_GETCURRENT, ICAP_PIXELTYPE).Item(), TWPT_BW);
  EXPECT_EQ(Window().Settings().PIXELTYPE, TWPT_BW);
}

TEST_F(CameraWindow, TransfersDisableCaptureAndTheirEndEmptiesTheList) {
  Settings("[Camera]\nRotateAngle=0\nMULTIPLE=true\n");
  MakeSource(5);
  ASSERT_TRUE(Pump([&] { return !Window().MainController()->GetFrame().empty(); }));
  Click(6000);
  Click(6000);
  EXPECT_EQ(Window().Pages().size(), 2u) << "multi-shot keeps the captures";
  EXPECT_EQ(Window().Pages()[0].size(), cv::Size(1280, 960));
  EXPECT_EQ(ds->GetState(), 5) << "nothing uploaded yet";
  // A host that refuses the announcement leaves the pages and the buttons usable.
  manager.SetNotificationResult(TWRC_FAILURE);
  Click(6012);
  ASSERT_TRUE(Pump([&] { return Enabled(6000) && Enabled(6012); }));
  EXPECT_EQ(ds->GetState(), 5);
  EXPECT_EQ(Window().Pages().size(), 2u);
  manager.SetNotificationResult(TWRC_SUCCESS);
  Click(6012);
  EXPECT_EQ(ds->GetState(), 6);
  ASSERT_TRUE(Pump([&] { return !Enabled(6000); }));
  EXPECT_FALSE(Enabled(6012));
  EXPECT_FALSE(Enabled(6028));
  TW_PENDINGXFERS pending{};
  ASSERT_EQ(Send(DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &pending), TWRC_SUCCESS);
  ASSERT_TRUE(Pump([&] { return Enabled(6000) && Enabled(6012) && Enabled(6028); }));
  EXPECT_TRUE(Window().Pages().empty());
  EXPECT_EQ(Window().PageCount(), 0);
  wchar_t text[64] = {};
  GetDlgItemTextW(Window().GetSafeHwnd(), 6011, text, 64);
  EXPECT_STREQ(text, L"已经扫描了 0 张图像");
}

TEST_F(CameraWindow, PageStripPagesDeletesMovesAndMultiShotOffDiscards) {
  Settings("[Camera]\nRotateAngle=0\n", "MULTIPLE=false\n");
  MakeSource(5);
  ASSERT_TRUE(Pump([&] { return !Window().MainController()->GetFrame().empty(); }));
  RECT narrow{}, wide{};
  GetWindowRect(Window().GetSafeHwnd(), &narrow);
  Click(6027);
  GetWindowRect(Window().GetSafeHwnd(), &wide);
  EXPECT_EQ(wide.right - wide.left, narrow.right - narrow.left + 138);
  const auto& items = Window().Thumbnails();
  ASSERT_EQ(items.size(), 4u);
  EXPECT_TRUE(items[3]->HasImage()) << "the empty slot's picture";
  Click(6000);
  Click(6000);
  ASSERT_EQ(Window().Pages().size(), 2u);
  EXPECT_EQ(ds->GetState(), 5) << "multi-shot collects";
  EXPECT_EQ(items[1]->m_index, 1);
  EXPECT_EQ(items[2]->m_index, -1);
  // Ten pages, each marked with its capture number.
  for (int i = 2; i < 10; ++i) Window().Pages().push_back(Window().Pages()[0].clone());
  for (int i = 0; i < 10; ++i) Window().Pages()[size_t(i)].at<cv::Vec3b>(0, 0)[0] = uchar(i);
  auto shown = [&] {
    std::vector<int> pages;
    for (const auto* item : items) pages.push_back(item->m_index < 0 ? -1 : item->GetPage().at<cv::Vec3b>(0, 0)[0]);
    return pages;
  };
  Window().RefreshThumbnails(-1);
  EXPECT_EQ(shown(), (std::vector<int>{6, 7, 8, 9}));
  for (int i = 0; i < 4; ++i) Window().OnNext();
  EXPECT_EQ(shown(), (std::vector<int>{9, -1, -1, -1})) << "下张 stops at the last page";
  for (int i = 0; i < 12; ++i) Window().OnPrevious();
  EXPECT_EQ(shown(), (std::vector<int>{0, 1, 2, 3})) << "上张 stops at the first page";

  // Deleting page 8 from the strip showing the last pages.
  UINT answer = 0;
  std::vector<std::wstring> offered;
  vqplatform::SetPopupMenuAnswer([&](const vqplatform::PopupMenuRecord& menu) {
    offered = menu.texts;
    return answer;
  });
  auto menuOn = [&](int item, UINT command) {
    answer = command;
    offered.clear();
    PostMessageW(Window().GetSafeHwnd(), WM_THUMB_NOTIFY, WPARAM(item), strenvik::CPageThumbItem::kContextMenu);
    ASSERT_TRUE(Pump([&] { return !offered.empty(); }));
    // The chosen command is posted behind the menu.
    ASSERT_TRUE(PumpPosted());
  };
  Window().RefreshThumbnails(-1);
  menuOn(2, ID_STRIP_DELETE);
  EXPECT_EQ(offered, (std::vector<std::wstring>{L"删除文件", L"移动至"}));
  EXPECT_EQ(Window().Pages().size(), 9u);
  EXPECT_EQ(Window().PageCount(), 9);
  EXPECT_EQ(shown(), (std::vector<int>{6, 7, 9, -1}));
  // Page 7 to the first position; a position beyond the pages is not offered.
  menuOn(1, ID_STRIP_MOVE_FIRST);
  std::vector<int> order;
  for (const cv::Mat& page : Window().Pages()) order.push_back(page.at<cv::Vec3b>(0, 0)[0]);
  EXPECT_EQ(order, (std::vector<int>{7, 0, 1, 2, 3, 4, 5, 6, 9}));
  EXPECT_EQ(shown(), (std::vector<int>{4, 5, 6, 9}));
  menuOn(0, ID_STRIP_MOVE_FIRST + 9);
  menuOn(0, ID_STRIP_MOVE_FIRST + 8);
  order.clear();
  for (const cv::Mat& page : Window().Pages()) order.push_back(page.at<cv::Vec3b>(0, 0)[0]);
  EXPECT_EQ(order, (std::vector<int>{7, 0, 1, 2, 3, 5, 6, 9, 4}));
  vqplatform::SetPopupMenuAnswer(nullptr);

  // Switching multi-shot off discards the pages without upload.
  Click(6027);
  EXPECT_TRUE(Window().Pages().empty());
  EXPECT_TRUE(Window().Thumbnails().empty());
  EXPECT_EQ(ds->GetState(), 5);
  RECT after{};
  GetWindowRect(Window().GetSafeHwnd(), &after);
  EXPECT_EQ(after.right - after.left, narrow.right - narrow.left);
}

TEST_F(CameraWindow, LensButtonCyclesCamerasAndFallsBackWithoutPictureInPicture) {
  boxes.Expect(kNoPictureInPicture);
  Settings("[Camera]\nRotateAngle=0\n", "PortraitResolutionWidth=1280\nPortraitResolutionHeight=960\n");
  MakeSource(5);
  ASSERT_NE(Window().SecondaryController(), nullptr);
  int width = 0, height = 0;
  ASSERT_EQ(Window().MainController()->GetFormatCount(), 2) << "640 x 480 and 1280 x 960";
  Window().MainController()->GetFormatSize(0, &width, &height);
  EXPECT_EQ(cv::Size(width, height), cv::Size(640, 480));
  Click(6034);  // mode 1: the portrait camera alone
  EXPECT_EQ(Window().Settings().cameraMode, 1);
  EXPECT_FALSE(Enabled(6010));
  EXPECT_FALSE(Enabled(6017)) << "no automatic crop for the portrait camera";
  Click(6015);
  EXPECT_EQ(Window().SecondaryRotation(), 90);
  EXPECT_EQ(Window().Settings().RotateAngle, 0) << "the portrait camera's turn is not kept";
  Click(6034);  // mode 2: the portrait camera inside the main preview at its own size
  EXPECT_EQ(Window().Settings().cameraMode, 2);
  RECT box{};
  ASSERT_TRUE(Window().MainController()->Preview()->GetSubImageBoxRect(&box));
  EXPECT_EQ(box.right - box.left, 1280);
  ASSERT_TRUE(Pump([&] { return !Window().MainController()->GetSecondaryFrame().empty(); }));
  Click(6034);  // mode 0 closes it again
  EXPECT_EQ(Window().Settings().cameraMode, 0);
  EXPECT_TRUE(Window().MainController()->GetSecondaryFrame().empty());

  // Without the portrait camera every size fails: the message, mode 0, and no third mode any more.
  Click(6034);
  secondary->Unplug();
  Click(6034);
  EXPECT_EQ(boxes.Shown(kNoPictureInPicture), 1);
  EXPECT_EQ(Window().Settings().cameraMode, 0);
  EXPECT_EQ(strenvik::CameraModeCount, 2);
  EXPECT_EQ(Window().Settings().PortraitResolutionWidth, 320) << "640 x 480, then 320 x 240 were tried";
  EXPECT_EQ(Window().Settings().PortraitResolutionHeight, 240);
}

TEST_F(CameraWindow, UnpluggedCameraIsReportedOnce) {
  boxes.Expect(kMainLost);
  Settings("");
  MakeSource(5);
  main->Unplug();
  ASSERT_TRUE(Pump([&] { return boxes.Shown(kMainLost) == 1; }));
  Pump([] { return false; }, 2500ms);
  EXPECT_EQ(boxes.Shown(kMainLost), 1) << "the status timer has stopped";
  EXPECT_EQ(ds->GetState(), 5) << "the window stays";
}

TEST_F(CameraWindow, EnableWithoutACameraIsRefusedWithTheMessage) {
  boxes.Expect(kNoCamera);
  Settings("");
  vq::dshow::RemoveVirtualCameras();
  MakeSource(4);
  TW_USERINTERFACE ui{1, 0, nullptr};
  EXPECT_EQ(Send(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui), TWRC_FAILURE);
  EXPECT_EQ(Status(), TWCC_OPERATIONERROR);
  EXPECT_EQ(ds->GetState(), 4);
  ASSERT_EQ(boxes.Shown(kNoCamera), 1);
  EXPECT_EQ(vqplatform::MessageBoxLog()[0].type & MB_ICONMASK, static_cast<UINT>(MB_ICONEXCLAMATION));
}

TEST_F(CameraWindow, BusyCameraIsRefusedWithItsOwnMessageUntilItIsFree) {
  boxes.Expect(L"主镜头可能被占用了，无法启动");
  Settings("");
  main->SetBusy(true);
  MakeSource(4);
  TW_USERINTERFACE ui{1, 0, nullptr};
  EXPECT_EQ(Send(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui), TWRC_FAILURE);
  EXPECT_EQ(Status(), TWCC_OPERATIONERROR);
  EXPECT_EQ(ds->GetState(), 4);
  const auto shown = vqplatform::MessageBoxLog();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].text, L"主镜头可能被占用了，无法启动");
  EXPECT_EQ(shown[0].caption, L"提示");
  EXPECT_EQ(Window().MainController(), nullptr);
  main->SetBusy(false);
  EXPECT_EQ(Send(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui), TWRC_SUCCESS);
  EXPECT_NE(Window().MainController(), nullptr);
}

TEST_F(CameraWindow, CancelAsksToCloseAndCancelsAnnouncedTransfersUntilTheNextEnable) {
  Settings("[Camera]\nRotateAngle=0\nMULTIPLE=true\n");
  MakeSource(5);
  ASSERT_TRUE(Pump([&] { return !Window().MainController()->GetFrame().empty(); }));
  const HWND window = Window().GetSafeHwnd();
  auto cancel = [&] { SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0); };
  auto upload = [&](size_t pages) {
    for (size_t i = 0; i < pages; ++i) Click(6000);
    Click(6012);
    ASSERT_EQ(ds->GetState(), 6);
    ASSERT_EQ(manager.TakeNotifications().at(0).MSG, MSG_XFERREADY);
  };
  auto native = [&] {
    TW_HANDLE dib = nullptr;
    const TW_UINT16 rc = Send(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &dib);
    if (dib) TestManager::EntryPoints().DSM_MemFree(dib);
    return rc;
  };
  auto endTransfer = [&] {
    TW_PENDINGXFERS pending{};
    EXPECT_EQ(Send(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending), TWRC_SUCCESS);
    return pending.Count;
  };

  // Before any upload: only the close request; the window stays.
  cancel();
  std::vector<Notification> sent = manager.TakeNotifications();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].MSG, MSG_CLOSEDSREQ);
  EXPECT_TRUE(IsWindowVisible(window));
  EXPECT_EQ(ds->GetState(), 5);

  // During announced transfers: no close request; the next transfer is
  // cancelled, and a cancel before the end of a transfer ends them all.
  upload(2);
  cancel();
  EXPECT_TRUE(manager.TakeNotifications().empty());
  EXPECT_EQ(native(), TWRC_CANCEL);
  EXPECT_EQ(endTransfer(), 1);
  cancel();
  EXPECT_TRUE(manager.TakeNotifications().empty());
  EXPECT_EQ(endTransfer(), 0);
  EXPECT_EQ(ds->GetState(), 5);
  ASSERT_TRUE(Pump([&] { return Enabled(6000) && Window().Pages().empty(); }));

  // After the transfers ended: the close request and a cancel request that
  // the next enable clears.
  cancel();
  sent = manager.TakeNotifications();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].MSG, MSG_CLOSEDSREQ);
  TW_USERINTERFACE ui{1, 0, nullptr};
  ASSERT_EQ(Send(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui), TWRC_SUCCESS);
  ASSERT_EQ(Send(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui), TWRC_SUCCESS);
  upload(2);
  EXPECT_EQ(native(), TWRC_XFERDONE);
  EXPECT_EQ(endTransfer(), 1);
  EXPECT_EQ(native(), TWRC_XFERDONE);
  EXPECT_EQ(endTransfer(), 0);
}

TEST_F(CameraWindow, FirstUnattendedCaptureWaitsOnTheClockAndAnswersNestedCallsAsADialogDoes) {
  Settings("[Camera]\nRotateAngle=0\n");
  vqplatform::ManualClockScope clock;
  // Until the first enable has returned, the clock moves on by 50 ms only
  // while every thread that waits on it is asleep: the enable's loop, the
  // camera's stream and the two previews' workers. With fewer asleep a frame
  // is on its way (or the camera is still being opened), so on a busy
  // machine the clock slows down with them.
  constexpr size_t kClockedThreads = 4;
  vqtest::ClockTicker ticker(kClockedThreads, 50ms);
  MakeSource(4);
  // The wait is a modal loop of the layer, as a dialog's: a call that
  // destroys nothing is answered inside it.
  twaintest::Answer nested;
  int loopsSeen = 0;
  std::function<void()> nestedCall = [&] {
    loopsSeen = vqplatform::ModalLoopDepth();
    nested = Cap(MSG_GETCURRENT, ICAP_PIXELTYPE);
  };
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = [](HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
    if (message == WM_APP) (*reinterpret_cast<std::function<void()>*>(lParam))();
    return DefWindowProcW(hwnd, message, wParam, lParam);
  };
  windowClass.lpszClassName = L"VqNestedHostCall";
  RegisterClassW(&windowClass);
  HWND caller = CreateWindowExW(0, L"VqNestedHostCall", L"", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
  PostMessageW(caller, WM_APP, 0, reinterpret_cast<LPARAM>(&nestedCall));

  const DWORD start = GetTickCount();
  TW_USERINTERFACE ui{0, 0, nullptr};
  ASSERT_EQ(Send(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui), TWRC_SUCCESS);
  ticker.Stop();
  EXPECT_FALSE(ticker.HeldUp()) << "the clock moved on while fewer than " << kClockedThreads << " threads slept on it";
  EXPECT_GE(GetTickCount() - start, 2000u);
  EXPECT_EQ(ds->GetState(), 6);
  EXPECT_EQ(manager.TakeNotifications().at(0).MSG, MSG_XFERREADY);
  EXPECT_EQ(loopsSeen, 1);
  EXPECT_EQ(nested.rc, TWRC_SUCCESS);

  // Later unattended captures do not wait: with the clock standing still the
  // enable returns at once (one that waited on the clock would never return).
  TW_PENDINGXFERS pending{};
  ASSERT_EQ(Send(DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &pending), TWRC_SUCCESS);
  ASSERT_EQ(Send(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui), TWRC_SUCCESS);
  const DWORD again = GetTickCount();
  ASSERT_EQ(Send(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui), TWRC_SUCCESS);
  EXPECT_EQ(GetTickCount() - again, 0u);
  DestroyWindow(caller);
}

// Merge unticked while the merge dialog waits in a box of its own: the
// dialog, whose handler is still running, goes once the box is answered.
TEST_P(CaptureWithoutAFrame, SaysSoInMergeModeAndOut) {
  boxes.Expect(L"获取图像失败！");
  main->SetTransferErrors(true);  // the camera never delivers a frame
  Settings("[Camera]\nRotateAngle=0\n");
  MakeSource(5);
  if (GetParam()) Click(6024);
  Click(6000);
  EXPECT_EQ(boxes.Shown(L"获取图像失败！"), 1);
  EXPECT_EQ(Window().MergeDialog(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Merge, CaptureWithoutAFrame, ::testing::Bool());

TEST_F(CameraWindow, MergeDialogLetGoUnderItsOwnBoxGoesAtTheTopLevel) {
  Settings("[Camera]\nRotateAngle=0\n");
  MakeSource(5);
  ASSERT_TRUE(Pump([&] { return !Window().MainController()->GetFrame().empty(); }));
  Click(6024);
  Click(6000);
  ASSERT_NE(Window().MergeDialog(), nullptr);
  const HWND merge = Window().MergeDialog()->GetSafeHwnd();
  bool keptUnderTheBox = false;
  boxes.Expect(L"需要两张图像才能合并", [&](const vqplatform::MessageBoxRecord&) {
    // The box's loop, in which the user unticks merge in the camera window.
    PostMessageW(GetDlgItem(Window().GetSafeHwnd(), 6024), BM_CLICK, 0, 0);
    vqplatform::ModalLoop box;
    box.done = [&] { return Window().MergeDialog() == nullptr; };
    vqplatform::RunModalLoop(box);
    keptUnderTheBox = IsWindow(merge);
    return IDOK;
  });
  SendMessageW(merge, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);  // one page: "two are needed"
  EXPECT_TRUE(keptUnderTheBox);
  EXPECT_FALSE(IsWindow(merge));
  EXPECT_EQ(IsDlgButtonChecked(Window().GetSafeHwnd(), 6024), BST_UNCHECKED);
}

}  // namespace
}  // namespace twaintest

// The main window's cameras while it runs: a portrait reopen that fails,
// grab and process, and the collecting boxes while the camera is out.
#include <filesystem>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "app/ImageOutput.h"
#include "ui/MultiPageDlg.h"
#include "tests/support/Files.h"
#include "tests/support/TestEnv.h"
#include "tests/vorquell/MainWindowFixture.h"

namespace {

class MainWindowCameras : public vqtest::MainWindowTest {};

TEST_F(MainWindowCameras, AFailedPortraitReopenLeavesTheDocumentCameraLive) {
  boxes_.Expect(L"人像设备可能被其他程序占用，请检查");
  Plug(L"5651", L"d0c0");
  auto portrait = Plug(L"5651", L"d0c1");
  WriteDataFile("5651d0c05651d0c1;");
  vqtest::OpenMainWindow& window = Start();
  ASSERT_NE(window.PortraitController(), nullptr);
  // Another size of the camera than it runs at: the switch reopens it.
  window.settings_.porCamWidth = 1280;
  window.settings_.porCamHeight = 960;
  portrait->Unplug();
  window.OnSwitchCamera();
  EXPECT_EQ(Boxes(), std::vector<std::wstring>{window.MessageText(CVorquellDlg::MSG_PORTRAIT_BUSY).GetString()});
  EXPECT_EQ(window.PortraitController(), nullptr);
  EXPECT_EQ(window.ShownCamera(), 0);
  EXPECT_EQ(window.settings_.currentCamera, 0);
  EXPECT_TRUE(IsWindowVisible(window.DocumentController()->Preview()->GetHwnd()));
  EXPECT_EQ(window.DocumentController()->MainSource()->GetState(), VIDEO_STATE_RUNNING);
  window.OnSwitchCamera();
  EXPECT_EQ(window.ShownCamera(), 0);
}

TEST(GrabAndProcessRescale, FactorsFollowThePageAxesAndSkipUnknownSizes) {
  cv::Mat page(300, 400, CV_8UC1), upright(400, 300, CV_8UC1);
  CVorquellDlg::RescalePage(page, {400, 300}, {200, 100});
  CVorquellDlg::RescalePage(upright, {400, 300}, {200, 100});
  EXPECT_EQ(page.size(), cv::Size(200, 100));
  EXPECT_EQ(upright.size(), cv::Size(100, 200)) << "a turned frame takes the factors crosswise";
  // Within 0.001 of the size, or a size not known: the page stays as it is.
  for (auto [running, configured] : {std::pair{cv::Size(2000, 1000), cv::Size(2001, 1000)},
                                     {cv::Size(2000, 1000), cv::Size(-1, -1)}, {cv::Size(0, 0), cv::Size(2000, 1000)}}) {
    cv::Mat same(1000, 2000, CV_8UC1);
    const uchar* pixels = same.data;
    CVorquellDlg::RescalePage(same, running, configured);
    EXPECT_EQ(same.data, pixels) << running << " to " << configured;
  }
}

TEST_F(MainWindowCameras, GrabAndProcessRescalesAndProcessesForTheChosenCameraModel) {
  // The model whose shadow mask takes the heavier weight, showing soft strokes
  // whose edges that weight decides.
  cv::Mat strokes(960, 1280, CV_8UC3, cv::Scalar::all(230));
  for (int x = 40; x < strokes.cols; x += 60) strokes.colRange(x, x + 20).setTo(cv::Scalar::all(30));
  cv::GaussianBlur(strokes, strokes, cv::Size(), 6);
  std::filesystem::create_directories(vqtest::TempDir() / "scene");
  cv::imwrite((vqtest::TempDir() / "scene" / "strokes.png").string(), strokes);
  vq::dshow::VirtualCameraConfig model;
  model.vendorId = L"2e1a";
  model.productId = L"0106";
  model.content.kind = vq::dshow::VirtualContent::Kind::Folder;
  model.content.folder = vqtest::TempDir() / "scene";
  model.sizes = {{640, 480}, {1280, 960}};
  vq::dshow::PlugInVirtualCamera(model);
  WriteDataFile("2e1a01062e1a0107;");
  // An extra size of the model, beyond what the camera streams.
  WriteSettings("[IMAGE]\nDocCamWidth=3742\nDocCamHeight=2806\nSHADOW=TRUE\n");
  vqtest::OpenMainWindow& window = Start();
  ASSERT_TRUE(vqtest::Pump([&] { return !window.DocumentController()->GetFrame().empty(); }));
  const std::vector<cv::Mat> pages = window.GrabAndProcess();
  ASSERT_EQ(pages.size(), 1u);
  EXPECT_EQ(pages[0].size(), cv::Size(3742, 2806)) << "the 1280 x 960 frame is brought to the capture size";

  cv::Mat frame = window.DocumentController()->GetDocumentImages().at(0), expected, other;
  CVorquellDlg::RescalePage(frame, {1280, 960}, {3742, 2806});
  CImageOutput special(0), plain(0);
  special.SetCameraIds(branding_.selectedCameraIds);
  special.SetSettings(window.Settings());
  plain.SetSettings(window.Settings());
  special.ProcessImage(expected, frame);
  plain.ProcessImage(other, frame);
  EXPECT_EQ(cv::norm(pages[0], expected, cv::NORM_INF), 0.0);
  EXPECT_GT(cv::norm(pages[0], other, cv::NORM_L1), 0.0) << "the model's weight made a difference";

  window.settings_.currentCamera = 1;
  EXPECT_TRUE(window.GrabAndProcess().empty()) << "no portrait camera, no pages";
}

// Clearing a collecting box while the document camera is out still puts
// the mode down: the page collected is written (the question answered Yes),
// the dialog closes and the setting goes, so captures reach the strip again.
TEST_F(MainWindowCameras, ACollectBoxClearedWhileTheCameraIsOutSettles) {
  auto document = Plug(L"5651", L"d0c0");
  WriteDataFile("5651d0c05651d0c1;");
  vqtest::OpenMainWindow& window = Start();
  boxes_.Expect(window.MessageText(CVorquellDlg::MSG_UNPLUGGED).GetString());
  boxes_.ExpectStarting(L"已收集的1页尚未保存为文档", IDYES);
  const auto live = [&] { return window.DocumentController() && !window.DocumentController()->GetFrame().empty(); };
  const auto click = [&](int id) {
    HWND main = window.GetSafeHwnd();
    SendMessageW(main, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(main, id)));
  };
  for (const auto& [box, extension] : {std::pair{IDC_ONE_PDF, ".pdf"}, std::pair{IDC_MULTIPAGE_TIF, ".tif"}}) {
    ASSERT_TRUE(vqtest::Pump(live));
    window.CheckDlgButton(box, BST_CHECKED);
    click(box);
    click(IDC_CAPTURE);
    ASSERT_NE(window.MultiPageDialog(), nullptr) << extension;
    document->Unplug();
    ASSERT_TRUE(vqtest::Pump([&] { return window.DocumentController() == nullptr; }));
    window.CheckDlgButton(box, BST_UNCHECKED);
    click(box);
    EXPECT_EQ(window.MultiPageDialog(), nullptr) << extension;
    EXPECT_EQ(window.settings_.pdfOrTif, 0) << extension;
    EXPECT_FALSE(window.IsDlgButtonChecked(box)) << extension;
    EXPECT_EQ(vqtest::FilesMatching(vqtest::TempDir(), ".*\\" + std::string(extension), true).size(), 1u) << extension;
    // Without the camera no mode is taken up.
    window.CheckDlgButton(box, BST_CHECKED);
    click(box);
    EXPECT_FALSE(window.IsDlgButtonChecked(box)) << extension;
    document->Replug();
  }
  ASSERT_TRUE(vqtest::Pump(live));
  click(IDC_CAPTURE);
  // The two documents written, then the page.
  const std::vector<CThumbItem*> strip = window.StripItems();
  ASSERT_GE(strip.size(), 3u);
  EXPECT_TRUE(strip[2]->GetFilePath().Right(4) == L".jpg") << "the next page is in the strip";
}

}  // namespace

// The image server's probe, the image-path requests and the companion's
// notice against outside programs started for the tests; this test plays
// Vorquell's main window.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/ImagePathServer.h"
#include "platform/win/Encoding.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/ProgramWindows.h"
#include "platform/win/Window.h"
#include "tests/support/PeerProgram.h"

namespace {

using vqtest::PeerProgram;

CImagePathServer* g_server = nullptr;
CString g_imagePath;

LRESULT CALLBACK MainWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_IMAGEPATH_REQUEST) return g_server->AnswerRequest(g_imagePath);
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

class ImagePathServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(listening_.Listening());
    WNDCLASSW main{};
    main.lpfnWndProc = MainWindowProc;
    main.lpszClassName = L"VqMainWindowStandIn";
    RegisterClassW(&main);
    window_ = CreateWindowExW(0, L"VqMainWindowStandIn", L"Marlofen V1.1", WS_OVERLAPPED, 0, 0, 100, 100, nullptr,
                              nullptr, nullptr, nullptr);
    ASSERT_TRUE(vqplatform::MakeReachableByPrograms(window_, {WM_IMAGEPATH_REQUEST}));
    g_server = &server_;
  }
  void TearDown() override {
    DestroyWindow(window_);
    g_server = nullptr;
  }
  vqplatform::ProgramListenerScope listening_;
  CImagePathServer server_;
  HWND window_ = nullptr;
};

TEST_F(ImagePathServerTest, ProbeGoesOnOnlyWhenTheServerAgreesAndTheCompanionHearsTheExit) {
  EXPECT_EQ(ProbeImageServer(), 0);  // no server
  {
    PeerProgram server("VorquellServer", {"--answer", "1109=51"});
    ASSERT_TRUE(server.WaitFor("ready"));
    EXPECT_EQ(ProbeImageServer(), 0);
    EXPECT_TRUE(server.Recorded("got 1109 0 0"));
  }
  {
    PeerProgram busy("VorquellServer", {"--answer", "1109=52"});
    ASSERT_TRUE(busy.WaitFor("ready"));
    EXPECT_EQ(ProbeImageServer(), -1);
  }
  PeerProgram companion("Tollwyn - V2.2");
  ASSERT_TRUE(companion.WaitFor("ready"));
  NotifyCompanionExit();
  EXPECT_TRUE(companion.Recorded("got 2024 0 0"));
}

TEST_F(ImagePathServerTest, RequestsWriteThePathEndedByZeroIntoTheAskersMapping) {
  g_imagePath = L"/home/user/Ketterby/图像_00001.jpg";
  {
    // Without the mapping: 2, nothing posted.
    PeerProgram image("Image", {"--request", "Marlofen V1.1:1280"});
    ASSERT_TRUE(image.WaitFor("answer 1280 2"));
    EXPECT_FALSE(image.Recorded("got 1281 0 0"));
  }
  PeerProgram image("Image", {"--mapping", "VorquellImageDataMap:64", "--read-mapping-on", "1281", "--request",
                              "Marlofen V1.1:1280"});
  ASSERT_TRUE(image.WaitFor("answer 1280 0"));
  ASSERT_TRUE(image.WaitFor("text /home/user/Ketterby/图像_00001.jpg"));
  // A shorter path leaves nothing of the longer one; a path that fits in
  // neither the view nor 255 bytes goes out empty, never cut.
  struct Case {
    std::wstring path;
    std::string text;
  } cases[] = {{L"/a.jpg", "/a.jpg"}, {std::wstring(64, L'p'), ""}, {std::wstring(63, L'q'), std::string(63, 'q')},
               {std::wstring(300, L'r'), ""}, {L"", ""}};
  long requests = 1;
  for (const Case& c : cases) {
    ASSERT_EQ(server_.AnswerRequest(c.path.c_str()), CImagePathServer::kAnswered);
    ++requests;
    // One ready notice per request, each followed by what the peer read.
    EXPECT_TRUE(image.WaitUntil([&](const std::vector<std::string>& lines) {
      return std::count(lines.begin(), lines.end(), "got 1281 0 0") == requests && lines.back() == "text " + c.text;
    })) << c.text;
  }
  EXPECT_TRUE(server_.HoldsMapping());
}

TEST_F(ImagePathServerTest, AMappingThatCannotBeMappedAnswersTwoAndIsOpenedAgainLater) {
  {
    PeerProgram careless("Image", {"--empty-mapping", "VorquellImageDataMap", "--read-mapping-on", "1281"});
    ASSERT_TRUE(careless.WaitFor("ready"));
    EXPECT_EQ(SendMessageW(window_, WM_IMAGEPATH_REQUEST, 0, 0), CImagePathServer::kNoMapping);
    EXPECT_FALSE(server_.HoldsMapping());
  }
  // The next request opens the mapping anew; once its creator has ended
  // (and the name with it) there is nobody to write to.
  g_imagePath = L"/p.png";
  {
    PeerProgram image("Image", {"--mapping", "VorquellImageDataMap:300", "--read-mapping-on", "1281"});
    ASSERT_TRUE(image.WaitFor("ready"));
    EXPECT_EQ(SendMessageW(window_, WM_IMAGEPATH_REQUEST, 0, 0), CImagePathServer::kAnswered);
    EXPECT_TRUE(image.WaitFor("text /p.png"));
  }
  EXPECT_EQ(server_.AnswerRequest(L"/q.png"), CImagePathServer::kNoMapping);
  EXPECT_FALSE(server_.HoldsMapping());
}

TEST_F(ImagePathServerTest, AMappingRemovedAndMadeAnewAfterReadingGetsTheNextAnswer) {
  // The asker reads each answer, removes the memory and makes it again
  // under the same name before its next request.
  PeerProgram image("Image", {"--mapping", "VorquellImageDataMap:300", "--read-mapping-on", "1281",
                              "--recreate-mapping-on", "1281"});
  ASSERT_TRUE(image.WaitFor("ready"));
  for (const wchar_t* page : {L"/pages/第一.png", L"/pages/second.png", L"/pages/3.png"}) {
    g_imagePath = page;
    EXPECT_EQ(SendMessageW(window_, WM_IMAGEPATH_REQUEST, 0, 0), CImagePathServer::kAnswered);
    const std::string text = "text " + vq::WideToUtf8(page);
    EXPECT_TRUE(image.WaitUntil([&](const std::vector<std::string>& lines) {
      return lines.size() >= 2 && lines[lines.size() - 2] == text && lines.back() == "recreated";
    })) << text;
  }
}

}  // namespace

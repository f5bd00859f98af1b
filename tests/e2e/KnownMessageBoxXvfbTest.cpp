// A box shown on the server is found by what it says: two boxes with the
// same caption and the same size are told apart by their texts.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/win/MessageBox.h"
#include "tests/e2e/XServer.h"

namespace {

TEST(KnownMessageBox, IsFoundByItsTextNotByItsCaptionAndSize) {
  vqtest::UseXvfbDisplay();
  vqtest::XServer server;
  ASSERT_TRUE(server.Connected());
  const vqtest::KnownMessageBox shown(L"图像没有保存：甲"), other(L"图像没有保存：乙");
  std::atomic<int> answer{0};
  std::thread box([&] {
    answer = vqplatform::RunMessageBoxDialog(nullptr, shown.Text(), vqplatform::DefaultMessageBoxCaption(), MB_OK);
  });
  ASSERT_TRUE(vqtest::WaitFor([&] { return shown.Find(server).has_value(); }));
  EXPECT_FALSE(other.Find(server).has_value()) << "a box of the same caption and size that says something else";
  EXPECT_FALSE(other.Press(server));
  EXPECT_TRUE(shown.Press(server));
  box.join();
  EXPECT_EQ(answer.load(), IDOK);
}

}  // namespace

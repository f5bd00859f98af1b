#include "tests/support/MessageBoxes.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/win/Encoding.h"

namespace vqtest {

ExpectedBoxes::ExpectedBoxes() {
  vqplatform::ClearMessageBoxLog();
  Resume();
}

void ExpectedBoxes::Resume() {
  vqplatform::SetMessageBoxAnswer([this](const vqplatform::MessageBoxRecord& box) { return Answer_(box); });
}

ExpectedBoxes::~ExpectedBoxes() {
  vqplatform::SetMessageBoxAnswer(nullptr);
  for (const std::wstring& text : Unexpected()) ADD_FAILURE() << "an unexpected message box: " << vq::WideToUtf8(text);
}

void ExpectedBoxes::Expect(const std::wstring& text, int answer) {
  Expect(text, [answer](const vqplatform::MessageBoxRecord&) { return answer; });
}

void ExpectedBoxes::Expect(const std::wstring& text, Answer answer) {
  std::lock_guard lock(mutex_);
  expected_.push_back(Expectation{text, false, std::move(answer)});
}

void ExpectedBoxes::ExpectStarting(const std::wstring& start, int answer) {
  ExpectStarting(start, [answer](const vqplatform::MessageBoxRecord&) { return answer; });
}

void ExpectedBoxes::ExpectStarting(const std::wstring& start, Answer answer) {
  std::lock_guard lock(mutex_);
  expected_.push_back(Expectation{start, true, std::move(answer)});
}

void ExpectedBoxes::Forget(const std::wstring& text) {
  std::lock_guard lock(mutex_);
  std::erase_if(expected_, [&](const Expectation& e) { return e.text == text; });
}

std::vector<std::wstring> ExpectedBoxes::Unexpected() const {
  std::lock_guard lock(mutex_);
  return unexpected_;
}

int ExpectedBoxes::Shown(const std::wstring& text) const {
  std::lock_guard lock(mutex_);
  return static_cast<int>(std::count(shown_.begin(), shown_.end(), text));
}

std::vector<std::wstring> ExpectedBoxes::Texts() const {
  std::lock_guard lock(mutex_);
  return shown_;
}

int ExpectedBoxes::Answer_(const vqplatform::MessageBoxRecord& box) {
  Answer answer;
  {
    std::lock_guard lock(mutex_);
    shown_.push_back(box.text);
    // The latest expectation first: a test may answer a box anew.
    for (auto it = expected_.rbegin(); it != expected_.rend() && !answer; ++it)
      if (it->prefix ? box.text.starts_with(it->text) : box.text == it->text) answer = it->answer;
    if (!answer) unexpected_.push_back(box.text);
  }
  // Answered outside the lock: an answer may show a dialog, whose loop may show more boxes.
  return answer ? answer(box) : vqplatform::DefaultMessageBoxAnswer(box.type);
}

int ShowBoxOnScreen(const vqplatform::MessageBoxRecord& box) {
  return vqplatform::RunMessageBoxDialog(box.owner, box.text, box.caption, box.type);
}

}  // namespace vqtest

#pragma once
// Message boxes as a test expects them. A box whose text the test names is
// answered as the test says; any other box is answered with its default
// button and fails the test when the rule ends (in the test's tear-down),
// with its text: an error box nobody expected never passes unseen.
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/win/Dialog.h"
#include "platform/win/MessageBox.h"

namespace vqtest {

class ExpectedBoxes {
 public:
  using Answer = std::function<int(const vqplatform::MessageBoxRecord&)>;
  // Installs the rule (the layer's answer hook) with the log cleared.
  ExpectedBoxes();
  // Removes it; each box that was not expected fails the test.
  ~ExpectedBoxes();
  ExpectedBoxes(const ExpectedBoxes&) = delete;
  ExpectedBoxes& operator=(const ExpectedBoxes&) = delete;

  // The box saying `text` (all of it), answered with `answer` each time it
  // shows, or by `answer` given the box (one shown on the screen: the
  // layer's own dialog, RunMessageBoxDialog).
  void Expect(const std::wstring& text, int answer = IDOK);
  void Expect(const std::wstring& text, Answer answer);
  // Boxes whose text starts so (a text that names a file or a number).
  void ExpectStarting(const std::wstring& start, int answer = IDOK);
  void ExpectStarting(const std::wstring& start, Answer answer);
  // Installs the rule again after a test answered boxes its own way.
  void Resume();
  // No longer expected from now on.
  void Forget(const std::wstring& text);
  // The texts of the boxes shown so far that no expectation named.
  std::vector<std::wstring> Unexpected() const;
  // How often the box saying `text` was shown.
  int Shown(const std::wstring& text) const;
  // The texts of every box shown so far, in order.
  std::vector<std::wstring> Texts() const;

 private:
  struct Expectation {
    std::wstring text;
    bool prefix;
    Answer answer;
  };
  int Answer_(const vqplatform::MessageBoxRecord& box);

  mutable std::mutex mutex_;
  std::vector<Expectation> expected_;
  std::vector<std::wstring> unexpected_;
  std::vector<std::wstring> shown_;
};

// A box that answers with the layer's own dialog, shown on the screen for
// the test to find and press (an answer for ExpectedBoxes::Expect).
int ShowBoxOnScreen(const vqplatform::MessageBoxRecord& box);

}  // namespace vqtest

// The prefix editor driven through its window: prefixes that would put a
// capture outside the image folder, or make a name no file can carry, are
// refused with the messages of the free-name dialog and the editor, and the
// editor stays open until the list is usable.
#include <gtest/gtest.h>

#include "platform/win/Dialog.h"
#include "platform/win/MessageBox.h"
#include "platform/win/TestInput.h"
#include "tests/support/TestEnv.h"
#include "ui/CustomFileNameDlg.h"
#include "ui/DialogFileName.h"

using vqplatform::ModalScript;

namespace {

constexpr int kListEdit = 1090;

struct Refusal {
  std::wstring list;
  std::wstring message;
};

// Each list in turn, OK pressed after each; then `accepted`, which must end
// the editor. The messages shown on the way.
std::vector<std::wstring> Refusals(int language, const std::vector<std::wstring>& refused,
                                   const std::wstring& accepted, CDialogFileName* editor) {
  vqplatform::ClearMessageBoxLog();
  std::vector<ModalScript::Step> steps;
  for (const std::wstring& list : refused)
    steps.push_back([list](HWND d) {
      SetDlgItemTextW(d, kListEdit, list.c_str());
      vqplatform::ClickControl(d, IDOK);
    });
  steps.push_back([accepted](HWND d) {
    EXPECT_FALSE(vqplatform::IsModalDialogEnded(d)) << "still open after the refusals";
    SetDlgItemTextW(d, kListEdit, accepted.c_str());
    vqplatform::ClickControl(d, IDOK);
  });
  ModalScript script(steps);
  EXPECT_EQ(editor->DoModal(), IDOK) << language;
  std::vector<std::wstring> texts;
  for (const auto& box : vqplatform::MessageBoxLog()) {
    EXPECT_EQ(box.type & MB_ICONMASK, UINT(MB_ICONERROR));
    texts.push_back(box.text);
  }
  return texts;
}

class PrefixEditorTest : public ::testing::Test {
 protected:
  void SetUp() override { vqres::LoadResources(); }
  void TearDown() override { vqplatform::ClearMessageBoxLog(); }
};

TEST_F(PrefixEditorTest, PrefixesLeavingTheFolderOrTooLongAreRefusedInEachLanguage) {
  const std::wstring fiftyOne(51, L'n');
  for (int language : {0, 1, 2}) {
    CCustomFileNameDlg nameDialog(nullptr, 0, language);
    nameDialog.SetLanguageTexts(language);
    CDialogFileName editor(nullptr, language);
    const std::wstring forbidden = nameDialog.ForbiddenCharacterMessage().GetString();
    const std::wstring malformed = editor.MalformedMessage().GetString();
    const std::vector<std::wstring> messages =
        Refusals(language, {L"IMG|..up", L"IMG|../up", L"a\\b", L"..", L"IMG|" + fiftyOne, L"IMG||DOC", L"x:y"},
                 L"Invoice|\u53d1\u7968 2024|" + std::wstring(50, L'n'), &editor);
    EXPECT_EQ(messages, (std::vector<std::wstring>{malformed, forbidden, forbidden, malformed, malformed, malformed,
                                                   forbidden}))
        << language;
    EXPECT_EQ(editor.prefixes,
              (std::vector<CString>{L"Invoice", L"\u53d1\u7968 2024", std::wstring(50, L'n').c_str(), L"..."}));
  }
  EXPECT_EQ(CCustomFileNameDlg(nullptr, 0, 0).ForbiddenCharacterMessage(),
            L"\u6587\u4ef6\u540d\u4e2d\u4e0d\u80fd\u5305\u542b\u4e0b\u5217\u4efb\u4f55\u5b57\u7b26:\n/ \\ : * ? < > |");
}

}  // namespace

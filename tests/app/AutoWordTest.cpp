#include "app/AutoWord.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/app/PdfCheck.h"
#include "tests/support/Processes.h"
#include "tests/support/TestEnv.h"

namespace fs = std::filesystem;

TEST(CAutoWord, WritesOneBoldParagraphThatReadsBack) {
  const std::string path = vqtest::TempPath("识别结果.doc").string();
  CAutoWord word;
  CString name(path.c_str());
  word.SetFileName(name);
  name = L"changed";  // the object keeps its own copy
  word.SetText("第一行 Recognised text {braces} \\ and 汉字");
  ASSERT_EQ(word.WriteDocument(), 0);
  const std::string rtf = vqtest::ReadFile(path);
  ASSERT_EQ(rtf.rfind("{\\rtf1", 0), 0u);
  EXPECT_NE(rtf.find("{\\b "), std::string::npos);
  // unrtf gives the characters as HTML character references, in bold.
  std::string html;
  EXPECT_EQ(vqtest::RunShell("unrtf --html '" + path + "' 2>/dev/null", &html), 0);
  EXPECT_NE(html.find("<b>&#31532;&#19968;&#34892; Recognised text {braces} \\ and &#27721;&#23383;</b>"),
            std::string::npos)
      << html;
  EXPECT_FALSE(fs::exists(vqtest::TempPath("changed")));
}

TEST(CAutoWord, WithoutWordOrWithAFailedSaveTheResultIsFailure) {
  vqplatform::SetWordAvailable(false);
  CAutoWord absent;
  absent.SetFileName(vqtest::TempPath("a.doc").string().c_str());
  absent.SetText("x");
  EXPECT_EQ(absent.WriteDocument(), 1);
  vqplatform::SetWordAvailable(true);
  EXPECT_FALSE(fs::exists(vqtest::TempPath("a.doc")));

  CAutoWord unsaved;
  unsaved.SetFileName(vqtest::TempPath("no/such/folder/b.doc").string().c_str());
  unsaved.SetText("y");
  EXPECT_EQ(unsaved.WriteDocument(), 1);  // reported, and the process goes on

  EXPECT_EQ(AutoWrap(DISPATCH_METHOD, nullptr, nullptr, L"Quit", 0), E_POINTER);
}

#include <gtest/gtest.h>

#include <cstring>

#include "platform/win/Encoding.h"
#include "platform/win/LastError.h"
#include "base/PathEncoding.h"

namespace {

TEST(Encoding, Utf8RoundTripsEveryPlane) {
  std::wstring text = L"A\u00E9\u4E2D\U0001F600z";
  std::string bytes = vq::WideToUtf8(text);
  EXPECT_EQ(bytes, "A\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80z");
  EXPECT_EQ(vq::Utf8ToWide(bytes), text);
}

TEST(Encoding, InvalidUtf8BecomesReplacementCharacters) {
  EXPECT_EQ(vq::Utf8ToWide("a\xFF" "b"), L"a\uFFFDb");
  EXPECT_EQ(vq::Utf8ToWide("ab\xE4\xB8"), L"ab\uFFFD\uFFFD");
  EXPECT_EQ(vq::WideToUtf8(std::wstring(1, static_cast<wchar_t>(0xD800))), "?");
}

// Byte strings around the edges of UTF-8: each is taken or refused alike
// by the check, the decoder, the Win32 conversion and the path conversion.
struct Utf8Case {
  const char* name;
  std::string bytes;
  bool utf8;
};

class StrictUtf8 : public ::testing::TestWithParam<Utf8Case> {};

TEST_P(StrictUtf8, OneRuleForTheCheckEveryConversionAndNames) {
  const Utf8Case& c = GetParam();
  EXPECT_EQ(vq::IsUtf8(c.bytes), c.utf8);
  const std::wstring text = vq::Utf8ToWide(c.bytes);
  EXPECT_EQ(text.find(L'\uFFFD') == std::wstring::npos, c.utf8);
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, c.bytes.data(), int(c.bytes.size()), nullptr, 0) > 0,
            c.utf8);
  bool exact = false;
  vq::PathFromBytes(c.bytes, &exact);
  EXPECT_EQ(exact, c.utf8);
  if (c.utf8) {
    EXPECT_EQ(vq::WideToUtf8(text), c.bytes);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Edges, StrictUtf8,
    ::testing::Values(Utf8Case{"Chinese", "\xE4\xB8\xAD\xE6\x96\x87", true},
                      Utf8Case{"LowestTwoByte", "\xC2\x80", true},
                      Utf8Case{"LastBeforeSurrogates", "\xED\x9F\xBF", true},
                      Utf8Case{"FirstAfterSurrogates", "\xEE\x80\x80", true},
                      Utf8Case{"LowestFourByte", "\xF0\x90\x80\x80", true},
                      Utf8Case{"HighestCodePoint", "\xF4\x8F\xBF\xBF", true},
                      Utf8Case{"AboveHighestCodePoint", "AB\xF4\x90\x80\x80" "CD", false},
                      Utf8Case{"FiveByteForm", "\xF8\x88\x80\x80\x80", false},
                      Utf8Case{"SixByteForm", "\xFC\x84\x80\x80\x80\x80", false},
                      Utf8Case{"HighSurrogate", "\xED\xA0\x80", false},
                      Utf8Case{"LowSurrogate", "\xED\xBF\xBF", false},
                      Utf8Case{"OverlongSlash", "\xC0\xAF", false},
                      Utf8Case{"OverlongThreeByte", "\xE0\x80\xAF", false},
                      Utf8Case{"OverlongFourByte", "\xF0\x8F\xBF\xBF", false},
                      Utf8Case{"LoneContinuation", "a\x80", false},
                      Utf8Case{"CutShort", "\xE4\xB8", false}),
    [](const ::testing::TestParamInfo<Utf8Case>& info) { return std::string(info.param.name); });

TEST(Encoding, WideValuesWithoutAUtf8FormNameNoFile) {
  for (uint32_t value : {0x110000u, 0x7FFFFFFFu, 0xDC00u}) {
    const std::wstring text = L"a" + std::wstring(1, static_cast<wchar_t>(value)) + L"b";
    EXPECT_EQ(vq::WideToUtf8(text), "a?b") << std::hex << value;
    EXPECT_EQ(vq::PathToBytes(text), "") << std::hex << value;
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text.c_str(), 3, nullptr, 0, nullptr, nullptr), 0);
  }
}

TEST(Encoding, GbkBytesOfChineseText) {
  // 上 is C9 CF, 中 is D6 D0 in GBK.
  bool lossless = false;
  EXPECT_EQ(vq::WideToGbk(L"\u4E0A\u4E2Dx", &lossless), "\xC9\xCF\xD6\xD0x");
  EXPECT_TRUE(lossless);
  EXPECT_EQ(vq::GbkToWide("\xC9\xCF\xD6\xD0"), L"\u4E0A\u4E2D");
  EXPECT_EQ(vq::WideToGbk(L"\U0001F600", &lossless), "?");
  EXPECT_FALSE(lossless);
}

TEST(Encoding, MultiByteToWideCharSizesAndTerminators) {
  const char* src = "\xE4\xB8\xAD\xE6\x96\x87";
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, src, -1, nullptr, 0), 3);  // with the zero
  wchar_t out[4] = {1, 1, 1, 1};
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, src, -1, out, 4), 3);
  EXPECT_EQ(std::wstring(out), L"\u4E2D\u6587");
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, src, -1, out, 2), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "\xFF", 1, out, 4), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION));
  EXPECT_EQ(MultiByteToWideChar(CP_GBK, 0, "\xC9\xCF", 2, out, 4), 1);
  EXPECT_EQ(out[0], L'\u4E0A');
  EXPECT_EQ(MultiByteToWideChar(1252, 0, "a", 1, out, 4), 0);
}

TEST(Encoding, WideCharToMultiByteGbkWithDefaultCharacter) {
  char out[16] = {};
  BOOL usedDefault = FALSE;
  int n = WideCharToMultiByte(CP_GBK, 0, L"\u4E2D\U0001F600", -1, out, sizeof out, "*",
                              &usedDefault);
  EXPECT_EQ(n, 4);
  EXPECT_STREQ(out, "\xD6\xD0*");
  EXPECT_TRUE(usedDefault);
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, L"ab", 2, nullptr, 0, nullptr, nullptr), 2);
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, L"\u4E2D", 1, out, 2, nullptr, nullptr), 0);
}

TEST(Encoding, CaseFoldingCoversMoreThanAscii) {
  EXPECT_EQ(vq::ToUpperChar(L'\u00E9'), L'\u00C9');
  EXPECT_TRUE(vq::EqualNoCase(L"Merge", L"MERGE"));
  EXPECT_TRUE(vq::EqualNoCase(L"\u00C9t\u00E9", L"\u00E9T\u00C9"));
  EXPECT_FALSE(vq::EqualNoCase(L"Merge", L"Merg"));
}

}  // namespace

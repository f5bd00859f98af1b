#pragma once
// Text conversions. The layer's "ANSI code page" is UTF-8; GBK (code page
// 936) is there for the few byte strings that must be GBK. Every conversion
// goes through iconv; nothing depends on the C locale.
#include <string>
#include <string_view>

#include "platform/win/WinTypes.h"

#define CP_ACP 0
#define CP_OEMCP 1
#define CP_THREAD_ACP 3
#define CP_GBK 936
#define CP_UTF8 65001

#define MB_PRECOMPOSED 0x00000001
#define MB_ERR_INVALID_CHARS 0x00000008
#define WC_COMPOSITECHECK 0x00000200
#define WC_NO_BEST_FIT_CHARS 0x00000400
#define WC_ERR_INVALID_CHARS 0x00000080

// Win32 conversions. Code pages: CP_ACP, CP_OEMCP, CP_THREAD_ACP and CP_UTF8
// are UTF-8, 936 is GBK. A length of -1 means "up to and including the
// terminating zero". With no output buffer (or size 0) the needed size is
// returned; a buffer that is too small gives 0 and ERROR_INSUFFICIENT_BUFFER.
// Bytes that are not valid in the code page become U+FFFD (or fail with
// MB_ERR_INVALID_CHARS); characters GBK cannot hold become the default
// character ("?" unless given) and set *usedDefaultChar.
int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR src, int srcBytes, LPWSTR dst,
                        int dstChars);
int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR src, int srcChars, LPSTR dst,
                        int dstBytes, LPCSTR defaultChar, BOOL* usedDefaultChar);

namespace vq {

// The one check that bytes are UTF-8 as the standard defines it: no
// surrogates, nothing above U+10FFFF, no overlong forms. Every UTF-8
// conversion below decodes by the same rule.
bool IsUtf8(std::string_view bytes);

// UTF-8 <-> wide; bytes that are not UTF-8 become U+FFFD, and what has no
// UTF-8 form (a surrogate, a value above U+10FFFF) becomes "?".
std::wstring Utf8ToWide(std::string_view bytes);
std::string WideToUtf8(std::wstring_view text);

// GBK <-> wide; invalid bytes become U+FFFD, characters outside GBK become
// '?'. *lossless is false when anything was replaced.
std::wstring GbkToWide(std::string_view bytes, bool* lossless = nullptr);
std::string WideToGbk(std::wstring_view text, bool* lossless = nullptr);

// Letter case over the whole of Unicode, independent of the process locale.
wchar_t ToUpperChar(wchar_t ch);
wchar_t ToLowerChar(wchar_t ch);
// Equal when the texts differ at most in letter case.
bool EqualNoCase(std::wstring_view a, std::wstring_view b);

// The ANSI code page of the layer (UTF-8).
inline std::wstring AnsiToWide(std::string_view bytes) { return Utf8ToWide(bytes); }
inline std::string WideToAnsi(std::wstring_view text) { return WideToUtf8(text); }

}  // namespace vq

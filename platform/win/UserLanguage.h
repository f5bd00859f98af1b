#pragma once
// The user's language for the layer's own words (the buttons of message
// boxes, the property frame): from LC_ALL, LC_MESSAGES or LANG, the first
// that is set; zh_TW and zh_HK are Traditional Chinese, other zh
// Simplified Chinese, anything else English. Read at every call.
namespace vqplatform {

enum class Language { SimplifiedChinese = 0, TraditionalChinese = 1, English = 2 };

Language UserLanguage();

// One of three texts by the user's language.
inline const wchar_t* InUserLanguage(const wchar_t* simplified, const wchar_t* traditional, const wchar_t* english) {
  switch (UserLanguage()) {
    case Language::SimplifiedChinese: return simplified;
    case Language::TraditionalChinese: return traditional;
    default: return english;
  }
}

}  // namespace vqplatform

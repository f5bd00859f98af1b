#include "platform/win/UserLanguage.h"

#include <cstdlib>
#include <string>

namespace vqplatform {

Language UserLanguage() {
  const char* locale = nullptr;
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    locale = std::getenv(name);
    if (locale && *locale) break;
  }
  std::string value = locale ? locale : "";
  if (value.rfind("zh_TW", 0) == 0 || value.rfind("zh_HK", 0) == 0) return Language::TraditionalChinese;
  if (value.rfind("zh", 0) == 0) return Language::SimplifiedChinese;
  return Language::English;
}

}  // namespace vqplatform

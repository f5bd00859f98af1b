#include "app/BarcodeNames.h"

#include <cstdio>
#include <cstring>

#include "platform/win/Encoding.h"

namespace {

constexpr size_t kMaxNameBytes = 200;

void AppendJsonString(std::string& out, const std::string& text) {
  out += '"';
  for (unsigned char c : text) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\b': out += "\\b"; break;
      case '\f': out += "\\f"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20 || c == 0x7f) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
          out += escaped;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  out += '"';
}

}  // namespace

bool BarcodesToJson(const std::vector<std::string>& codes, std::string* text) {
  if (codes.size() < 2 || !text) return false;
  std::string json = "{\"Code\":[";
  for (size_t i = 0; i + 1 < codes.size(); i += 2) {
    if (i > 0) json += ',';
    json += '{';
    AppendJsonString(json, codes[i]);
    json += ':';
    AppendJsonString(json, codes[i + 1]);
    json += '}';
  }
  json += "]}";
  *text = std::move(json);
  return true;
}

std::string Utf8ToAnsi(const std::string& utf8) {
  return vq::WideToAnsi(vq::Utf8ToWide(utf8));
}

bool IsUsableBarcodeName(const std::string& text) {
  if (text.empty() || text.size() > kMaxNameBytes || !vq::IsUtf8(text)) return false;
  if (text.find_first_of(kFileNameForbidden) != std::string::npos) return false;
  if (text.find("..") != std::string::npos) return false;
  for (unsigned char c : text)
    if (c < 0x20 || c == 0x7f) return false;
  const char first = text.front(), last = text.back();
  return first != ' ' && first != '.' && last != ' ' && last != '.';
}

#include "platform/win/IniDocument.h"

#include <cwchar>
#include <utility>

#include "platform/win/Encoding.h"

namespace vq {
namespace {

std::string_view TrimBlanks(std::string_view s) {
  size_t b = s.find_first_not_of(" \t");
  if (b == std::string_view::npos) return {};
  size_t e = s.find_last_not_of(" \t");
  return s.substr(b, e - b + 1);
}

// The name of a "[name]" line, or nullopt for any other line.
std::optional<std::string_view> SectionName(std::string_view line) {
  std::string_view t = TrimBlanks(line);
  if (t.empty() || t.front() != '[') return std::nullopt;
  t.remove_prefix(1);
  size_t close = t.find(']');
  return TrimBlanks(close == std::string_view::npos ? t : t.substr(0, close));
}

bool IsComment(std::string_view trimmed) {
  return !trimmed.empty() && (trimmed.front() == ';' || trimmed.front() == '#');
}

// Key and raw value of a "key=value" line; a line without '=' is a key
// without value; blank and comment lines have no key.
bool SplitKeyLine(std::string_view line, std::string_view& key, std::string_view& value) {
  std::string_view t = TrimBlanks(line);
  if (t.empty() || IsComment(t)) return false;
  size_t eq = t.find('=');
  key = TrimBlanks(t.substr(0, eq));
  value = eq == std::string_view::npos ? std::string_view() : TrimBlanks(t.substr(eq + 1));
  return !key.empty();
}

std::string_view Unquote(std::string_view v) {
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
    return v.substr(1, v.size() - 2);
  return v;
}

bool SameName(std::string_view stored, std::wstring_view wanted) {
  return EqualNoCase(Utf8ToWide(stored), wanted);
}

bool HasLineBreak(const wchar_t* text) { return text && std::wcspbrk(text, L"\r\n"); }

bool IsStorableSection(const wchar_t* name) { return !HasLineBreak(name) && !std::wcschr(name, L']'); }

bool IsStorableKey(const wchar_t* name) {
  std::wstring_view k(name);
  size_t b = k.find_first_not_of(L" \t");
  if (b == std::wstring_view::npos) return false;
  wchar_t first = k[b];
  return !HasLineBreak(name) && !std::wcschr(name, L'=') && first != L'[' && first != L';' && first != L'#';
}

}  // namespace

bool IniDocument::CanStore(const wchar_t* section, const wchar_t* key, const wchar_t* value) {
  return section && IsStorableSection(section) && (!key || IsStorableKey(key)) && !HasLineBreak(value);
}

IniDocument::Line::Line(std::string lineText) : text(std::move(lineText)), header(SectionName(text).has_value()) {}

IniDocument::IniDocument(std::string_view bytes) {
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
    bom_ = true;
    bytes.remove_prefix(3);
  }
  if (bytes.find("\r\n") != std::string_view::npos) eol_ = "\r\n";
  while (!bytes.empty()) {
    size_t nl = bytes.find('\n');
    std::string_view line = bytes.substr(0, nl);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines_.emplace_back(std::string(line));
    if (nl == std::string_view::npos) break;
    bytes.remove_prefix(nl + 1);
  }
}

std::string IniDocument::Serialize() const {
  std::string out = bom_ ? "\xEF\xBB\xBF" : "";
  for (const Line& line : lines_) {
    out += line.text;
    out += eol_;
  }
  return out;
}

std::optional<IniDocument::Span> IniDocument::FindSection(std::wstring_view section) const {
  for (size_t i = 0; i < lines_.size(); ++i) {
    if (!lines_[i].header || !SameName(*SectionName(lines_[i].text), section)) continue;
    size_t end = i + 1;
    while (end < lines_.size() && !lines_[end].header) ++end;
    return Span{i, end};
  }
  return std::nullopt;
}

std::optional<size_t> IniDocument::FindKey(const Span& span, std::wstring_view key) const {
  for (size_t i = span.header + 1; i < span.end; ++i) {
    std::string_view k, v;
    if (SplitKeyLine(lines_[i].text, k, v) && SameName(k, key)) return i;
  }
  return std::nullopt;
}

std::optional<std::wstring> IniDocument::Get(std::wstring_view section,
                                             std::wstring_view key) const {
  auto span = FindSection(section);
  if (!span) return std::nullopt;
  auto index = FindKey(*span, key);
  if (!index) return std::nullopt;
  std::string_view k, v;
  SplitKeyLine(lines_[*index].text, k, v);
  return Utf8ToWide(Unquote(v));
}

std::vector<std::wstring> IniDocument::SectionNames() const {
  std::vector<std::wstring> names;
  for (const Line& line : lines_)
    if (line.header) names.push_back(Utf8ToWide(*SectionName(line.text)));
  return names;
}

std::vector<std::wstring> IniDocument::KeyNames(std::wstring_view section) const {
  std::vector<std::wstring> names;
  auto span = FindSection(section);
  if (!span) return names;
  for (size_t i = span->header + 1; i < span->end; ++i) {
    std::string_view k, v;
    if (SplitKeyLine(lines_[i].text, k, v)) names.push_back(Utf8ToWide(k));
  }
  return names;
}

void IniDocument::Set(std::wstring_view section, std::wstring_view key, std::wstring_view value) {
  std::string valueBytes = WideToUtf8(value);
  auto span = FindSection(section);
  if (!span) {
    lines_.emplace_back("[" + WideToUtf8(section) + "]");
    lines_.emplace_back(WideToUtf8(key) + "=" + valueBytes);
    return;
  }
  if (auto index = FindKey(*span, key)) {
    std::string_view k, v;
    SplitKeyLine(lines_[*index].text, k, v);
    lines_[*index] = Line(std::string(k) + "=" + valueBytes);
    return;
  }
  // After the last line of the section that is not blank.
  size_t at = span->end;
  while (at > span->header + 1 && TrimBlanks(lines_[at - 1].text).empty()) --at;
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), Line(WideToUtf8(key) + "=" + valueBytes));
}

void IniDocument::RemoveKey(std::wstring_view section, std::wstring_view key) {
  auto span = FindSection(section);
  if (!span) return;
  if (auto index = FindKey(*span, key))
    lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(*index));
}

void IniDocument::RemoveSection(std::wstring_view section) {
  auto span = FindSection(section);
  if (!span) return;
  lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(span->header),
               lines_.begin() + static_cast<std::ptrdiff_t>(span->end));
}

}  // namespace vq

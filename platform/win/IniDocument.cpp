#include "platform/win/IniDocument.h"

#include <cwchar>
#include <type_traits>
#include <utility>

#include "platform/win/Encoding.h"

namespace vq {
namespace {

bool IsBlank(char ch) { return ch == ' ' || ch == '\t'; }

std::string_view TrimBlanks(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && IsBlank(s[b])) ++b;
  while (e > b && IsBlank(s[e - 1])) --e;
  return s.substr(b, e - b);
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

// Lower case; ASCII without asking the locale (names are nearly all ASCII).
wchar_t Lower(wchar_t ch) {
  if (ch >= 0x80) return ToLowerChar(ch);
  return ch >= L'A' && ch <= L'Z' ? static_cast<wchar_t>(ch + (L'a' - L'A')) : ch;
}

// FNV-1a of a name's units in lower case, so that most names that differ
// are told apart without comparing them.
template <class Unit>
size_t HashOf(std::basic_string_view<Unit> name) {
  size_t hash = 14695981039346656037ull;
  for (Unit unit : name)
    hash = (hash ^ static_cast<size_t>(Lower(static_cast<wchar_t>(static_cast<std::make_unsigned_t<Unit>>(unit))))) *
           1099511628211ull;
  return hash;
}

bool IsAsciiName(std::string_view name) {
  for (char ch : name)
    if (static_cast<unsigned char>(ch) >= 0x80) return false;
  return true;
}

// The name of a "[name]" or "key=value" line (empty for others), and
// whether the line is a section's.
std::string_view NameOf(std::string_view line, bool* header) {
  const std::string_view t = TrimBlanks(line);
  *header = !t.empty() && t.front() == '[';
  if (*header) return *SectionName(t);
  if (t.empty() || IsComment(t)) return {};
  return TrimBlanks(t.substr(0, t.find('=')));
}

bool HasLineBreak(const wchar_t* text) {
  for (const wchar_t* at = text; at && *at; ++at)
    if (*at == L'\r' || *at == L'\n') return true;
  return false;
}

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

IniDocument::Line::Line(std::string lineText) : text(std::move(lineText)) {
  const std::string_view name = NameOf(text, &header);
  nameAt = name.empty() ? 0 : static_cast<size_t>(name.data() - text.data());
  nameLength = name.size();
  if (!IsAsciiName(name)) {
    wideName = Utf8ToWide(name);
    for (wchar_t& ch : wideName) ch = Lower(ch);
  }
  hash = wideName.empty() ? HashOf(name) : HashOf(std::wstring_view(wideName));
}

struct IniDocument::Wanted {
  explicit Wanted(std::wstring_view wanted) : name(wanted), hash(HashOf(wanted)) {}
  std::wstring_view name;
  size_t hash;
};

bool IniDocument::Line::Is(const Wanted& wanted) const {
  if (nameLength == 0 || hash != wanted.hash) return false;
  if (!wideName.empty()) {
    if (wideName.size() != wanted.name.size()) return false;
    for (size_t i = 0; i < wideName.size(); ++i)
      if (wideName[i] != Lower(wanted.name[i])) return false;
    return true;
  }
  if (nameLength != wanted.name.size()) return false;
  for (size_t i = 0; i < nameLength; ++i)
    if (Lower(static_cast<wchar_t>(text[nameAt + i])) != Lower(wanted.name[i])) return false;
  return true;
}

IniDocument::IniDocument(std::string_view bytes) {
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
    bom_ = true;
    bytes.remove_prefix(3);
  }
  if (bytes.find("\r\n") != std::string_view::npos) eol_ = "\r\n";
  while (!bytes.empty()) {
    size_t nl = bytes.find('\n');
    std::string_view text = bytes.substr(0, nl);
    if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
    Line line{std::string(text)};
    if (line.header) sections_.push_back(Section{std::move(line), {}});
    else sections_.back().lines.push_back(std::move(line));
    if (nl == std::string_view::npos) break;
    bytes.remove_prefix(nl + 1);
  }
}

std::string IniDocument::Serialize() const {
  std::string out = bom_ ? "\xEF\xBB\xBF" : "";
  for (const Section& section : sections_) {
    if (section.header) out += section.header->text + eol_;
    for (const Line& line : section.lines) out += line.text + eol_;
  }
  return out;
}

const IniDocument::Section* IniDocument::FindSection(std::wstring_view section) const {
  const Wanted wanted(section);
  for (const Section& each : sections_)
    if (each.header && each.header->Is(wanted)) return &each;
  return nullptr;
}

IniDocument::Section* IniDocument::FindSection(std::wstring_view section) {
  return const_cast<Section*>(std::as_const(*this).FindSection(section));
}

std::vector<IniDocument::Line>::const_iterator IniDocument::FindKey(const Section& section, std::wstring_view key) {
  const Wanted wanted(key);
  for (auto it = section.lines.begin(); it != section.lines.end(); ++it)
    if (it->Is(wanted)) return it;
  return section.lines.end();
}

std::optional<std::wstring> IniDocument::Get(std::wstring_view section, std::wstring_view key) const {
  const Section* found = FindSection(section);
  if (!found) return std::nullopt;
  const auto line = FindKey(*found, key);
  if (line == found->lines.end()) return std::nullopt;
  std::string_view k, v;
  SplitKeyLine(line->text, k, v);
  return Utf8ToWide(Unquote(v));
}

std::vector<std::wstring> IniDocument::SectionNames() const {
  std::vector<std::wstring> names;
  for (const Section& section : sections_)
    if (section.header) names.push_back(Utf8ToWide(*SectionName(section.header->text)));
  return names;
}

std::vector<std::wstring> IniDocument::KeyNames(std::wstring_view section) const {
  std::vector<std::wstring> names;
  const Section* found = FindSection(section);
  if (!found) return names;
  for (const Line& line : found->lines) {
    std::string_view k, v;
    if (SplitKeyLine(line.text, k, v)) names.push_back(Utf8ToWide(k));
  }
  return names;
}

void IniDocument::Set(std::wstring_view section, std::wstring_view key, std::wstring_view value) {
  std::string valueBytes = WideToUtf8(value);
  Section* found = FindSection(section);
  if (!found) {
    sections_.push_back(Section{Line("[" + WideToUtf8(section) + "]"), {}});
    sections_.back().lines.emplace_back(WideToUtf8(key) + "=" + valueBytes);
    return;
  }
  std::vector<Line>& lines = found->lines;
  if (const auto line = FindKey(*found, key); line != lines.end()) {
    std::string_view k, v;
    SplitKeyLine(line->text, k, v);
    lines[static_cast<size_t>(line - lines.begin())] = Line(std::string(k) + "=" + valueBytes);
    return;
  }
  // After the last line of the section that is not blank.
  auto at = lines.end();
  while (at != lines.begin() && TrimBlanks((at - 1)->text).empty()) --at;
  lines.insert(at, Line(WideToUtf8(key) + "=" + valueBytes));
}

void IniDocument::RemoveKey(std::wstring_view section, std::wstring_view key) {
  Section* found = FindSection(section);
  if (!found) return;
  if (const auto line = FindKey(*found, key); line != found->lines.end()) found->lines.erase(line);
}

void IniDocument::RemoveSection(std::wstring_view section) {
  const Wanted wanted(section);
  for (auto it = sections_.begin(); it != sections_.end(); ++it)
    if (it->header && it->header->Is(wanted)) {
      sections_.erase(it);
      return;
    }
}

}  // namespace vq

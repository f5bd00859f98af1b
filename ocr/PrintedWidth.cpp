#include "ocr/PrintedWidth.h"

#include <vector>

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool IsLookalike(char c) { return c == '0' || c == 'O' || c == 'o' || c == '1' || c == 'l' || c == 'I' || c == '|'; }

// The nearest letter or digit that is no lookalike from position i in
// direction step, within the run of half-width characters; 0 when none.
char Neighbour(const std::vector<std::string>& line, size_t i, int step) {
  for (size_t j = i + step; j < line.size(); j += step) {
    if (line[j].size() != 1) return 0;
    const char c = line[j][0];
    if ((IsDigit(c) || IsLetter(c)) && !IsLookalike(c)) return c;
  }
  return 0;
}

// GBK rows A1 to A9 hold signs and symbols; characters lie above.
bool IsChineseCharacter(const std::string& c) { return c.size() == 2 && static_cast<uint8_t>(c[0]) >= 0xB0; }

// A GBK text's characters, one or two bytes each.
std::vector<std::string> Characters(const std::string& gbk) {
  std::vector<std::string> characters;
  for (size_t i = 0; i < gbk.size();) {
    const size_t length = static_cast<uint8_t>(gbk[i]) >= 0x81 && i + 1 < gbk.size() ? 2 : 1;
    characters.push_back(gbk.substr(i, length));
    i += length;
  }
  return characters;
}

// The full-width (GBK) form of an ASCII sign; empty for letters, digits and
// anything else.
std::string FullWidth(char ascii) {
  if (ascii <= ' ' || ascii > '~' || IsDigit(ascii) || IsLetter(ascii)) return std::string();
  if (ascii == '$') return "\xA1\xE7";
  if (ascii == '~') return "\xA1\xAB";
  return std::string{'\xA3', static_cast<char>(static_cast<uint8_t>(ascii) + 0x80)};
}

}  // namespace

std::string AsPrinted(const std::string& label, bool fullBox) {
  if (label.size() != 2) return label;
  const auto lead = static_cast<uint8_t>(label[0]), trail = static_cast<uint8_t>(label[1]);
  // GBK's full-width forms: row A3 holds "！" to "～" in ASCII's order but
  // for "￥" where "$" would be; "＄" and "～" lie in row A1.
  char ascii = 0;
  if (lead == 0xA3 && trail >= 0xA1 && trail <= 0xFE && trail != 0xA4) ascii = static_cast<char>(trail - 0x80);
  if (lead == 0xA1 && trail == 0xE7) ascii = '$';
  if (lead == 0xA1 && trail == 0xAB) ascii = '~';
  if (!ascii) return label;
  if (IsDigit(ascii) || IsLetter(ascii) || !fullBox) return std::string(1, ascii);
  return label;
}

std::string DropStrayStrokes(const std::string& gbk) {
  static const std::string kStrokes = "lI|!';:jiJ{}[]`";
  const std::vector<std::string> line = Characters(gbk);
  auto stroke = [&](size_t i) { return line[i].size() == 1 && kStrokes.find(line[i][0]) != std::string::npos; };
  std::string out;
  for (size_t i = 0; i < line.size();) {
    // A run of strokes with a Chinese character or the line's end on either
    // side, and a Chinese character on one.
    size_t end = i;
    while (end < line.size() && stroke(end)) ++end;
    const bool before = i == 0 || IsChineseCharacter(line[i - 1]), after = end == line.size() || IsChineseCharacter(line[end]);
    const bool beside = (i > 0 && IsChineseCharacter(line[i - 1])) || (end < line.size() && IsChineseCharacter(line[end]));
    if (end > i && before && after && beside) {
      i = end;
      continue;
    }
    for (size_t k = i; k < std::max(end, i + 1); ++k) out += line[k];
    i = std::max(end, i + 1);
  }
  return out;
}

std::string SettleLineEnds(const std::string& gbk) {
  std::vector<std::string> line = Characters(gbk);
  for (size_t end : {size_t{0}, line.size() - 1}) {
    if (line.size() < 2 || line[end].size() != 1) continue;
    const std::string full = FullWidth(line[end][0]);
    if (!full.empty() && IsChineseCharacter(line[end == 0 ? 1 : end - 1])) line[end] = full;
  }
  std::string out;
  for (const std::string& c : line) out += c;
  return out;
}

std::string SettleLookalikes(const std::string& gbk) {
  std::vector<std::string> line = Characters(gbk);
  auto lower = [](char c) { return c >= 'a' && c <= 'z'; };
  auto upper = [](char c) { return c >= 'A' && c <= 'Z'; };
  std::string out;
  for (size_t i = 0; i < line.size(); ++i) {
    std::string& c = line[i];
    if (c.size() == 1 && IsLookalike(c[0])) {
      const char before = Neighbour(line, i, -1), after = Neighbour(line, i, 1);
      const bool round = c[0] == '0' || c[0] == 'O' || c[0] == 'o';
      const bool anyLower = lower(before) || lower(after), anyUpper = upper(before) || upper(after);
      // A small circle after a Chinese character, before another or at the
      // line's end, is the full stop (which never starts a line).
      const bool chineseBefore = i > 0 && IsChineseCharacter(line[i - 1]);
      const bool chineseAfter = i + 1 < line.size() && IsChineseCharacter(line[i + 1]);
      if (c == "o" && chineseBefore && (chineseAfter || i + 1 == line.size())) {
        c = "\xA1\xA3";
      } else if ((before || after) && (!before || IsDigit(before)) && (!after || IsDigit(after))) {
        c = round ? "0" : "1";
      } else if ((before || after) && (!before || IsLetter(before)) && (!after || IsLetter(after))) {
        // Letters: a digit or bar takes their case; a capital I among
        // lower-case letters is an l, an l among capitals an I.
        if (c[0] == '0') c = anyLower ? "o" : "O";
        else if (c[0] == '1' || c[0] == '|') c = anyLower ? "l" : "I";
        else if (c[0] == 'I' && anyLower && !anyUpper) c = "l";
        else if (c[0] == 'l' && anyUpper && !anyLower) c = "I";
      }
    }
    out += c;
  }
  return out;
}

#pragma once
// The text of one INI file as lines, with lookups and edits that keep every
// line they do not touch (comments, blank lines, unknown sections and keys)
// as it was. Section and key names match without regard to letter case.
// The bytes are 8-bit text in the ANSI code page (UTF-8).
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vq {

class IniDocument {
 public:
  IniDocument() = default;
  explicit IniDocument(std::string_view bytes);

  std::string Serialize() const;

  // The value of a key, without surrounding blanks and one pair of matching
  // quotes; nullopt when the section or key is absent.
  std::optional<std::wstring> Get(std::wstring_view section, std::wstring_view key) const;
  std::vector<std::wstring> SectionNames() const;
  std::vector<std::wstring> KeyNames(std::wstring_view section) const;

  // Whether a section name, a key name (null: none) and a value (null:
  // none) can be stored on their lines and read back as they are.
  static bool CanStore(const wchar_t* section, const wchar_t* key, const wchar_t* value);

  // Replaces the value in place, or appends the key at the end of its
  // section, or appends the section at the end of the text.
  void Set(std::wstring_view section, std::wstring_view key, std::wstring_view value);
  void RemoveKey(std::wstring_view section, std::wstring_view key);
  void RemoveSection(std::wstring_view section);

 private:
  struct Wanted;  // a name looked up
  struct Line {
    explicit Line(std::string lineText);
    // Whether its name (of a section or key line) is the one a lookup wants,
    // without regard to case.
    bool Is(const Wanted& wanted) const;
    std::string text;  // without the line break
    bool header = false;  // a "[name]" line
    // Where its name lies in the text, a name beyond ASCII converted and in
    // lower case, and the lower-case name's hash: found once, so lookups
    // neither parse nor convert again.
    size_t nameAt = 0;
    size_t nameLength = 0;
    std::wstring wideName;
    size_t hash = 0;
  };
  // A "[name]" line and the lines up to the next one; the lines before the
  // first header form a section without header that no lookup finds.
  struct Section {
    std::optional<Line> header;
    std::vector<Line> lines;
  };
  Section* FindSection(std::wstring_view section);
  const Section* FindSection(std::wstring_view section) const;
  static std::vector<Line>::const_iterator FindKey(const Section& section, std::wstring_view key);

  std::vector<Section> sections_{Section{}};
  std::string eol_ = "\n";
  bool bom_ = false;
};

}  // namespace vq

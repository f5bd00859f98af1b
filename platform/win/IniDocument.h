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
  struct Line {
    explicit Line(std::string lineText);
    std::string text;  // without the line break
    // A "[name]" line: known without looking at the text again, so a
    // lookup in a file of many lines stays quick.
    bool header;
  };
  struct Span {
    size_t header;  // index of the "[name]" line
    size_t end;     // one past the last line of the section
  };
  std::optional<Span> FindSection(std::wstring_view section) const;
  std::optional<size_t> FindKey(const Span& span, std::wstring_view key) const;

  std::vector<Line> lines_;
  std::string eol_ = "\n";
  bool bom_ = false;
};

}  // namespace vq

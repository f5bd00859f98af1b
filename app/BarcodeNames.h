#pragma once
// Barcode texts turned into file names and into the barcode text file.
// Lists hold pairs: [type name, decoded text] one after the other, as
// DecodeBarcodes gives them; texts are UTF-8.
#include <string>
#include <vector>

// The characters a code text used as a file name may not contain.
inline constexpr const char* kFileNameForbidden = "\\/:*?\"<>|";

// {"Code":[{"<type>":"<text>"},...]} on one line, with quotes, backslashes
// and control characters escaped as JSON asks. False (text untouched) for an
// empty list.
bool BarcodesToJson(const std::vector<std::string>& codes, std::string* text);

// A UTF-8 text in the system's ANSI code page.
std::string Utf8ToAnsi(const std::string& utf8);

// True when the text can be a file name as it is: not empty, at most 200
// bytes, valid UTF-8, none of kFileNameForbidden, no control character, no
// "..", not starting or ending with a blank or a dot.
bool IsUsableBarcodeName(const std::string& text);

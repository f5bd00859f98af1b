#pragma once
// Text records of a model file and the letter-case rules for their names.
// Case folding is ASCII-only: label bytes are GBK and never folded.
#include <string>
#include <string_view>

#include "ocr/OCRMatrix.h"

// A record of bytes with exactly one row.
bool IsTextRecord(const OCRMatrix* m);
// The bytes of a text record (empty for anything else).
std::string RecordText(const OCRMatrix* m);
bool EqualsNoCase(std::string_view a, std::string_view b);
bool StartsWithNoCase(std::string_view text, std::string_view prefix);

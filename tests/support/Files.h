#pragma once
// Files the programs under test leave: found by the pattern of their names.
#include <filesystem>
#include <string>
#include <vector>

namespace vqtest {

// The names in a folder that match the pattern (a whole-name ECMAScript
// regular expression; every name when empty), sorted; none when the folder
// cannot be read.
std::vector<std::string> NamesIn(const std::filesystem::path& folder, const std::string& pattern = "");
// The paths of the entries in a folder, or anywhere below it, whose names
// match the pattern, sorted.
std::vector<std::filesystem::path> FilesMatching(const std::filesystem::path& folder, const std::string& pattern,
                                                 bool recursive = false);
// A stand-in for the desktop's opener in `bin` (put first on PATH): it
// appends each file it is asked to open to a line of `bin`/opened.
void UseStandInOpener(const std::filesystem::path& bin);
// The lines of a text file, without their ends.
std::vector<std::string> LinesOf(const std::filesystem::path& file);

}  // namespace vqtest

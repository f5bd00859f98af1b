#pragma once
// Per-test environment: the shared test main gives every test a temporary
// folder of its own and points HOME, XDG_RUNTIME_DIR, VQ_PROGRAM_DIR and
// VQ_COMMON_APPDATA into it, so parallel tests never share a file.
#include <chrono>
#include <filesystem>
#include <string>

namespace vqtest {

// How long a test waits for a condition before it calls the wait failed:
// long enough for a sanitizer build on a machine whose cores are all busy.
// A wait ends as soon as its condition holds, so this costs nothing when
// things work.
inline constexpr std::chrono::seconds kPatience{180};

// The current test's temporary folder (empty outside a test).
const std::filesystem::path& TempDir();

// A path inside the current test's temporary folder.
std::filesystem::path TempPath(const std::string& name);

// The repository's root folder (for committed test data).
std::filesystem::path SourceDir();

// Writes bytes to a file; returns false on failure.
bool WriteFile(const std::filesystem::path& path, const std::string& bytes);

// Reads a whole file; empty when it cannot be read.
std::string ReadFile(const std::filesystem::path& path);

namespace detail {
// A fresh folder for the current test, with the environment pointed into
// it (the test main's work at every test's start); made inside `within`
// when given (a child process's folder inside its parent test's).
void EnterNewTestFolder(const char* within = nullptr);
// Removes the current test's folder, or keeps it and prints where.
void LeaveTestFolder(bool keep);
}  // namespace detail

}  // namespace vqtest

#pragma once
// Work files: a file is first written under a hidden name beside its
// target, then renamed over it once complete, so nobody ever sees half a
// file under the real name. The hidden name carries the writing process's
// id and start time: what a program left behind when it was killed
// mid-write can be told from a file another running program is still
// writing, even where the next start gets the same process id.
#include <string>

namespace vq {

// A fresh work-file path beside `target` (same folder, same extension, so
// writers that pick the format by name still work):
// "<folder>/.<name>.<pid>-<n>-<t>-s<start>.tmp<extension>". Long names are shortened
// so the work name stays within the file system's name limit.
std::string WorkFileNameBeside(const std::string& target);

// Whether a file name (no folder) is a work file whose writer no longer runs.
bool IsLeftoverWorkFile(const std::string& name);

// Removes the leftover work files of a folder (not of its subfolders);
// returns how many went.
int RemoveLeftoverWorkFiles(const std::string& folder);

// A long write (a recording) goes on under a hidden name beside its target
// that keeps the target's name whole, so that what a killed writer left can
// still be put under its name: "<folder>/.<name>.<pid>-s<start>.recording". Empty
// when that name would be longer than the file system takes.
std::string RecordingNameBeside(const std::string& target);

// Whether a file name (no folder) is such a recording whose writer no longer
// runs; *target receives the name (no folder) it was meant to have.
bool IsLeftoverRecording(const std::string& name, std::string* target);

}  // namespace vq

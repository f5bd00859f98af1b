#pragma once
// Recordings that were not finished (the program was killed, the disk
// filled): never an unplayable file under a recording's name. A recording
// is written under a hidden name (imaging/WorkFiles.h) and takes its own
// name only once complete; what a killed writer left is rewritten complete
// from the packets it holds, or, when it holds none that can be read, kept
// under a name that says it was cut short. A complete recording is put
// under its name by MoveToFreeName (imaging/ReplacingFile.h).
#include <string>

namespace vq::dshow {

// Settles a recording that was not finished: the packets it holds are
// written into a complete file under `target` (or a free name beside it)
// and the work file goes; without a readable packet the work file is kept
// as "<name>.cut-short.asf" (or a free name beside it). The path it got;
// empty when nothing could be done (the work file stays).
std::string SettleCutShortRecording(const std::string& work, const std::string& target);

// Settles every recording in `folder` whose writer no longer runs; returns
// how many were settled.
int SettleCutShortRecordings(const std::string& folder);

}  // namespace vq::dshow

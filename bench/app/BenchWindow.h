#pragma once
// What the main-window benchmarks share: per-run folders with a data file
// listing the virtual camera pair, the pair plugged in, and a message pump.
#include <functional>
#include <string>

class CVorquellDlg;

// A program folder with the data file and a Sys.ini of the capture size and
// `moreSettings`; home and per-machine folders beside it; no display.
void PrepareBenchFolders(int width, int height, const std::string& moreSettings = "");
void PlugVirtualPair();
// Dispatches messages until `done` holds; false after 20 seconds.
bool PumpUntil(const std::function<bool()>& done);
// The window has processed a preview frame once it can hand one out.
bool FirstFrameShown(CVorquellDlg& window);
// Creates the window (its start-up) and pumps until its first preview frame;
// false when none came.
bool StartedLive(CVorquellDlg& window);

#pragma once
// The exported entry of the data source and the module around it: the list
// that gives every host its own data source object, and the module object
// whose end releases the manager binding. The module ends once, at the
// process's exit or its unload, before anything process-wide it uses goes:
// every open source ends as a close would, then its thread and the layer's
// workers stop.
#include <list>
#include <memory>

#include "platform/twain/Twain.h"

class CTWAINDS_Base;

extern "C" TW_UINT16 DS_Entry(TW_IDENTITY* origin, TW_UINT32 DG, TW_UINT16 DAT, TW_UINT16 MSG,
                              TW_MEMREF data);

struct DSInstanceEntry {
  TW_IDENTITY app;
  std::unique_ptr<CTWAINDS_Base> ds;
};

class CStrenvikApp {
 public:
  CStrenvikApp();
  bool InitInstance();
  int ExitInstance();
};

// Number of open data source objects (hosts with an open source).
size_t OpenDataSourceCount();
// Whether the data source's user-interface thread is running.
bool IsDataSourceThreadRunning();
// Whether this process is a forked child of the host that loaded the
// library: it has none of the source's threads, so the source neither runs
// there nor waits for anything of its own as the child ends.
bool InForkedChild();

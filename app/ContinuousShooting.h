#pragma once
// The continuous-shooting dialog as the main window keeps it: a modeless
// dialog whose new-document thread uses a capture controller, so the thread
// is stopped before the dialog or that controller goes away.
#include "platform/mfc/CDialog.h"

class CContinuousShooting : public CDialog {
 public:
  using CDialog::CDialog;
  // Sets the thread's stop event and waits until the thread has ended;
  // false when it still runs after `patienceMs` (the program's exit): the
  // dialog and its controller must then outlive it.
  virtual bool StopInspectThread(DWORD patienceMs) = 0;
};

// The names of captures and the watermark text of the settings record.
#include "app/FileNaming.h"
#include "app/IniFile.h"
#include "app/SysSettings.h"
#include "platform/win/Clock.h"
#include "platform/win/Dialog.h"
#include "platform/win/KnownFolders.h"
#include "ui/CustomFileNameDlg.h"

namespace {

// Makes the current folder again when it went away, then picks a base that
// names no earlier capture (nor, for a work name, one given out before).
CString Finish(const CString& currentFolder, const CString& base, bool claim = false) {
  if (!FolderExists(currentFolder)) CreateFolderChain(base);
  return claim ? ClaimUnusedBasePath(base) : UnusedBasePath(base);
}

}  // namespace

void CSysSettings::MakeFileName(CString& fileName) const {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  CString name;
  switch (nameType) {
    case 0: name = prefix + CounterText(imageIndex); break;
    case 1: name = DateText(now) + TimeText(now); break;
    case 2: {
      CCustomFileNameDlg dialog(nullptr, 0, language);
      if (dialog.DoModal() == IDOK) name = dialog.GetName();
      break;
    }
    default: break;
  }
  if (name.IsEmpty()) {
    fileName.Empty();
    return;
  }
  fileName = Finish(currentFolder, vq::JoinPath(currentFolder, name));
}

CString CSysSettings::MakeWorkFileName() const {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  CString name = L"Tmp" + DateText(now) + TimeText(now);
  return Finish(currentFolder, vq::JoinPath(currentFolder, name), true);
}

CString CSysSettings::GetWatermarkText() const {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  CString time;
  time.Format(L"%04d/%02d/%02d-%02d:%02d:%02d", now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute,
              now.wSecond);
  if (dateMark && customMark) return time + L" " + markName;
  if (dateMark) return time;
  if (customMark) return markName;
  return CString();
}

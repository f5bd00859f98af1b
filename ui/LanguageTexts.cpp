#include "ui/LanguageTexts.h"

void SetControlTexts(CWnd& window, int language, std::span<const ControlText> texts) {
  if (language != 1 && language != 2) return;
  for (const ControlText& item : texts) window.SetDlgItemText(item.id, item.text.In(language));
}

void FillComboBox(CComboBox& box, int language, std::span<const LanguageText> entries) {
  box.ResetContent();
  for (const LanguageText& entry : entries) box.AddString(entry.In(language));
}

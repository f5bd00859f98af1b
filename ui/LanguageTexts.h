#pragma once
// Texts of the dialogs in the three languages: 0 Simplified Chinese (the
// templates' own texts), 1 Traditional Chinese, 2 English.
#include <span>

#include "platform/mfc/ControlClasses.h"

struct LanguageText {
  const wchar_t* simplified;
  const wchar_t* traditional;
  const wchar_t* english;
  // Any language but 1 and 2 reads the Simplified Chinese text.
  const wchar_t* In(int language) const {
    return language == 1 ? traditional : (language == 2 ? english : simplified);
  }
};

struct ControlText {
  int id;
  LanguageText text;
};

// Gives the window's controls their texts in languages 1 and 2; any other
// language keeps the template's.
void SetControlTexts(CWnd& window, int language, std::span<const ControlText> texts);
// Empties a list box and adds the entries in a language.
void FillComboBox(CComboBox& box, int language, std::span<const LanguageText> entries);

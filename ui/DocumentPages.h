#pragma once
// The pages of a multipage document (PDF or TIFF) as it is about to be
// written: the page files that can no longer be read (replaced, emptied,
// cut short, too large for the picture budget, or for a PDF page) are
// named to the user before anything is written, and left out only when the
// user says so; a document that is not written is said to be not written.
#include <vector>

#include "platform/mfc/CString.h"
#include "platform/win/WinTypes.h"

// Which pages to write. A page cannot be read when the guarded picture
// loader refuses it, or, for a PDF, when its picture cannot be a page (a
// side outside 3 to 14400). Every page can be read: true, none left out.
// Otherwise the unreadable ones are named in a question over `owner` in
// `language`: Yes gives true with them in *leftOut, No gives false (nothing
// is to be written, every page stays collected). With nobody to ask
// (`mayAsk` false) they are left out without a question. When no page can
// be read the result is false, and a message (when one may be shown) names
// them and says that `document` was not written.
bool ChooseReadablePages(HWND owner, bool mayAsk, int language, const std::vector<CString>& pages, bool pdf,
                         const CString& document, std::vector<size_t>* leftOut);

// Tells `owner` that the document at `document` was not written and its
// pages stay collected.
void ReportDocumentNotSaved(HWND owner, int language, const CString& document);

// The pages as one PDF at `document` (its extension made ".pdf"), one page
// per file in order; false when nothing was written.
bool WritePdfDocument(const CString& document, const std::vector<CString>& pages);

// The pages as one multipage TIFF at `document`, page i of type types[i]
// (one type a page), at a resolution and JPEG quality; an older file of that name is replaced
// only by a complete document. False when nothing was written.
bool WriteTiffDocument(const CString& document, const std::vector<CString>& pages, const std::vector<int>& types,
                       int xDpi, int yDpi, int jpegQuality);

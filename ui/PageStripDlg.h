#pragma once
// What the two page-strip dialogs share: a modeless, slightly see-through
// dialog that collects page files for one document (PDF or multipage
// TIFF). A strip of four numbered thumbnails shows four pages at a time;
// "<" and ">" page through them; a page's context menu deletes it or moves
// it before another page; "Combine" writes the document and closes. Closing
// posts WM_MULTIPAGE_CLOSED to the owner, which then deletes the dialog;
// the page files still listed go with it unless the settings keep merge
// sources.
#include <vector>

#include "app/SysSettings.h"
#include "imaging/TiffPageEncoding.h"
#include "platform/mfc/CDialog.h"
#include "platform/mfc/CString.h"
#include "ui/ThumbItem.h"

// Posted to the owner when the dialog closes, wParam 0, lParam 0.
#define WM_MULTIPAGE_CLOSED (WM_USER + 0x31)

class CPageStripDlg : public CDialog {
 public:
  static constexpr int kItemCount = 4;
  static constexpr int kItemTop = 30;
  static constexpr int kItemGap = 5;

  ~CPageStripDlg() override;

  // Shows the pages from `start` on in the strip, or the last ones for a
  // negative start; nothing when start is past the last page.
  void ShowPages(int start);
  bool IsClosed() const { return closed_; }

  // Collected pages are never dropped without the user's say. Before the
  // owner closes the dialog (clearing its box, or its own exit) it asks
  // here: with pages not yet written, one question in `language` over
  // `owner`: Yes writes the document (pages that cannot be read are named
  // first; keeping them, or a failure, which is shown, means to stay), No
  // discards the pages, Cancel stays.
  enum class CloseAnswer { kWritten, kDiscarded, kStay };
  CloseAnswer AskBeforeClosing(HWND owner, int language);
  // When nobody can be asked (the session ends): the document is written
  // from the pages that can be read, or, when it cannot be, the page files
  // are left on disk.
  void SaveBeforeForcedClose();
  const std::vector<CThumbItem*>& Items() const { return items_; }

  // Set by the owner.
  CSysSettings settings;
  // The document to write (".pdf" or ".tif").
  CString outputPath;
  // The page files in document order, and (TIFF only) the colour mode of
  // each (0 colour, 1 grey, 2 black-and-white).
  std::vector<CString> pages;
  std::vector<int> pageTypes;
  int mode;  // 0 PDF, 1 multipage TIFF

 protected:
  CPageStripDlg(UINT templateId, CWnd* parent, int mode, int itemLeft);
  // FALSE: it gives the focus to "Combine" itself.
  BOOL OnInitDialog() override;
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
  // Return and Esc do what the dialog's buttons do: Return presses the
  // default button, "Combine" (the focus starts on it), Esc "Cancel".
  void OnOK() override { OnSave(); }
  void OnCancel() override { OnCancelButton(); }
  // The resolution and JPEG quality of the TIFF document's pages.
  virtual vq::TiffPageFormat TiffFormat() const = 0;
  DECLARE_MESSAGE_MAP()

  void OnPreviousPage();
  void OnNextPage();
  void OnSave();
  void OnCancelButton();
  void OnClose();
  void OnDeletePage();
  LRESULT OnThumbNotify(WPARAM wParam, LPARAM lParam);
  void OnPaint();
  void OnLButtonDown(UINT flags, CPoint point);
  void OnLButtonUp(UINT flags, CPoint point);
  void OnRButtonDown(UINT flags, CPoint point);

  // Page index shown in the first picture (-1 when empty).
  int FirstShown() const { return items_.empty() ? -1 : items_.front()->m_index; }
  bool PagesOverflow() const { return !items_.empty() && items_.size() < pages.size(); }
  // Moves page `from` before page `before` (indices of the list as it is).
  void MovePage(int from, int before);
  // The TIFF page type of a page: its recorded colour mode.
  int PageType(size_t page) const;

  int language_ = 0;  // of the messages: 0, 1, 2

  std::vector<CThumbItem*> items_;
  CPoint mousePoint_{0, 0};
  int menuItem_ = 0;

 private:
  // The document from the pages, true also when there are none. Pages that
  // cannot be read are named to `owner` first (without a question when
  // `mayAsk` is false); the user keeping them, or none readable, writes
  // nothing (kKept). Pages left out stay on disk and leave the list; a
  // failure (kFailed, not yet reported) keeps every page.
  enum class WriteResult { kWritten, kKept, kFailed };
  WriteResult WriteDocument(HWND owner, int language, bool mayAsk);
  // The page index of the picture whose menu is open; -1 when none.
  int MenuPage() const;
  void DeleteItems();

  int itemLeft_;
  bool closed_ = false;
};

// Image lists: each picture is a 24-bit DIB section of the list's size,
// copied from the bitmaps added and drawn with a plain blit.
#include <map>
#include <mutex>
#include <vector>

#include "platform/win/Controls.h"
#include "platform/win/GdiBlit.h"
#include "platform/win/GdiDc.h"
#include "platform/win/GdiObjects.h"

namespace {

struct ImageListData {
  int width = 0;
  int height = 0;
  std::vector<HBITMAP> pictures;
};

std::mutex mutex;
std::map<uintptr_t, ImageListData> lists;
uintptr_t nextHandle = 0x4C000;

ImageListData* Find(HIMAGELIST list) {
  auto found = lists.find(reinterpret_cast<uintptr_t>(list));
  return found == lists.end() ? nullptr : &found->second;
}

// A copy of the part of `source` at (x, 0) in the list's size.
HBITMAP CopyPicture(HBITMAP source, int x, int width, int height) {
  void* bits = nullptr;
  HBITMAP picture = vqplatform::CreateTopDownDib24(nullptr, width, height, &bits);
  if (!picture) return nullptr;
  HDC from = CreateCompatibleDC(nullptr), to = CreateCompatibleDC(nullptr);
  HGDIOBJ oldFrom = SelectObject(from, source), oldTo = SelectObject(to, picture);
  BitBlt(to, 0, 0, width, height, from, x, 0, SRCCOPY);
  SelectObject(from, oldFrom);
  SelectObject(to, oldTo);
  DeleteDC(from);
  DeleteDC(to);
  return picture;
}

}  // namespace

HIMAGELIST ImageList_Create(int width, int height, UINT, int, int) {
  if (width <= 0 || height <= 0) return nullptr;
  std::lock_guard lock(mutex);
  uintptr_t handle = ++nextHandle;
  lists[handle] = ImageListData{width, height, {}};
  return reinterpret_cast<HIMAGELIST>(handle);
}

BOOL ImageList_Destroy(HIMAGELIST list) {
  std::lock_guard lock(mutex);
  ImageListData* data = Find(list);
  if (!data) return FALSE;
  for (HBITMAP picture : data->pictures) DeleteObject(picture);
  lists.erase(reinterpret_cast<uintptr_t>(list));
  return TRUE;
}

int ImageList_Add(HIMAGELIST list, HBITMAP image, HBITMAP) {
  std::lock_guard lock(mutex);
  ImageListData* data = Find(list);
  BITMAP info{};
  if (!data || !image || !GetObjectW(image, sizeof info, &info) || info.bmWidth < data->width) return -1;
  const int first = static_cast<int>(data->pictures.size());
  for (int x = 0; x + data->width <= info.bmWidth; x += data->width) {
    HBITMAP picture = CopyPicture(image, x, data->width, data->height);
    if (!picture) return -1;
    data->pictures.push_back(picture);
  }
  return first;
}

BOOL ImageList_Remove(HIMAGELIST list, int index) {
  std::lock_guard lock(mutex);
  ImageListData* data = Find(list);
  if (!data || index < -1 || index >= static_cast<int>(data->pictures.size())) return FALSE;
  if (index == -1) {
    for (HBITMAP picture : data->pictures) DeleteObject(picture);
    data->pictures.clear();
    return TRUE;
  }
  DeleteObject(data->pictures[static_cast<size_t>(index)]);
  data->pictures.erase(data->pictures.begin() + index);
  return TRUE;
}

int ImageList_GetImageCount(HIMAGELIST list) {
  std::lock_guard lock(mutex);
  ImageListData* data = Find(list);
  return data ? static_cast<int>(data->pictures.size()) : 0;
}

BOOL ImageList_GetIconSize(HIMAGELIST list, int* width, int* height) {
  std::lock_guard lock(mutex);
  ImageListData* data = Find(list);
  if (!data || !width || !height) return FALSE;
  *width = data->width;
  *height = data->height;
  return TRUE;
}

BOOL ImageList_Draw(HIMAGELIST list, int index, HDC dc, int x, int y, UINT) {
  std::lock_guard lock(mutex);
  ImageListData* data = Find(list);
  if (!data || index < 0 || index >= static_cast<int>(data->pictures.size())) return FALSE;
  HDC from = CreateCompatibleDC(dc);
  HGDIOBJ old = SelectObject(from, data->pictures[static_cast<size_t>(index)]);
  BOOL drawn = BitBlt(dc, x, y, data->width, data->height, from, 0, 0, SRCCOPY);
  SelectObject(from, old);
  DeleteDC(from);
  return drawn;
}

// Pictures from resources. JPEGs are decoded by the system's OLE picture
// loader, which also reads GIF and BMP files; the decoded bitmap is copied,
// since the picture object owns its own.
#include "platform/gui/win32/picture.h"

#include <ole2.h>
#include <olectl.h>

namespace platform::gui::win32 {

bool Picture::load(int resourceId, int iconSize) {
  release();
  if (resourceId == 0) return false;
  HINSTANCE module = GetModuleHandleW(nullptr);
  LPCWSTR name = MAKEINTRESOURCEW(resourceId);
  if (FindResourceW(module, name, MAKEINTRESOURCEW(2) /* RT_BITMAP */)) {
    bitmap_ = static_cast<HBITMAP>(LoadImageW(module, name, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  } else if (FindResourceW(module, name, MAKEINTRESOURCEW(14) /* RT_GROUP_ICON */)) {
    icon_ = static_cast<HICON>(LoadImageW(module, name, IMAGE_ICON, iconSize, iconSize, iconSize ? 0 : LR_DEFAULTSIZE));
    if (icon_) width_ = height_ = iconSize ? iconSize : GetSystemMetrics(SM_CXICON);
    return icon_ != nullptr;
  } else {
    return loadStoredFile(resourceId);
  }
  if (!bitmap_) return false;
  BITMAP info{};
  GetObjectW(bitmap_, sizeof info, &info);
  width_ = info.bmWidth;
  height_ = info.bmHeight;
  return true;
}

bool Picture::loadStoredFile(int resourceId) {
  HINSTANCE module = GetModuleHandleW(nullptr);
  HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(resourceId), MAKEINTRESOURCEW(10) /* RT_RCDATA */);
  if (!found) return false;
  DWORD size = SizeofResource(module, found);
  const void* bytes = LockResource(LoadResource(module, found));
  if (!bytes || size == 0) return false;
  HGLOBAL copy = GlobalAlloc(GMEM_MOVEABLE, size);
  if (!copy) return false;
  CopyMemory(GlobalLock(copy), bytes, size);
  GlobalUnlock(copy);
  IStream* stream = nullptr;
  if (FAILED(CreateStreamOnHGlobal(copy, TRUE, &stream))) {
    GlobalFree(copy);
    return false;
  }
  IPicture* picture = nullptr;
  HRESULT hr = OleLoadPicture(stream, static_cast<LONG>(size), FALSE, IID_IPicture, reinterpret_cast<void**>(&picture));
  stream->Release();
  if (FAILED(hr) || !picture) return false;
  OLE_HANDLE handle = 0;
  short type = PICTYPE_NONE;
  picture->get_Type(&type);
  if (type == PICTYPE_BITMAP && SUCCEEDED(picture->get_Handle(&handle)))
    bitmap_ = static_cast<HBITMAP>(CopyImage(reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(handle)), IMAGE_BITMAP, 0,
                                             0, LR_CREATEDIBSECTION));
  picture->Release();
  if (!bitmap_) return false;
  BITMAP info{};
  GetObjectW(bitmap_, sizeof info, &info);
  width_ = info.bmWidth;
  height_ = info.bmHeight;
  return true;
}

void Picture::release() {
  if (bitmap_) DeleteObject(bitmap_);
  if (icon_) DestroyIcon(icon_);
  bitmap_ = nullptr;
  icon_ = nullptr;
  width_ = height_ = 0;
}

void Picture::draw(HDC dc, const RECT& r) const {
  if (icon_) {
    DrawIconEx(dc, r.left, r.top, icon_, width_, height_, 0, nullptr, DI_NORMAL);
    return;
  }
  if (!bitmap_) return;
  HDC source = CreateCompatibleDC(dc);
  HGDIOBJ old = SelectObject(source, bitmap_);
  SetStretchBltMode(dc, HALFTONE);
  SetBrushOrgEx(dc, 0, 0, nullptr);
  StretchBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, source, 0, 0, width_, height_, SRCCOPY);
  SelectObject(source, old);
  DeleteDC(source);
}

}  // namespace platform::gui::win32

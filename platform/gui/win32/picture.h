#pragma once
// A picture of the executable's resources, by id: a bitmap (BITMAP), an icon
// (ICON) or a JPEG, GIF or BMP file stored as RCDATA.
#include <windows.h>

namespace platform::gui::win32 {

class Picture {
public:
  Picture() = default;
  explicit Picture(int resourceId, int iconSize = 0) { load(resourceId, iconSize); }
  ~Picture() { release(); }
  Picture(const Picture&) = delete;
  Picture& operator=(const Picture&) = delete;

  // iconSize picks the image of an icon resource (0: the system's large size).
  bool load(int resourceId, int iconSize = 0);
  void release();
  bool empty() const { return !bitmap_ && !icon_; }
  int width() const { return width_; }
  int height() const { return height_; }
  HBITMAP bitmap() const { return bitmap_; }
  // Stretched over `r`; an icon keeps its own size and sits at the top left.
  void draw(HDC dc, const RECT& r) const;

private:
  bool loadStoredFile(int resourceId);
  HBITMAP bitmap_ = nullptr;
  HICON icon_ = nullptr;
  int width_ = 0, height_ = 0;
};

}  // namespace platform::gui::win32

// Shape box: a rectangle (optionally filled) or a line along its long side.
#include "platform/gui/win32/kinds.h"

namespace platform::gui::win32 {

void ShapeBoxPeer::paint(HDC dc, const RECT& client) {
  const auto& s = node_.spec;
  HPEN pen = CreatePen(PS_SOLID, std::max(s.lineWidth, 1), colourOr(s.lineColour, COLOR_WINDOWTEXT));
  HGDIOBJ oldPen = SelectObject(dc, pen);
  if (s.shape == ShapeForm::Rectangle) {
    if (s.filled) FillRect(dc, &client, backBrush());
    HGDIOBJ oldBrush = SelectObject(dc, s.filled ? backBrush() : GetStockObject(NULL_BRUSH));
    Rectangle(dc, client.left, client.top, client.right, client.bottom);
    SelectObject(dc, oldBrush);
  } else {
    // The control's own background shows through except where the line is.
    HWND parent = GetParent(hwnd_);
    HBRUSH parentBack = reinterpret_cast<HBRUSH>(GetClassLongPtrW(parent, GCLP_HBRBACKGROUND));
    FillRect(dc, &client, parentBack ? parentBack : backBrush());
    if (s.shape == ShapeForm::HorizontalLine) {
      MoveToEx(dc, 0, client.bottom / 2, nullptr);
      LineTo(dc, client.right, client.bottom / 2);
    } else {
      MoveToEx(dc, client.right / 2, 0, nullptr);
      LineTo(dc, client.right / 2, client.bottom);
    }
  }
  SelectObject(dc, oldPen);
  DeleteObject(pen);
}

}  // namespace platform::gui::win32

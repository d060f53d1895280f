// Label: text on a plain or vertically graded background, optional border.
#include "platform/gui/win32/kinds.h"

namespace platform::gui::win32 {
namespace {

COLORREF blend(COLORREF a, COLORREF b, int step, int steps) {
  auto mix = [&](int x, int y) { return x + (y - x) * step / steps; };
  return RGB(mix(GetRValue(a), GetRValue(b)), mix(GetGValue(a), GetGValue(b)), mix(GetBValue(a), GetBValue(b)));
}

// Top to bottom through equally spaced colours, one row at a time.
void fillGradient(HDC dc, const RECT& rc, const std::vector<Colour>& colours) {
  int height = rc.bottom - rc.top;
  int segments = static_cast<int>(colours.size()) - 1;
  for (int y = 0; y < height; ++y) {
    int scaled = height > 1 ? y * segments * 1000 / (height - 1) : 0;
    int seg = std::min(scaled / 1000, segments - 1);
    COLORREF c = blend(colours[seg], colours[seg + 1], scaled - seg * 1000, 1000);
    HBRUSH b = CreateSolidBrush(c);
    RECT row{rc.left, rc.top + y, rc.right, rc.top + y + 1};
    FillRect(dc, &row, b);
    DeleteObject(b);
  }
}

}  // namespace

void LabelPeer::paint(HDC dc, const RECT& client) {
  const auto& s = node_.spec;
  if (s.gradient.size() >= 2) fillGradient(dc, client, s.gradient);
  else FillRect(dc, &client, backBrush());
  drawCaption(dc, client);
}

void LabelPeer::drawCaption(HDC dc, const RECT& client) {
  const auto& s = node_.spec;
  std::wstring text = wide(s.caption);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, colourOr(s.fore, COLOR_WINDOWTEXT));
  HGDIOBJ old = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
  UINT format = DT_NOPREFIX;
  format |= s.align == Align::Centre ? DT_CENTER : s.align == Align::Right ? DT_RIGHT : DT_LEFT;
  format |= s.verticalCentre ? (DT_SINGLELINE | DT_VCENTER) : DT_WORDBREAK;
  RECT rc = client;
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rc, format);
  SelectObject(dc, old);
}

}  // namespace platform::gui::win32

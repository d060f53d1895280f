// Advanced tab control: the common tab control with one header per page.
// Controls of a page are children of the tab control itself, placed relative
// to it (below the header strip by their own top), and shown only while
// their page is the current one.
#include <windows.h>
#include <commctrl.h>

#include "platform/gui/win32/navigator_kinds.h"

namespace platform::gui::win32 {
namespace {

constexpr UINT_PTR kSubclassId = 0x54414243;  // "TABC"

class TabControl : public ChildPeer {
public:
  using ChildPeer::ChildPeer;
  ~TabControl() override {
    if (hwnd_) RemoveWindowSubclass(hwnd_, &TabControl::procedure, kSubclassId);
  }

  void pageChanged() override {
    if (hwnd_) TabCtrl_SetCurSel(hwnd_, node_.currentPage);
    showCurrentPage();
  }

  bool onReflected(UINT msg, WPARAM, LPARAM lp, LRESULT& result) override {
    if (msg != WM_NOTIFY || reinterpret_cast<NMHDR*>(lp)->code != TCN_SELCHANGE) return false;
    int page = TabCtrl_GetCurSel(hwnd_);
    node_.currentPage = page;
    showCurrentPage();
    if (node_.spec.pageChanged) {
      detail::ControlNode& node = node_;
      detail::callRoutine([&] { node.spec.pageChanged(page); });
    }
    result = 0;
    return true;
  }

protected:
  const wchar_t* className() const override { return WC_TABCONTROLW; }
  DWORD style() const override { return ChildPeer::style() | WS_TABSTOP; }

  void afterCreate() override {
    int i = 0;
    for (const std::string& caption : node_.spec.pages) {
      std::wstring text = wide(caption);
      TCITEMW item{};
      item.mask = TCIF_TEXT;
      item.pszText = text.data();
      TabCtrl_InsertItem(hwnd_, i++, &item);
    }
    TabCtrl_SetCurSel(hwnd_, node_.currentPage);
    SetWindowSubclass(hwnd_, &TabControl::procedure, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
  }

private:
  // Every control of this tab control's pages in its window, visible only
  // on the current page (and only when the table lets it be).
  void showCurrentPage() {
    for (auto& c : node_.window->controls) {
      if (c->parent != &node_ || !c->peer) continue;
      auto* child = dynamic_cast<ChildPeer*>(c->peer.get());
      if (!child || !child->hwnd()) continue;
      bool shown = c->spec.visible && c->spec.page == node_.currentPage;
      ShowWindow(child->hwnd(), shown ? SW_SHOWNA : SW_HIDE);
    }
    pagesApplied_ = true;
  }

  // The pages' children are made after the tab control, all visible; the
  // first paint is the first moment they all exist. Messages of children
  // reach the tab control, so they are reflected as the window does.
  static LRESULT CALLBACK procedure(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR self) {
    auto* tabs = reinterpret_cast<TabControl*>(self);
    try {
      if (msg == WM_PAINT && !tabs->pagesApplied_) tabs->showCurrentPage();
      LRESULT result = 0;
      if (reflect(hwnd, msg, wp, lp, result)) return result;
    } catch (...) {
      return 0;
    }
    return DefSubclassProc(hwnd, msg, wp, lp);
  }

  bool pagesApplied_ = false;
};

}  // namespace

std::unique_ptr<detail::ControlPeer> makeTabControl(detail::ControlNode& node) {
  return std::make_unique<TabControl>(node);
}

}  // namespace platform::gui::win32

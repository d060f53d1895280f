#pragma once
// Peers of the control kinds, one .cpp per kind; makeControlPeer in
// control_factory.cpp picks them.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>

#include "platform/gui/win32/win32_peer.h"

namespace platform::gui::win32 {

class LabelPeer : public ChildPeer {
public:
  using ChildPeer::ChildPeer;
  void paint(HDC dc, const RECT& client) override;

protected:
  void drawCaption(HDC dc, const RECT& client);
};

class PushButtonPeer : public ChildPeer {
public:
  using ChildPeer::ChildPeer;
  bool onReflected(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;

protected:
  const wchar_t* className() const override { return WC_BUTTONW; }
  DWORD style() const override { return ChildPeer::style() | BS_PUSHBUTTON | WS_TABSTOP; }
};

class PictureBoxPeer : public ChildPeer {
public:
  using ChildPeer::ChildPeer;
  ~PictureBoxPeer() override;
  void paint(HDC dc, const RECT& client) override;

protected:
  HBITMAP picture_ = nullptr;
  void afterCreate() override;
};

class ShapeBoxPeer : public ChildPeer {
public:
  using ChildPeer::ChildPeer;
  void paint(HDC dc, const RECT& client) override;
};

class TimerPeer : public detail::ControlPeer {
public:
  using ControlPeer::ControlPeer;
  ~TimerPeer() override;
  void create() override;
  void periodChanged(int oldPeriod) override;

private:
  UINT_PTR id_ = 0;
};

class EditBoxPeer : public ChildPeer {
public:
  using ChildPeer::ChildPeer;
  void appendText(const std::string& text) override;
  std::string caption() const override;

protected:
  const wchar_t* className() const override { return WC_EDITW; }
  DWORD style() const override;
  DWORD exStyle() const override { return WS_EX_CLIENTEDGE; }
  void afterCreate() override;
};

class StatusBarPeer : public ChildPeer {
public:
  using ChildPeer::ChildPeer;
  void placeChanged() override {}  // docked: the place of the table is not used

protected:
  const wchar_t* className() const override { return STATUSCLASSNAMEW; }
  DWORD style() const override { return (ChildPeer::style() & ~WS_BORDER) | CCS_BOTTOM; }
  DWORD exStyle() const override { return 0; }
};

class MultiBarPeer : public ChildPeer {
public:
  using ChildPeer::ChildPeer;
  void positionChanged() override;
  int position() const override;
  bool onReflected(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;

protected:
  const wchar_t* className() const override;
  DWORD style() const override;
  void afterCreate() override;
};

}  // namespace platform::gui::win32

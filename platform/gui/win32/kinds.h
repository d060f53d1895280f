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

// Appends come in bursts (a log line per received block): they are gathered
// and inserted together at most every few ticks, since every insert into a
// shown edit control is slow. Anything that reads the text, sets it or lets
// the user at it first inserts what is still waiting.
class EditBoxPeer : public ChildPeer {
public:
  using ChildPeer::ChildPeer;
  ~EditBoxPeer() override;
  void appendText(const std::string& text) override;
  std::string caption() const override;
  void captionChanged() override;
  // Inserts the waiting appends now.
  void flush() const;

protected:
  const wchar_t* className() const override { return WC_EDITW; }
  DWORD style() const override;
  DWORD exStyle() const override { return WS_EX_CLIENTEDGE; }
  void afterCreate() override;

private:
  static LRESULT CALLBACK boxProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR self);
  void insertAtEnd(const std::wstring& text) const;

  mutable std::wstring pending_;
  mutable bool timerSet_ = false;
  mutable bool flushing_ = false;
  mutable DWORD lastFlush_ = 0;
  bool subclassed_ = false;
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

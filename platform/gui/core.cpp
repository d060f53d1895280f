// Backend-neutral half of the runtime: handles, marshalling, table loading.
#include <algorithm>
#include <exception>

#include "platform/gui/detail/backend.h"
#include "platform/gui/gui.h"

namespace platform::gui {
namespace detail {

std::vector<WindowNode*>& liveWindows() {
  static std::vector<WindowNode*> windows;
  return windows;
}

// Closed windows stay allocated: handles and routines still on the stack may
// refer to them. The headless backend frees them when a test resets it.
std::vector<std::unique_ptr<WindowNode>>& allWindows() {
  static std::vector<std::unique_ptr<WindowNode>> windows;
  return windows;
}

void callRoutine(const std::function<void()>& f) {
  try {
    f();
  } catch (const ProgramEndSignal&) {
    throw;
  } catch (...) {
    // A routine's failure must not take the window procedure with it.
  }
}

void ControlPeer::appendText(const std::string& text) { node_.spec.caption += text; }
std::string ControlPeer::caption() const { return node_.spec.caption; }
int ControlPeer::position() const { return node_.spec.position; }
std::string ControlPeer::statusText() const { return node_.status; }

void closeWindow(WindowNode& window, bool ask) {
  if (!window.alive) return;
  if (ask && window.spec->closeQuery) {
    bool allowed = false;
    callRoutine([&] { allowed = window.spec->closeQuery(); });
    if (!allowed || !window.alive) return;
  }
  window.alive = false;
  auto& live = liveWindows();
  live.erase(std::remove(live.begin(), live.end(), &window), live.end());
  window.peer->destroy();
  if (window.spec->destroyed) callRoutine([&] { window.spec->destroyed(); });
}

void discardDeadWindows() {
  auto& all = allWindows();
  all.erase(std::remove_if(all.begin(), all.end(), [](const auto& w) { return !w->alive; }), all.end());
}

namespace {

template <class T, class F> T onGui(F&& f, T fallback = T{}) {
  T result = fallback;
  runOnGuiThread([&] { result = f(); });
  return result;
}

ControlNode* addControl(WindowNode& window, ControlSpec spec) {
  auto node = std::make_unique<ControlNode>();
  node->window = &window;
  node->parent = spec.parent.empty() ? nullptr : window.find(spec.parent);
  if (spec.kind == Kind::WebBrowser) node->address = spec.address;
  node->spec = std::move(spec);
  ControlNode* raw = node.get();
  window.byName[raw->spec.name] = raw;
  window.controls.push_back(std::move(node));
  raw->peer = makeControlPeer(*raw);
  raw->peer->create();
  return raw;
}

bool usable(const ControlNode* n) { return n && n->window->alive; }

}  // namespace
}  // namespace detail

using detail::onGui;
using detail::usable;

bool runOnGuiThread(const std::function<void()>& routine) {
  if (onGuiThread()) {
    routine();
    return true;
  }
  // Carried back to the caller: it must not reach the GUI thread's dispatcher.
  std::exception_ptr failure;
  bool ran = detail::runOnGuiThread([&] {
    try {
      routine();
    } catch (const detail::ProgramEndSignal&) {
      throw;
    } catch (...) {
      failure = std::current_exception();
    }
  });
  if (failure) std::rethrow_exception(failure);
  return ran;
}

// ---------------------------------------------------------------- Control

std::string Control::name() const {
  return onGui<std::string>([&] { return usable(node_) ? node_->spec.name : std::string(); });
}
Kind Control::kind() const {
  return onGui<Kind>([&] { return usable(node_) ? node_->spec.kind : Kind::Label; });
}
ControlSpec Control::settings() const {
  return onGui<ControlSpec>([&] {
    if (!usable(node_)) return ControlSpec{};
    ControlSpec s = node_->spec;
    s.caption = node_->peer->caption();
    s.position = node_->peer->position();
    return s;
  });
}
std::string Control::caption() const {
  return onGui<std::string>([&] { return usable(node_) ? node_->peer->caption() : std::string(); });
}
void Control::setCaption(const std::string& text) {
  detail::runOnGuiThread([&] {
    if (!usable(node_)) return;
    node_->spec.caption = text;
    node_->peer->captionChanged();
  });
}
Colour Control::foreColour() const {
  return onGui<Colour>([&] { return usable(node_) ? node_->spec.fore : kDefaultColour; });
}
void Control::setForeColour(Colour c) {
  detail::runOnGuiThread([&] {
    if (!usable(node_)) return;
    node_->spec.fore = c;
    node_->peer->coloursChanged();
  });
}
Colour Control::backColour() const {
  return onGui<Colour>([&] { return usable(node_) ? node_->spec.back : kDefaultColour; });
}
void Control::setBackColour(Colour c) {
  detail::runOnGuiThread([&] {
    if (!usable(node_)) return;
    node_->spec.back = c;
    node_->peer->coloursChanged();
  });
}
bool Control::visible() const {
  return onGui<bool>([&] { return usable(node_) && node_->spec.visible; });
}
void Control::setVisible(bool shown) {
  detail::runOnGuiThread([&] {
    if (!usable(node_) || node_->spec.visible == shown) return;
    node_->spec.visible = shown;
    node_->peer->visibleChanged();
  });
}
bool Control::enabled() const {
  return onGui<bool>([&] { return usable(node_) && node_->spec.enabled; });
}
void Control::setEnabled(bool on) {
  detail::runOnGuiThread([&] {
    if (!usable(node_) || node_->spec.enabled == on) return;
    node_->spec.enabled = on;
    node_->peer->enabledChanged();
  });
}
int Control::left() const { return onGui<int>([&] { return usable(node_) ? node_->spec.left : 0; }); }
int Control::top() const { return onGui<int>([&] { return usable(node_) ? node_->spec.top : 0; }); }
int Control::width() const { return onGui<int>([&] { return usable(node_) ? node_->spec.width : 0; }); }
int Control::height() const { return onGui<int>([&] { return usable(node_) ? node_->spec.height : 0; }); }
void Control::move(int left, int top, int width, int height) {
  detail::runOnGuiThread([&] {
    if (!usable(node_)) return;
    auto& s = node_->spec;
    s.left = left;
    s.top = top;
    s.width = width;
    s.height = height;
    node_->peer->placeChanged();
  });
}
void Control::setLeft(int v) {
  detail::runOnGuiThread([&] { if (usable(node_)) move(v, node_->spec.top, node_->spec.width, node_->spec.height); });
}
void Control::setTop(int v) {
  detail::runOnGuiThread([&] { if (usable(node_)) move(node_->spec.left, v, node_->spec.width, node_->spec.height); });
}
void Control::setWidth(int v) {
  detail::runOnGuiThread([&] { if (usable(node_)) move(node_->spec.left, node_->spec.top, v, node_->spec.height); });
}
void Control::setHeight(int v) {
  detail::runOnGuiThread([&] { if (usable(node_)) move(node_->spec.left, node_->spec.top, node_->spec.width, v); });
}

int Control::position() const {
  return onGui<int>([&] { return usable(node_) ? node_->peer->position() : 0; });
}
void Control::setPosition(int value) {
  detail::runOnGuiThread([&] {
    if (!usable(node_)) return;
    auto& s = node_->spec;
    int wanted = std::clamp(value, std::min(s.minimum, s.maximum), std::max(s.minimum, s.maximum));
    // A progress bar set once per received block mostly gets the value it
    // shows already; telling the control again costs a message each time.
    if (wanted == s.position) return;
    s.position = wanted;
    node_->peer->positionChanged();
  });
}

int Control::period() const { return onGui<int>([&] { return usable(node_) ? node_->spec.period : 0; }); }
void Control::setPeriod(int ms) {
  detail::runOnGuiThread([&] {
    if (!usable(node_)) return;
    int wanted = std::max(ms, 0);
    int old = node_->spec.period;
    if (wanted == old) return;
    node_->spec.period = wanted;
    node_->peer->periodChanged(old);
  });
}

void Control::appendText(const std::string& text) {
  detail::runOnGuiThread([&] {
    if (usable(node_)) node_->peer->appendText(text);
  });
}

void Control::navigate(const std::string& address) {
  detail::runOnGuiThread([&] {
    if (!usable(node_)) return;
    node_->address = address;
    node_->peer->navigate();
  });
}
std::string Control::address() const {
  return onGui<std::string>([&] { return usable(node_) ? node_->address : std::string(); });
}
std::string Control::statusText() const {
  return onGui<std::string>([&] { return usable(node_) ? node_->peer->statusText() : std::string(); });
}
int Control::currentPage() const {
  return onGui<int>([&] { return usable(node_) ? node_->currentPage : 0; });
}
void Control::setCurrentPage(int page) {
  detail::runOnGuiThread([&] {
    if (!usable(node_) || node_->currentPage == page) return;
    node_->currentPage = page;
    node_->peer->pageChanged();
    if (node_->spec.pageChanged) detail::callRoutine([&] { node_->spec.pageChanged(page); });
  });
}

int Control::raiseFeedback(int a, int b) {
  int result = 0;
  detail::runOnGuiThread([&] {
    if (!usable(node_) || !node_->spec.feedback || detail::programEnding()) return;
    detail::callRoutine([&] { result = node_->spec.feedback(a, b); });
  });
  return result;
}
void Control::postFeedback(int a, int b) {
  detail::ControlNode* node = node_;
  detail::postToGuiThread([node, a, b] {
    if (!usable(node) || !node->spec.feedback) return;
    detail::callRoutine([&] { node->spec.feedback(a, b); });
  });
}

Control Control::copy() {
  return onGui<Control>([&] {
    if (!usable(node_)) return Control();
    auto& window = *node_->window;
    ControlSpec spec = node_->spec;
    spec.caption = node_->peer->caption();
    spec.name = node_->spec.name + "#" + std::to_string(++window.copies);
    return Control(detail::addControl(window, std::move(spec)));
  });
}

// ---------------------------------------------------------------- Window

namespace {
bool alive(const detail::WindowNode* w) { return w && w->alive; }
}  // namespace

Control Window::control(const std::string& name) const {
  return onGui<Control>([&] { return alive(node_) ? Control(node_->find(name)) : Control(); });
}
bool Window::exists() const { return onGui<bool>([&] { return alive(node_); }); }
std::string Window::title() const {
  return onGui<std::string>([&] { return node_ ? node_->spec->title : std::string(); });
}
void Window::show() { detail::runOnGuiThread([&] { if (alive(node_)) node_->peer->show(true); }); }
void Window::hide() { detail::runOnGuiThread([&] { if (alive(node_)) node_->peer->show(false); }); }
bool Window::visible() const { return onGui<bool>([&] { return alive(node_) && node_->peer->visible(); }); }
void Window::minimise() {
  detail::runOnGuiThread([&] {
    if (alive(node_) && node_->peer->visible()) node_->peer->minimise();
  });
}
bool Window::minimised() const {
  return onGui<bool>([&] { return alive(node_) && node_->peer->minimised(); });
}
void Window::restore() { detail::runOnGuiThread([&] { if (alive(node_)) node_->peer->restore(); }); }
void Window::activate() { detail::runOnGuiThread([&] { if (alive(node_)) node_->peer->activate(); }); }

namespace {
struct Place {
  int left = 0, top = 0, width = 0, height = 0;
};
Place placeOf(const detail::WindowNode* w) {
  Place p;
  if (alive(w)) w->peer->place(p.left, p.top, p.width, p.height);
  return p;
}
}  // namespace

int Window::left() const { return onGui<int>([&] { return placeOf(node_).left; }); }
int Window::top() const { return onGui<int>([&] { return placeOf(node_).top; }); }
int Window::width() const { return onGui<int>([&] { return placeOf(node_).width; }); }
int Window::height() const { return onGui<int>([&] { return placeOf(node_).height; }); }
void Window::moveTo(int left, int top) {
  detail::runOnGuiThread([&] { if (alive(node_)) node_->peer->moveTo(left, top); });
}
void Window::setLeft(int v) {
  detail::runOnGuiThread([&] { if (alive(node_)) node_->peer->moveTo(v, placeOf(node_).top); });
}
void Window::setTop(int v) {
  detail::runOnGuiThread([&] { if (alive(node_)) node_->peer->moveTo(placeOf(node_).left, v); });
}
bool Window::shapeFromPicture() {
  return onGui<bool>([&] { return alive(node_) && node_->peer->shapeFromPicture(); });
}
void Window::requestClose() {
  detail::runOnGuiThread([&] { if (alive(node_)) detail::closeWindow(*node_, true); });
}
void Window::close() {
  detail::runOnGuiThread([&] { if (alive(node_)) detail::closeWindow(*node_, false); });
}

// ---------------------------------------------------------------- loading

Window loadWindow(const WindowSpec& spec) {
  return onGui<Window>([&] {
    for (detail::WindowNode* w : detail::liveWindows()) {
      if (w->spec != &spec) continue;
      if (w->peer->minimised()) w->peer->restore();
      else w->peer->activate();
      return Window(w);
    }
    auto owned = std::make_unique<detail::WindowNode>();
    detail::WindowNode* window = owned.get();
    window->spec = &spec;
    detail::allWindows().push_back(std::move(owned));
    detail::liveWindows().push_back(window);
    window->peer = detail::makeWindowPeer(*window);
    window->peer->create();
    for (const ControlSpec& row : spec.controls) detail::addControl(*window, row);
    if (spec.created) detail::callRoutine([&] { spec.created(); });
    if (window->alive) window->peer->show(true);
    return Window(window);
  });
}

Window windowOf(const WindowSpec& spec) {
  return onGui<Window>([&] {
    for (detail::WindowNode* w : detail::liveWindows())
      if (w->spec == &spec) return Window(w);
    return Window();
  });
}

}  // namespace platform::gui

// Headless top-level window: place and state as plain values.
#include "platform/gui/detail/backend.h"
#include "platform/gui/headless/state.h"

namespace platform::gui {
namespace headless::internal {
namespace {

class HeadlessWindow : public detail::WindowPeer {
public:
  using WindowPeer::WindowPeer;

  void create() override {
    const WindowSpec& s = *node_.spec;
    width_ = s.width;
    height_ = s.height;
    if (s.centred) {
      left_ = (state().screenWidth - width_) / 2;
      top_ = (state().screenHeight - height_) / 2;
    } else {
      left_ = s.left;
      top_ = s.top;
    }
  }
  void destroy() override {
    visible_ = false;
    // Timers go with their window: a closed window raises no events.
    for (auto& c : node_.controls) c->peer.reset();
  }
  void show(bool shown) override { visible_ = shown; }
  bool visible() const override { return visible_; }
  void minimise() override { minimised_ = true; }
  bool minimised() const override { return minimised_; }
  void restore() override {
    minimised_ = false;
    visible_ = true;
  }
  void activate() override {}
  void place(int& left, int& top, int& width, int& height) const override {
    left = left_;
    top = top_;
    width = width_;
    height = height_;
  }
  void moveTo(int left, int top) override {
    left_ = left;
    top_ = top;
  }
  bool shapeFromPicture() override { return node_.spec->backPicture != 0; }

private:
  int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  bool visible_ = false, minimised_ = false;
};

}  // namespace
}  // namespace headless::internal

std::unique_ptr<detail::WindowPeer> detail::makeWindowPeer(WindowNode& window) {
  return std::make_unique<headless::internal::HeadlessWindow>(window);
}

}  // namespace platform::gui

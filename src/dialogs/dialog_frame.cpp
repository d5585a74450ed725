// Dialog placement and the zoom animation's rectangles.
#include "dialogs/dialog_frame.h"

#include <algorithm>

namespace tuttiro {
namespace {

constexpr double kRatio = 0.7;
constexpr int kGrowingSteps = 18;
constexpr int kTrailLength = 4;

FrameRect Between(const FrameRect& a, const FrameRect& b, double f) {
  const auto at = [f](int from, int to) { return from + static_cast<int>((to - from) * f); };
  return {at(a.left, b.left), at(a.top, b.top), at(a.right, b.right), at(a.bottom, b.bottom)};
}

// Drawing a rectangle twice takes it away again.
void Toggle(std::vector<FrameRect>& shown, const FrameRect& r) {
  auto it = std::find(shown.begin(), shown.end(), r);
  if (it != shown.end()) {
    shown.erase(it);
  } else {
    shown.push_back(r);
  }
}

}  // namespace

FrameRect CentreDialog(const FrameRect& main, int width, int height) {
  const int left = (main.left + main.right - width) / 2;
  const int top = (main.top + main.bottom - height) / 2;
  return {left, top, left + width, top + height};
}

std::vector<std::vector<FrameRect>> ZoomFrames(const FrameRect& pointer, const FrameRect& dialog,
                                               bool opening) {
  double f0 = kRatio;
  for (int i = 0; i < kGrowingSteps; ++i) f0 *= kRatio;
  const double divisor = opening ? kRatio : 1.0 / kRatio;
  double a = opening ? f0 : 1.0 - f0;
  double b = a;
  std::vector<FrameRect> shown;
  std::vector<std::vector<FrameRect>> frames;
  for (int k = 0; k < kZoomSteps; ++k) {
    if (k < kGrowingSteps) {
      a /= divisor;
      Toggle(shown, Between(pointer, dialog, a));
    }
    if (k >= kTrailLength) {
      b /= divisor;
      Toggle(shown, Between(pointer, dialog, b));
    }
    frames.push_back(shown);
  }
  return frames;
}

}  // namespace tuttiro

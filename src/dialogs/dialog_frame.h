// Where a dialog appears: centred on the main window, and the zoom animation
// that links it to the place in a view that opened it, a trail of four
// rectangles running between the pointer and the dialog in 22 steps of 16 ms.
#pragma once

#include <vector>

namespace tuttiro {

struct FrameRect {
  int left = 0, top = 0, right = 0, bottom = 0;
  bool operator==(const FrameRect&) const = default;
};

inline constexpr int kZoomSteps = 22;
inline constexpr int kZoomStepMs = 16;

// The top-left corner that centres a dialog of this size on the main window.
FrameRect CentreDialog(const FrameRect& mainWindow, int width, int height);

// The rectangles showing after each of the 22 steps, from the pointer (an empty
// rectangle) towards the dialog when opening, back from it when closing. Each
// step draws one rectangle further on and, from the fifth step, takes away the
// one drawn four steps before, so the last step leaves none.
std::vector<std::vector<FrameRect>> ZoomFrames(const FrameRect& pointer, const FrameRect& dialog,
                                               bool opening);

}  // namespace tuttiro

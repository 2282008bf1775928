#pragma once

#include <cstdint>
#include <vector>

#include "raster/bitmap32.h"

namespace tarnvale {

// Puts the work bitmap onto the display bitmap for each capture buffer: at
// the point when not stretched, else stretched over the whole display. The
// display ends up exactly as that whole Draw would leave it, but only the
// parts that depend on work pixels changed since the previous copy are drawn
// again: most of the skin stays as it was, and at 200 % resampling all of it
// 30 times a second costs more than the rest of the buffer's work together.
// The changed parts are drawn between BeginUpdate and EndUpdate, so the
// display control shows them in one repaint. UI thread only.
// The whole copy: Draw at the point, or stretched over the whole display.
void drawWholeWork(const TBitmap32& work, TBitmap32& display, bool stretch);

class DisplayCopy {
 public:
  void copy(const TBitmap32& work, TBitmap32& display, bool stretch);

 private:
  void copyWhole(const TBitmap32& work, TBitmap32& display, bool stretch);
  // Work rectangles whose pixels differ from source_, which takes them over.
  void findChanges(const TBitmap32& work);
  TRect displayArea(const TRect& workArea, const TBitmap32& work,
                    const TBitmap32& display) const;

  std::vector<TColor32> source_;  // the work pixels at the last copy
  int sourceWidth_ = 0;
  int sourceHeight_ = 0;
  int displayWidth_ = 0;
  int displayHeight_ = 0;
  bool stretched_ = false;
  bool valid_ = false;
  std::uint64_t displayChanges_ = 0;  // the display's ChangeCount after the last copy
  // Reused from buffer to buffer.
  std::vector<TRect> changes_;
  std::vector<TRect> open_;
  std::vector<TRect> band_;
  std::vector<char> dirty_;
};

}  // namespace tarnvale

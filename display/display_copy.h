#pragma once

#include <cstdint>
#include <vector>

#include "raster/bitmap32.h"

namespace tarnvale {

// The whole copy: Draw at the point, or stretched over the whole display.
void drawWholeWork(const TBitmap32& work, TBitmap32& display, bool stretch);

// Puts the work bitmap onto the display bitmap for each capture buffer: at
// the point when not stretched, else stretched over the whole display. The
// display ends up exactly as that whole Draw would leave it, but only the
// display pixels that depend on work pixels changed since the previous copy
// are drawn again: most of the skin stays as it was, and at 200 % resampling
// all of it 30 times a second costs more than the rest of the buffer's work
// together. The changes are the work bitmap's own change notifications (a fill
// that changes nothing notifies nothing), so the bitmap is never scanned whole.
// At the point nothing is compared here: the display control compares what it
// is given with what it shows, once. Stretched, the notified areas are
// compared with the work pixels of the last copy, since resampling what did
// not change costs more. The changed parts are drawn between
// BeginUpdate and EndUpdate, so the display control shows them in one repaint.
// Takes over the work bitmap's change notification; UI thread only.
class DisplayCopy {
 public:
  DisplayCopy() = default;
  ~DisplayCopy();
  DisplayCopy(const DisplayCopy&) = delete;
  DisplayCopy& operator=(const DisplayCopy&) = delete;

  void copy(TBitmap32& work, TBitmap32& display, bool stretch);

 private:
  void copyWhole(TBitmap32& work, TBitmap32& display, bool stretch);
  void record(const TRect& area);
  bool differences(const TBitmap32& work, TRect& area);
  TRect displayArea(const TRect& workArea, const TBitmap32& work, const TBitmap32& display) const;

  TBitmap32* watched_ = nullptr;  // the work bitmap whose changes are recorded
  int sourceWidth_ = 0;
  int sourceHeight_ = 0;
  int displayWidth_ = 0;
  int displayHeight_ = 0;
  bool stretched_ = false;
  bool overflow_ = false;             // more changes than kept: copy whole
  std::uint64_t displayChanges_ = 0;  // the display's ChangeCount after the last copy
  std::vector<TRect> changes_;        // work areas changed since the last copy
  std::vector<TColor32> source_;      // stretched only: the work pixels at the last copy
};

}  // namespace tarnvale

#include "raster/image32.h"

#include <sys/shm.h>
#include <xcb/shm.h>
#include <xcb/xcb.h>

#include <QGuiApplication>
#include <QImage>
#include <QPaintEvent>
#include <QPainter>
#include <QRegion>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>

#include "raster/draft_resampler.h"

namespace tarnvale {

namespace {
// Only colour is shown; the alpha byte is not.
constexpr TColor32 kColourBits = 0x00FFFFFF;

// The X connection of the application, if it runs on one.
xcb_connection_t* xConnection() {
  auto* native = qApp->nativeInterface<QNativeInterface::QX11Application>();
  return native != nullptr ? native->connection() : nullptr;
}

// Whether images of 24-bit depth are 32 bits a pixel in the byte order of
// TColor32's memory (blue first): then rows go out as they are.
bool takesPixelsAsTheyAre(xcb_connection_t* connection) {
  const xcb_setup_t* setup = xcb_get_setup(connection);
  if (setup->image_byte_order != XCB_IMAGE_ORDER_LSB_FIRST) return false;
  for (auto it = xcb_setup_pixmap_formats_iterator(setup); it.rem > 0; xcb_format_next(&it)) {
    if (it.data->depth == 24) return it.data->bits_per_pixel == 32;
  }
  return false;
}

// Memory the X server reads images from, attached to it as a segment.
struct SharedPixels {
  xcb_shm_seg_t segment = 0;
  void* address = nullptr;
};

// Whether to try shared memory: the server has the extension, and the user
// did not turn it off the way Qt's own painting honours.
bool sharedMemoryWanted(xcb_connection_t* connection) {
  if (qEnvironmentVariableIsSet("QT_X11_NO_MITSHM")) return false;
  const xcb_query_extension_reply_t* shm = xcb_get_extension_data(connection, &xcb_shm_id);
  return shm != nullptr && shm->present != 0;
}

// Bytes of new memory attached to the server; none if it cannot attach them.
SharedPixels attachShared(xcb_connection_t* connection, std::size_t bytes) {
  const int id = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
  if (id < 0) return {};
  SharedPixels shared;
  void* address = shmat(id, nullptr, 0);
  if (address != reinterpret_cast<void*>(-1)) {
    const xcb_shm_seg_t segment = xcb_generate_id(connection);
    // Asked and answered once: a server on another machine refuses.
    xcb_generic_error_t* error =
        xcb_request_check(connection, xcb_shm_attach_checked(connection, segment, id, 1));
    if (error == nullptr) {
      shared = {segment, address};
    } else {
      std::free(error);
      shmdt(address);
    }
  }
  // Freed by the system once both sides have let go of it.
  shmctl(id, IPC_RMID, nullptr);
  return shared;
}

void detachShared(xcb_connection_t* connection, SharedPixels& shared) {
  if (shared.address == nullptr) return;
  // Images already asked for are taken before the server lets go.
  xcb_shm_detach(connection, shared.segment);
  shmdt(shared.address);
  shared = {};
}
}  // namespace

// The X window the control is, and what it paints with.
struct TImage32::X11 {
  xcb_connection_t* connection = nullptr;
  xcb_gcontext_t gc = 0;
  xcb_window_t window = 0;
  std::uint8_t depth = 0;
  std::size_t maxRequestBytes = 0;
  std::vector<TColor32> rows;  // one rectangle's pixels, rows packed
  bool sharedWanted = false;
  SharedPixels shared;  // the shown pixels, when the server reads them there

  ~X11() {
    detachShared(connection, shared);
    if (gc != 0) xcb_free_gc(connection, gc);
  }
};

TImage32::TImage32(QWidget* parent) : QWidget(parent) {
  // paintEvent covers every pixel itself; Qt need not clear first.
  setAttribute(Qt::WA_OpaquePaintEvent);
  if (xcb_connection_t* connection = xConnection();
      connection != nullptr && takesPixelsAsTheyAre(connection)) {
    x11_ = std::make_unique<X11>();
    x11_->connection = connection;
    x11_->sharedWanted = sharedMemoryWanted(connection);
    setAttribute(Qt::WA_NativeWindow);
    setAttribute(Qt::WA_PaintOnScreen);
    setAttribute(Qt::WA_NoSystemBackground);
  }
  bitmap_.SetResampler(std::make_shared<TDraftResampler>());
  bitmap_.SetCombineMode(TCombineMode::cmMerge);
  bitmap_.SetOnChange([this](const TRect& area) { bitmapChanged(area); });
  bitmap_.SetOnEndUpdate([this] { updateEnded(); });
}

TImage32::~TImage32() {
  bitmap_.SetOnChange(nullptr);
  bitmap_.SetOnEndUpdate(nullptr);
}

bool TImage32::SharesPixelsWithServer() const {
  return x11_ != nullptr && x11_->shared.address != nullptr;
}

QPaintEngine* TImage32::paintEngine() const {
  // Painted on screen: no Qt painting into it at all.
  return x11_ != nullptr ? nullptr : QWidget::paintEngine();
}

void TImage32::WatchColour(TColor32 colour, std::function<void()> onChange) {
  watched_ = colour & kColourBits;
  onWatchedChange_ = std::move(onChange);
}

void TImage32::bitmapChanged(const TRect& area) {
  const int width = bitmap_.Width();
  const int height = bitmap_.Height();
  QRect changed;
  bool watchedMoved = false;
  if (width != shownWidth_ || height != shownHeight_) {
    // New pixel memory: everything notified is new.
    // The copy first: should memory run out, the sizes still describe it.
    const std::size_t count = static_cast<std::size_t>(width) * height;
    SharedPixels shared;
    if (x11_ != nullptr && x11_->sharedWanted && count > 0) {
      shared = attachShared(x11_->connection, count * sizeof(TColor32));
      // Not again for every new size.
      if (shared.address == nullptr) x11_->sharedWanted = false;
    }
    if (shared.address != nullptr) {
      auto* store = static_cast<TColor32*>(shared.address);
      std::copy(bitmap_.Bits(), bitmap_.Bits() + count, store);
      std::vector<TColor32>().swap(shown_);
      shownPixels_ = store;
    } else {
      shown_.assign(bitmap_.Bits(), bitmap_.Bits() + count);
      shownPixels_ = shown_.data();
    }
    if (x11_ != nullptr) {
      detachShared(x11_->connection, x11_->shared);
      x11_->shared = shared;
    }
    shownWidth_ = width;
    shownHeight_ = height;
    changed =
        QRect(area.Left, area.Top, static_cast<int>(area.width()), static_cast<int>(area.height()));
    watchedMoved = true;
  } else {
    const int left = std::max(area.Left, 0);
    const int right = std::min(area.Right, width);
    const int top = std::max(area.Top, 0);
    const int bottom = std::min(area.Bottom, height);
    int minX = right, maxX = left - 1, minY = bottom, maxY = top - 1;
    for (int y = top; y < bottom && left < right; ++y) {
      const TColor32* now = bitmap_.ScanLine(y);
      TColor32* was = shownPixels_ + static_cast<std::size_t>(y) * width;
      // Most rows come back identical; the whole-row compare is the fast path.
      if (std::memcmp(now + left, was + left, sizeof(TColor32) * (right - left)) == 0) continue;
      int first = left;
      while (first < right && ((now[first] ^ was[first]) & kColourBits) == 0) ++first;
      if (first == right) continue;  // only alpha differs
      int last = right - 1;
      while (((now[last] ^ was[last]) & kColourBits) == 0) --last;
      if (onWatchedChange_ && !watchedMoved) {
        for (int x = first; x <= last; ++x) {
          if (((now[x] ^ was[x]) & kColourBits) != 0 &&
              ((now[x] & kColourBits) == watched_ || (was[x] & kColourBits) == watched_)) {
            watchedMoved = true;
            break;
          }
        }
      }
      std::copy(now + first, now + last + 1, was + first);
      minX = std::min(minX, first);
      maxX = std::max(maxX, last);
      minY = std::min(minY, y);
      maxY = y;
    }
    if (maxX >= minX) changed = QRect(minX, minY, maxX - minX + 1, maxY - minY + 1);
  }
  // Grown by 2 on every side: what changed plus a margin.
  const QRect dirty = changed.isEmpty() ? QRect() : changed.adjusted(-2, -2, 2, 2) & rect();
  if (bitmap_.Updating()) {
    pending_ += dirty;
    watchedPending_ = watchedPending_ || watchedMoved;
    return;
  }
  if (!dirty.isEmpty()) showNow(dirty);
  if (watchedMoved && onWatchedChange_) onWatchedChange_();
}

void TImage32::updateEnded() {
  const QRegion dirty = std::exchange(pending_, QRegion());
  const bool watchedMoved = std::exchange(watchedPending_, false);
  if (!dirty.isEmpty()) showNow(dirty);
  if (watchedMoved && onWatchedChange_) onWatchedChange_();
}

void TImage32::showNow(const QRegion& dirty) {
  // A shown X window takes the pixels at once: Qt's repaint would only call
  // paintEvent with the same region, after its own bookkeeping. Exposes still
  // come through paintEvent.
  if (x11_ != nullptr && isVisible() && updatesEnabled() && internalWinId() != 0 && put(dirty))
    return;
  repaint(dirty);
}

void TImage32::remember(const QRect& shown) {
  // What is painted is what the screen shows from now on, notified or not.
  if (bitmap_.Width() != shownWidth_ || bitmap_.Height() != shownHeight_) return;
  for (int y = shown.top(); y <= shown.bottom(); ++y) {
    const TColor32* row = bitmap_.ScanLine(y);
    std::copy(row + shown.left(), row + shown.right() + 1,
              shownPixels_ + static_cast<std::size_t>(y) * shownWidth_ + shown.left());
  }
}

bool TImage32::put(const QRegion& region) {
  X11& x = *x11_;
  const auto window = static_cast<xcb_window_t>(winId());
  if (window == 0) return false;
  if (x.window != window) {
    // A new native window (first show, or re-created): its depth decides.
    const xcb_get_geometry_cookie_t asked = xcb_get_geometry(x.connection, window);
    xcb_get_geometry_reply_t* geometry = xcb_get_geometry_reply(x.connection, asked, nullptr);
    x.depth = geometry != nullptr ? geometry->depth : 0;
    std::free(geometry);
    if (x.gc != 0) xcb_free_gc(x.connection, x.gc);
    x.gc = xcb_generate_id(x.connection);
    const std::uint32_t black = 0;
    xcb_create_gc(x.connection, x.gc, window, XCB_GC_FOREGROUND, &black);
    x.window = window;
    // Requests are limited in size; the header takes 24 bytes.
    x.maxRequestBytes = std::size_t{xcb_get_maximum_request_length(x.connection)} * 4 - 24;
  }
  if (x.depth != 24) return false;

  const QRect covered(0, 0, bitmap_.Width(), bitmap_.Height());
  std::vector<xcb_rectangle_t> background;
  for (const QRect& area : region) {
    for (const QRect& r : QRegion(area) - covered) {
      background.push_back({static_cast<std::int16_t>(r.x()), static_cast<std::int16_t>(r.y()),
                            static_cast<std::uint16_t>(r.width()),
                            static_cast<std::uint16_t>(r.height())});
    }
    const QRect shown = area & covered;
    if (shown.isEmpty()) continue;
    remember(shown);
    if (x.shared.address != nullptr && shownWidth_ == bitmap_.Width() &&
        shownHeight_ == bitmap_.Height()) {
      // From the shared copy just brought up to date: no pixels through the
      // socket.
      xcb_shm_put_image(
          x.connection, x.window, x.gc, static_cast<std::uint16_t>(shownWidth_),
          static_cast<std::uint16_t>(shownHeight_), static_cast<std::uint16_t>(shown.left()),
          static_cast<std::uint16_t>(shown.top()), static_cast<std::uint16_t>(shown.width()),
          static_cast<std::uint16_t>(shown.height()), static_cast<std::int16_t>(shown.left()),
          static_cast<std::int16_t>(shown.top()), 24, XCB_IMAGE_FORMAT_Z_PIXMAP, 0,
          x.shared.segment, 0);
      continue;
    }
    const auto width = static_cast<std::size_t>(shown.width());
    const std::size_t bandRows = std::max<std::size_t>(1, x.maxRequestBytes / (width * 4));
    for (int top = shown.top(); top <= shown.bottom();) {
      const int rows = static_cast<int>(
          std::min<std::size_t>(bandRows, static_cast<std::size_t>(shown.bottom() - top + 1)));
      const TColor32* first = bitmap_.ScanLine(top) + shown.left();
      const TColor32* data = first;
      if (width != static_cast<std::size_t>(bitmap_.Width())) {
        // Part of each row: packed first, as the request wants whole rows.
        x.rows.resize(width * static_cast<std::size_t>(rows));
        for (int y = 0; y < rows; ++y) {
          const TColor32* row = bitmap_.ScanLine(top + y) + shown.left();
          std::copy(row, row + width, x.rows.data() + width * static_cast<std::size_t>(y));
        }
        data = x.rows.data();
      }
      xcb_put_image(x.connection, XCB_IMAGE_FORMAT_Z_PIXMAP, x.window, x.gc,
                    static_cast<std::uint16_t>(width), static_cast<std::uint16_t>(rows),
                    static_cast<std::int16_t>(shown.left()), static_cast<std::int16_t>(top), 0, 24,
                    static_cast<std::uint32_t>(width * 4 * static_cast<std::size_t>(rows)),
                    reinterpret_cast<const std::uint8_t*>(data));
      top += rows;
    }
  }
  if (!background.empty()) {
    xcb_poly_fill_rectangle(x.connection, x.window, x.gc,
                            static_cast<std::uint32_t>(background.size()), background.data());
  }
  xcb_flush(x.connection);
  return true;
}

void TImage32::paintEvent(QPaintEvent* event) {
  if (x11_ != nullptr) {
    if (put(event->region())) return;
    // Not a window these pixels suit: Qt paints from now on, and the shown
    // copy leaves the memory shared with the server before it is let go.
    if (x11_->shared.address != nullptr) {
      shown_.assign(shownPixels_,
                    shownPixels_ + static_cast<std::size_t>(shownWidth_) * shownHeight_);
      shownPixels_ = shown_.data();
    }
    x11_.reset();
    setAttribute(Qt::WA_PaintOnScreen, false);
    update();
    return;
  }
  // Widgets paint into Qt's back buffer, which reaches the screen in one piece.
  QPainter painter(this);
  const QRect covered(0, 0, bitmap_.Width(), bitmap_.Height());
  const QRegion background = event->region() - (bitmap_.Empty() ? QRegion() : covered);
  for (const QRect& r : background) painter.fillRect(r, Qt::black);
  if (bitmap_.Empty()) return;
  // RGB32 over the pixel memory, no copy: alpha is not shown.
  const QImage pixels(reinterpret_cast<const uchar*>(bitmap_.Bits()), bitmap_.Width(),
                      bitmap_.Height(), static_cast<qsizetype>(bitmap_.Width()) * 4,
                      QImage::Format_RGB32);
  for (const QRect& area : event->region()) {
    const QRect shown = area & covered;
    if (shown.isEmpty()) continue;
    // A plain rectangle clip keeps the copy a row blit. Under the region the
    // repaint sets, Qt blends span by span and hands tall areas to its thread
    // pool: a thread wake-up per repaint.
    painter.setClipRect(shown);
    painter.drawImage(shown.topLeft(), pixels, shown);
    remember(shown);
  }
}

}  // namespace tarnvale

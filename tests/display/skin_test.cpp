#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "display/display_host.h"
#include "display/display_state.h"
#include "display/skin.h"
#include "raster/bitmap32.h"
#include "settings/meter_settings.h"
#include "tests/display/failing_allocation.h"
#include "tests/raster/image_files.h"
#include "tests/settings/temp_folder.h"
#include "tests/support/bitmap_compare.h"
#include "tests/support/end_process_trap.h"
#include "tests/support/fake_ui.h"

namespace tarnvale {
namespace {

using test::Bytes;
using test::ShownMessage;

constexpr const char* kCaption = " Level Meter Error";
constexpr TColor32 kSkinColour = 0xFF336699;     // as a 24-bit file loads: alpha 255
constexpr TColor32 kDefaultColour = 0xFF804020;  // the default skin's
// The default skin is 300 × 100 in these tests: neither the nominal fallback
// size 150 × 600 nor vertical, so each can be told apart.
constexpr int kDefaultWidth = 300;
constexpr int kDefaultHeight = 100;

ShownMessage skinMissing(const std::string& path) {
  return {
      "Background image file file not found. " + path + "\n\r\n\rThe default image will be used.",
      kCaption};
}
ShownMessage skinUnusable(const std::string& path) {
  return {"Error in the background image file, or file not found. " + path +
              "\n\r\n\rThe default image will be used.",
          kCaption};
}
ShownMessage defaultMissing(const std::string& dataFolder) {
  return {"Default Image " + dataFolder +
              " Skins\\Graphic.bmp file not found.\n\r\n\rThe program will close.",
          kCaption};
}

using Size = std::pair<int, int>;

// The meter window: remembers every caption and size it is given.
class FakeHost final : public DisplayHost {
 public:
  void setCaption(const std::string& text) override { captions.push_back(text); }
  void setDisplaySize(int width, int height) override {
    // As the real window does when memory for the display runs out.
    if (width > widestDisplay) throw std::bad_alloc();
    displaySizes.push_back({width, height});
  }
  void setClientSize(int width, int height) override { clientSizes.push_back({width, height}); }

  std::vector<std::string> captions;
  std::vector<Size> displaySizes;
  std::vector<Size> clientSizes;
  int widestDisplay = 1 << 30;
};

test::Picture uniformPicture(int width, int height, TColor32 colour) {
  return {width, height, std::vector<TColor32>(static_cast<std::size_t>(width) * height, colour)};
}

Bytes bmpFile(int width, int height, TColor32 colour = kSkinColour) {
  return test::bmp24(uniformPicture(width, height, colour));
}

Bytes jpegFile(int width, int height) {
  return test::encodeJpeg(width, height, test::smoothRgb(width, height), test::JpegKind::baseline,
                          90);
}

// Starts like a BMP and ends before its header does.
Bytes brokenFile() {
  return {'B', 'M', 0x10, 0, 0, 0, 0, 0};
}

class SkinTest : public ::testing::Test {
 protected:
  SkinTest() {
    settings.graphicPath = defaultPath;
    settings.shortName.clear();  // no label unless a test wants one
  }

  SkinContext context() { return {bitmap, settings, state, dataFolder, ui, host}; }

  std::string write(const std::string& name, const Bytes& content) {
    const std::filesystem::path file = dataFolder + name;
    std::filesystem::create_directories(file.parent_path());
    test::writeFileBytes(file.string(), std::string(content.begin(), content.end()));
    return file.string();
  }
  void writeDefault() {
    write("default.bmp", bmpFile(kDefaultWidth, kDefaultHeight, kDefaultColour));
  }

  ::testing::AssertionResult holdsUniform(int width, int height, TColor32 colour) const {
    TBitmap32 expected;
    test::paintUniform(expected, width, height, colour);
    return test::samePixels(bitmap, expected);
  }
  ::testing::AssertionResult holdsDefault() const {
    return holdsUniform(kDefaultWidth, kDefaultHeight, kDefaultColour);
  }

  test::TempFolder folder;
  const std::string dataFolder = folder.path();
  const std::string defaultPath = dataFolder + "default.bmp";
  test::FakeUi ui;
  FakeHost host;
  TBitmap32 bitmap;
  MeterSettings settings;
  DisplayState state;
};

// ---- loading and orientation -------------------------------------------------

TEST_F(SkinTest, OrientationAndNominalSizeFollowTheSkin) {
  const struct {
    int width, height;
    bool vertical;
  } cases[] = {{150, 600, true}, {600, 150, false}, {400, 400, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
    const std::string path = write("Skins/meter.bmp", bmpFile(c.width, c.height));
    settings.vertical = !c.vertical;  // a stored value never survives a load
    host = FakeHost{};

    loadSkin(context(), path);

    EXPECT_TRUE(holdsUniform(c.width, c.height, kSkinColour));
    EXPECT_EQ(settings.graphicPath, path);
    EXPECT_EQ(state.imageWidth, c.width);
    EXPECT_EQ(state.imageHeight, c.height);
    EXPECT_EQ(settings.vertical, c.vertical);
    EXPECT_EQ(host.displaySizes, (std::vector<Size>{{c.width, c.height}}));
  }
  EXPECT_TRUE(ui.messages.empty());
}

// Whether a file is decoded as JPEG goes by ".jpg" anywhere in its path; the
// rest goes to the bitmap's own loader, which knows ".jpeg" by extension.
TEST_F(SkinTest, JpegIsChosenByTheWholePath) {
  enum Content { bmp, jpeg, broken };
  const struct {
    const char* name;
    Content content;
    bool loads;
  } cases[] = {
      {"meter.bmp", bmp, true},
      {"meter.jpg", jpeg, true},
      {"METER.JpG", jpeg, true},
      {"meter.jpg.bmp", jpeg, true},
      {"meter.jpg.bmp", bmp, false},  // a real BMP, decoded as
                                      // JPEG
      {"x.jpg/meter.bmp", jpeg, true},
      {"x.jpg/meter.bmp", bmp, false},
      {"meter.jpeg", jpeg, true},
      {"meter.jpeg", bmp, true},  // not a JPEG path: the loader sees "BM"
      {"meter.jpg", broken, false},
      {"meter.bmp", broken, false},
  };
  writeDefault();
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " holding " +
                 (c.content == bmp    ? "BMP"
                  : c.content == jpeg ? "JPEG"
                                      : "garbage"));
    std::filesystem::remove_all(dataFolder + "x.jpg");
    const Bytes content = c.content == bmp    ? bmpFile(64, 48)
                          : c.content == jpeg ? jpegFile(64, 48)
                                              : brokenFile();
    const std::string path = write(c.name, content);
    settings.graphicPath = path;
    ui.messages.clear();
    bitmap.SetSize(0, 0);

    redrawDisplay(context());

    EXPECT_EQ(settings.graphicPath, path);
    if (c.loads) {
      EXPECT_TRUE(ui.messages.empty());
      EXPECT_EQ(bitmap.Width(), 64);
      EXPECT_EQ(bitmap.Height(), 48);
      if (c.content == bmp) {
        EXPECT_TRUE(holdsUniform(64, 48, kSkinColour));
      }
    } else {
      EXPECT_EQ(ui.messages, std::vector<ShownMessage>{skinUnusable(path)});
      EXPECT_TRUE(holdsDefault());
    }
  }
}

// ---- display size --------------------------------------------------------------

TEST_F(SkinTest, DisplayAndClientSizeFollowSizePercentAndBorder) {
  const struct {
    int sizePercent;
    bool borderless;
    Size display, client;
  } cases[] = {
      {100, false, {150, 600}, {148, 600}}, {100, true, {150, 600}, {150, 600}},
      {150, false, {225, 900}, {223, 900}}, {150, true, {225, 900}, {225, 900}},
      {33, false, {49, 198}, {47, 198}},    {33, true, {49, 198}, {49, 198}},
  };
  const std::string path = write("Skins/tall.bmp", bmpFile(150, 600));
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.sizePercent) + (c.borderless ? "% borderless" : "% border"));
    settings.sizePercent = c.sizePercent;
    settings.borderless = c.borderless;
    host = FakeHost{};

    loadSkin(context(), path);

    EXPECT_EQ(host.displaySizes, std::vector<Size>{c.display});
    EXPECT_EQ(host.clientSizes, std::vector<Size>{c.client});
    // Frames are scaled from the skin, which stays at its own size.
    EXPECT_EQ(bitmap.Width(), 150);
    EXPECT_EQ(bitmap.Height(), 600);
  }
}

// ---- label ---------------------------------------------------------------------

TEST_F(SkinTest, EmptyLabelGivesTheProgramCaptionAndWritesNothing) {
  const std::string path = write("Skins/tall.bmp", bmpFile(150, 600));
  settings.graphicPath = path;

  redrawDisplay(context());

  EXPECT_EQ(host.captions, std::vector<std::string>{"Tarnvale"});
  EXPECT_TRUE(holdsUniform(150, 600, kSkinColour));
}

TEST_F(SkinTest, LabelIsCentredAtTheTopOnABoxWhileTheDialogIsOpen) {
  settings.shortName = "Studio Mix";
  settings.labelFont = {"Arial", 14, 0x0000FF, 1};  // red (0x00BBGGRR), bold
  TFont font;
  font.Name = "Arial";
  font.Size = 14;
  font.Color = 0x0000FF;
  font.Style = TFontStyles{TFontStyle::fsBold};
  TBitmap32 measure;
  measure.Font().Assign(font);
  const int w = measure.TextWidth(settings.shortName);
  const int h = measure.TextHeight(settings.shortName);
  ASSERT_GT(w, 40);

  const struct {
    int width, height;
    bool dialogOpen;
    int y;
  } cases[] = {
      {150, 600, false, 8}, {150, 600, true, 8}, {600, 150, false, 10},
      {600, 150, true, 10}, {41, 600, true, 8},  // wider than the skin: cut at its edges
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height) +
                 (c.dialogOpen ? " dialog open" : " dialog closed"));
    const std::string path = write("Skins/skin.bmp", bmpFile(c.width, c.height));
    settings.graphicPath = path;
    state.setupDialogOpen = c.dialogOpen;
    host = FakeHost{};

    redrawDisplay(context());

    const int x = c.width / 2 - w / 2;
    TBitmap32 expected;
    test::paintUniform(expected, c.width, c.height, kSkinColour);
    if (c.dialogOpen) test::paintRect(expected, {x - 6, c.y, x + w + 6, c.y + h}, 0x00000000);
    expected.Font().Assign(font);
    expected.Textout(x, c.y, settings.shortName);
    EXPECT_TRUE(test::samePixels(bitmap, expected));
    EXPECT_EQ(bitmap.Font(), font);
    EXPECT_EQ(host.captions, std::vector<std::string>{"Studio Mix"});

    // Whatever was written lies in the label's cell (or its box).
    TBitmap32 skin;
    test::paintUniform(skin, c.width, c.height, kSkinColour);
    const TRect changed = test::changedArea(bitmap, skin);
    EXPECT_FALSE(changed.isEmpty());
    const TRect cell = c.dialogOpen ? TRect{x - 6, c.y, x + w + 6, c.y + h}
                                    : TRect{x - 1, c.y, x + w + 2, c.y + h + 1};
    EXPECT_TRUE(cell.contains(changed))
        << changed.Left << "," << changed.Top << "," << changed.Right << "," << changed.Bottom;
  }
}

// The skin is the only clean copy: a full redraw removes the dialog's box.
TEST_F(SkinTest, FullRedrawClearsWhatWasDrawn) {
  settings.shortName = "Mix";
  settings.graphicPath = write("Skins/tall.bmp", bmpFile(150, 600));
  redrawDisplay(context());
  TBitmap32 plain;
  test::copyPixels(bitmap, plain);

  state.setupDialogOpen = true;
  drawLabel(context());
  bitmap.FillRect(0, 500, 150, 600, 0x00FF0000);  // as a frame draws bars
  ASSERT_FALSE(test::samePixels(bitmap, plain));

  state.setupDialogOpen = false;
  redrawDisplay(context());
  EXPECT_TRUE(test::samePixels(bitmap, plain));
}

// ---- failures ------------------------------------------------------------------

TEST_F(SkinTest, MissingSkinIsReplacedByTheDefaultAtItsSize) {
  writeDefault();
  const std::string gone = dataFolder + "Skins/gone.bmp";
  settings.graphicPath = gone;
  settings.sizePercent = 150;
  std::string pathWhileShown;
  ui.onMessage = [&](const ShownMessage&) { pathWhileShown = settings.graphicPath; };

  redrawDisplay(context());

  EXPECT_EQ(ui.messages, std::vector<ShownMessage>{skinMissing(gone)});
  EXPECT_EQ(pathWhileShown, gone);
  EXPECT_EQ(settings.graphicPath, defaultPath);
  EXPECT_EQ(settings.sizePercent, 150);
  EXPECT_EQ(state.imageWidth, kDefaultWidth);
  EXPECT_EQ(state.imageHeight, kDefaultHeight);
  EXPECT_FALSE(settings.vertical);
  EXPECT_TRUE(holdsDefault());
  EXPECT_EQ(host.displaySizes, (std::vector<Size>{{450, 150}}));
}

// A folder is not a skin file.
TEST_F(SkinTest, FolderAtTheSkinPathCountsAsMissing) {
  writeDefault();
  std::filesystem::create_directories(dataFolder + "Skins/folder.bmp");
  settings.graphicPath = dataFolder + "Skins/folder.bmp";

  redrawDisplay(context());

  EXPECT_EQ(ui.messages, std::vector<ShownMessage>{skinMissing(dataFolder + "Skins/folder.bmp")});
  EXPECT_TRUE(holdsDefault());
}

TEST_F(SkinTest, MissingSkinAndMissingDefaultLeaveTheBitmapAsItWas) {
  const std::string gone = dataFolder + "Skins/gone.bmp";
  const struct {
    const char* what;
    int width, height;  // what the bitmap holds before
  } cases[] = {{"at start-up", 0, 0}, {"while running", 120, 80}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    test::paintUniform(bitmap, c.width, c.height, kSkinColour);
    settings.graphicPath = gone;
    settings.sizePercent = 150;
    state = DisplayState{};
    ui.messages.clear();
    host = FakeHost{};

    redrawDisplay(context());

    EXPECT_EQ(ui.messages,
              (std::vector<ShownMessage>{skinMissing(gone), skinUnusable(defaultPath)}));
    EXPECT_EQ(settings.graphicPath, defaultPath);
    EXPECT_EQ(settings.sizePercent, 150);
    EXPECT_EQ(state.imageWidth, 240);
    EXPECT_EQ(state.imageHeight, 600);
    EXPECT_TRUE(host.displaySizes.empty());
    EXPECT_TRUE(holdsUniform(c.width, c.height, kSkinColour));
    EXPECT_EQ(host.captions, std::vector<std::string>{"Tarnvale"});  // the label is still drawn
  }
}

TEST_F(SkinTest, UnreadableSkinStaysConfiguredOverTheDefaultAtFullSize) {
  writeDefault();
  const std::string broken = write("Skins/broken.bmp", brokenFile());
  settings.graphicPath = broken;
  settings.sizePercent = 150;
  settings.vertical = true;

  redrawDisplay(context());

  EXPECT_EQ(ui.messages, std::vector<ShownMessage>{skinUnusable(broken)});
  EXPECT_EQ(settings.graphicPath, broken);
  EXPECT_EQ(settings.sizePercent, 100);
  EXPECT_EQ(state.imageWidth, kDefaultWidth);
  EXPECT_EQ(state.imageHeight, kDefaultHeight);
  EXPECT_FALSE(settings.vertical);
  EXPECT_TRUE(holdsDefault());
  // Sized once by the nested load at the old percentage, then at 100 %.
  EXPECT_EQ(host.displaySizes, (std::vector<Size>{{450, 150}, {300, 100}}));
  EXPECT_EQ(host.clientSizes, (std::vector<Size>{{448, 150}, {298, 100}}));

  // Still configured, so the next full redraw says so again.
  redrawDisplay(context());
  EXPECT_EQ(ui.messages, (std::vector<ShownMessage>{skinUnusable(broken), skinUnusable(broken)}));
  EXPECT_EQ(settings.graphicPath, broken);
}

TEST_F(SkinTest, UnreadableSkinWithoutDefaultEndsTheProgram) {
  test::EndProcessTrap trap;
  const std::string broken = write("Skins/broken.jpg", brokenFile());
  settings.graphicPath = broken;

  EXPECT_THROW(redrawDisplay(context()), test::ProcessEnded);

  EXPECT_EQ(ui.messages,
            (std::vector<ShownMessage>{skinUnusable(broken), defaultMissing(dataFolder)}));
  EXPECT_TRUE(host.captions.empty());
}

// A skin that vanished after it was chosen: the message names the configured
// skin, and the fallback's nominal values stay.
TEST_F(SkinTest, VanishedSkinFallsBackToTheDefaultsNominalValues) {
  writeDefault();
  const std::string configured = write("Skins/configured.bmp", bmpFile(600, 150));
  settings.graphicPath = configured;
  settings.sizePercent = 150;
  settings.vertical = false;

  loadSkin(context(), dataFolder + "Skins/vanished.bmp");

  EXPECT_EQ(ui.messages, std::vector<ShownMessage>{skinUnusable(configured)});
  EXPECT_EQ(settings.graphicPath, defaultPath);
  EXPECT_EQ(settings.sizePercent, 100);
  EXPECT_EQ(state.imageWidth, 150);
  EXPECT_EQ(state.imageHeight, 600);
  EXPECT_TRUE(settings.vertical);
  EXPECT_TRUE(holdsDefault());
  EXPECT_EQ(host.displaySizes, (std::vector<Size>{{450, 150}}));
}

TEST_F(SkinTest, UnreadableDefaultIsReportedOnceAndTheProgramGoesOn) {
  write("default.bmp", brokenFile());
  const struct {
    const char* what;
    int width, height;  // what the bitmap holds before
    Size client;
  } cases[] = {{"at start-up", 0, 0, {0, 0}}, {"while running", 120, 80, {118, 80}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    test::paintUniform(bitmap, c.width, c.height, kSkinColour);
    settings.graphicPath = defaultPath;
    settings.sizePercent = 100;
    ui.messages.clear();
    host = FakeHost{};

    redrawDisplay(context());

    EXPECT_EQ(ui.messages, std::vector<ShownMessage>{skinUnusable(defaultPath)});
    EXPECT_EQ(settings.graphicPath, defaultPath);
    EXPECT_EQ(state.imageWidth, c.width);
    EXPECT_EQ(state.imageHeight, c.height);
    EXPECT_TRUE(holdsUniform(c.width, c.height, kSkinColour));
    EXPECT_EQ(host.displaySizes, std::vector<Size>{Size(c.width, c.height)});
    EXPECT_EQ(host.clientSizes, std::vector<Size>{c.client});
  }
}

// A default skin that is there but cannot be read must not be fallen back to
// over and over: the program ends as if it were missing.
TEST_F(SkinTest, UnreadableDefaultBehindAnotherSkinEndsTheProgram) {
  write("default.bmp", brokenFile());
  const std::string broken = write("Skins/broken.bmp", brokenFile());
  const std::string good = write("Skins/good.bmp", bmpFile(150, 600));

  {
    SCOPED_TRACE("full redraw of an unreadable skin");
    test::EndProcessTrap trap;
    settings.graphicPath = broken;
    EXPECT_THROW(redrawDisplay(context()), test::ProcessEnded);
    EXPECT_EQ(ui.messages,
              (std::vector<ShownMessage>{skinUnusable(broken), defaultMissing(dataFolder)}));
  }
  {
    SCOPED_TRACE("a chosen skin that vanished");
    test::EndProcessTrap trap;
    settings.graphicPath = good;
    ui.messages.clear();
    EXPECT_THROW(loadSkin(context(), dataFolder + "Skins/vanished.bmp"), test::ProcessEnded);
    EXPECT_EQ(ui.messages,
              (std::vector<ShownMessage>{skinUnusable(good), defaultMissing(dataFolder)}));
  }
}

// The chooser loads the new skin, then the dialog redraws in full: an
// undecodable choice is reported by each.
TEST_F(SkinTest, ChoosingAnUndecodableSkinIsReportedTwice) {
  writeDefault();
  redrawDisplay(context());
  ASSERT_TRUE(ui.messages.empty());
  const std::string broken = write("Skins/broken.jpg", brokenFile());

  loadSkin(context(), broken);
  EXPECT_EQ(settings.graphicPath, broken);
  redrawDisplay(context());

  EXPECT_EQ(ui.messages,
            (std::vector<ShownMessage>{skinUnusable(defaultPath), skinUnusable(broken)}));
  EXPECT_EQ(settings.graphicPath, broken);
  EXPECT_TRUE(holdsDefault());
}

// ---- skins within reason ------------------------------------------------------

TEST_F(SkinTest, MemoryOfASkinCountsTheWorkAndTheDisplayCopies) {
  const struct {
    int width, height, sizePercent;
    std::int64_t bytes;
    bool allowed;
  } cases[] = {
      {150, 600, 100, 4 * 5 * 90000, true},
      {150, 600, 33, 4 * (2 * 90000 + 3 * 49 * 198), true},
      {3840, 2160, 200, 4 * (2 * 8294400LL + 3 * 33177600LL), true},  // a 4K screen at 200 %
      {4000, 2500, 200, 4 * (2 * 10000000LL + 3 * 40000000LL), false},
      {16384, 16384, 20, 4 * (2 * 268435456LL + 3 * 3276LL * 3276), false},
  };
  for (const auto& c : cases) {
    const std::int64_t bytes = skinMemoryBytes(c.width, c.height, c.sizePercent);
    EXPECT_EQ(bytes, c.bytes) << c.width << "x" << c.height << " at " << c.sizePercent;
    EXPECT_EQ(bytes <= kMaxSkinMemoryBytes, c.allowed) << c.width << "x" << c.height;
  }
}

// A skin that cannot be shown at its size, or runs out of memory on the way,
// goes the way of a file that cannot be read: its message, the default skin
// at 100 %, and the failed path stays configured.
TEST_F(SkinTest, SkinsBeyondReasonFallBackLikeUnreadableOnes) {
  writeDefault();
  const std::string large = write("Skins/large.jpg", jpegFile(4000, 2500));
  const std::string small = write("Skins/small.bmp", bmpFile(600, 150));
  const struct {
    const char* what;
    std::string path;
    int sizePercent;
    int widestDisplay;      // the host fails to size anything wider
    std::size_t failAbove;  // operator new fails above this many bytes
    bool loads;
  } cases[] = {
      {"too large for 200 %", large, 200, 1 << 30, SIZE_MAX, false},
      {"the same at 100 %", large, 100, 1 << 30, SIZE_MAX, true},
      {"memory runs out while reading", large, 100, 1 << 30, 16 << 20, false},
      {"memory runs out sizing the display", small, 200, 1000, SIZE_MAX, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    settings.graphicPath = c.path;
    settings.sizePercent = c.sizePercent;
    ui.messages.clear();
    host = FakeHost{};
    host.widestDisplay = c.widestDisplay;
    bitmap.SetSize(0, 0);
    {
      const test::FailingAllocation failing(c.failAbove);
      redrawDisplay(context());
    }
    EXPECT_EQ(settings.graphicPath, c.path);
    for (const Size& size : host.displaySizes) EXPECT_LE(size.first, c.widestDisplay);
    if (c.loads) {
      EXPECT_TRUE(ui.messages.empty());
      EXPECT_EQ(bitmap.Width(), 4000);
      EXPECT_EQ(host.displaySizes.back(), (Size{4000, 2500}));
    } else {
      EXPECT_EQ(ui.messages, std::vector<ShownMessage>{skinUnusable(c.path)});
      EXPECT_TRUE(holdsDefault());
      EXPECT_EQ(settings.sizePercent, 100);
      EXPECT_EQ(host.displaySizes.back(), (Size{kDefaultWidth, kDefaultHeight}));
    }
  }
}

TEST_F(SkinTest, ADefaultSkinThatCannotBeShownLeavesAnEmptyDisplay) {
  writeDefault();
  settings.sizePercent = 200;
  host.widestDisplay = kDefaultWidth;  // the default at 200 % is too wide

  redrawDisplay(context());

  EXPECT_EQ(ui.messages, std::vector<ShownMessage>{skinUnusable(defaultPath)});
  EXPECT_TRUE(bitmap.Empty());
  EXPECT_EQ(host.displaySizes, (std::vector<Size>{{0, 0}}));
  EXPECT_EQ(settings.graphicPath, defaultPath);
}

}  // namespace
}  // namespace tarnvale

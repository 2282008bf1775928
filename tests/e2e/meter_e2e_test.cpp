// The installed program on a real X display with a window manager and a
// private sound server (scripts/with-desktop.sh), checked from outside only:
// screenshots, window properties, the settings file.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QImage>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "settings/ini_file.h"
#include "settings/settings_file.h"
#include "tests/settings/temp_folder.h"
#include "tests/support/fifo_feed.h"
#include "tests/support/file_change_counter.h"

extern char** environ;

namespace tarnvale {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

const std::string kDataFolder = TARNVALE_DATA_FOLDER;
const std::string kProgram = TARNVALE_E2E_PROGRAM;

// The settings file itself: the installed path is a link to it, which stays.
fs::path settingsFile() {
  const fs::path path = kDataFolder + "Tarnvale.ini";
  if (!fs::is_symlink(path)) return path;
  const fs::path target = fs::read_symlink(path);
  return target.is_absolute() ? target : path.parent_path() / target;
}

std::string run(const std::string& command) {
  std::string out;
  if (FILE* pipe = ::popen(command.c_str(), "r")) {
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    ::pclose(pipe);
  }
  while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
  return out;
}

template <typename Predicate>
bool waitFor(Predicate done, std::chrono::milliseconds timeout = 5s) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < end) {
    if (done()) return true;
    std::this_thread::sleep_for(50ms);
  }
  return done();
}

struct Geometry {
  int x = 0, y = 0, width = 0, height = 0;
};

// Waits until the window is mapped and stands still where the window manager
// put it, so that a click at a place in it lands there.
bool waitUntilPlaced(const std::string& window) {
  std::string last;
  return waitFor([&] {
    const std::string now = run("xwininfo -id " + window + " | grep -E 'Absolute|Map State'");
    const bool steady = now == last && now.find("IsViewable") != std::string::npos;
    last = now;
    return steady;
  });
}

// One run of the installed program, ended when the test is done with it.
class Meter {
 public:
  explicit Meter(const std::string& caption = "Peak Level") {
    const auto start = std::chrono::steady_clock::now();
    char* argv[] = {const_cast<char*>(kProgram.c_str()), nullptr};
    if (::posix_spawn(&pid_, kProgram.c_str(), nullptr, nullptr, argv, environ) != 0) pid_ = -1;
    waitFor(
        [this, &caption] {
          window_ = topLevel(caption);
          return !window_.empty();
        },
        10s);
    startTime_ = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start);
  }
  ~Meter() {
    if (pid_ > 0 && !exited()) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
  }

  const std::string& window() const { return window_; }
  // How many windows of the program are shown: a popup list adds one.
  int shownWindows() const {
    const std::string ids =
        run("xdotool search --onlyvisible --pid " + std::to_string(pid_) + " 2>/dev/null");
    return ids.empty() ? 0 : static_cast<int>(std::count(ids.begin(), ids.end(), '\n')) + 1;
  }
  std::chrono::milliseconds startTime() const { return startTime_; }
  bool exited() {
    int status = 0;
    return pid_ <= 0 || ::waitpid(pid_, &status, WNOHANG) == pid_;
  }

  Geometry geometry() const {
    Geometry g;
    const std::string info = run("xwininfo -id " + window_);
    std::sscanf(info.c_str() + info.find("Absolute upper-left X:"), "Absolute upper-left X: %d",
                &g.x);
    std::sscanf(info.c_str() + info.find("Absolute upper-left Y:"), "Absolute upper-left Y: %d",
                &g.y);
    std::sscanf(info.c_str() + info.find("Width:"), "Width: %d", &g.width);
    std::sscanf(info.c_str() + info.find("Height:"), "Height: %d", &g.height);
    return g;
  }

  // What the window shows (its client area).
  QImage shot(const std::string& name) const {
    const std::string file = std::string(TARNVALE_E2E_SHOTS) + "/" + name + ".png";
    run("import -window " + window_ + " " + file);
    return QImage(QString::fromStdString(file)).convertToFormat(QImage::Format_RGB32);
  }

 private:
  // The program's top-level window of that caption, or empty. The display
  // control is an X window of its own inside it, which while it is being
  // created may carry the caption too.
  std::string topLevel(const std::string& caption) const {
    const std::string pid = std::to_string(pid_);
    std::istringstream named(run("xdotool search --onlyvisible --pid " + pid + " --name '^" +
                                 caption + "$' 2>/dev/null"));
    for (std::string id; std::getline(named, id);) {
      const std::string tree = run("xwininfo -tree -id " + id);
      const auto at = tree.find("Parent window id: ");
      if (at == std::string::npos) continue;
      const std::string parent = tree.substr(at + 18, tree.find_first_of(" \n", at + 18) - at - 18);
      // Inside a window of the program's own: not the top-level one.
      if (run("xprop -id " + parent + " _NET_WM_PID").ends_with(" = " + pid)) continue;
      return id;
    }
    return {};
  }

  pid_t pid_ = -1;
  std::string window_;
  std::chrono::milliseconds startTime_{0};
};

std::uint32_t rgb(const QImage& image, int x, int y) {
  return image.pixel(x, y) & 0xFFFFFFu;
}

// The vertical default skin: bar columns and the row inside block i.
constexpr int kLeftBarColumn = 150 / 2 - 38 + 10;
constexpr int kRightBarColumn = 150 / 2 + 20 + 10;
constexpr int kBottom = 600 - (600 - 512) / 2;
int blockRow(int block) {
  return kBottom - 8 * block + 3;
}
constexpr int kClipRow = 26;
constexpr std::uint32_t kUnlit = 0x002626;
constexpr std::uint32_t kWhite = 0xFFFFFF;

// Block `block` of the left bar shows a colour: neither unlit nor not yet drawn.
bool leftLit(const QImage& image, int block) {
  const std::uint32_t c = rgb(image, kLeftBarColumn, blockRow(block));
  return c != kUnlit && c != 0;
}

class MeterE2E : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::getenv("TARNVALE_PULSE_DIR") == nullptr || std::getenv("DISPLAY") == nullptr) {
      GTEST_SKIP() << "needs scripts/with-desktop.sh";
    }
    ASSERT_TRUE(fs::exists(kProgram)) << "install the program first: " << kProgram;
    fs::remove(settingsFile());
    fs::create_directories(std::string(TARNVALE_E2E_SHOTS));
  }

  void setting(const char* section, const char* key, const std::string& value) {
    IniFile(kDataFolder + "Tarnvale.ini").write(section, key, value);
  }
  std::optional<std::string> stored(const char* section, const char* key) {
    return IniFile(kDataFolder + "Tarnvale.ini").read(section, key);
  }

  // A square wave into the test input, of the amplitudes in left and right.
  void feed() {
    const std::string fifo = std::string(std::getenv("TARNVALE_PULSE_DIR")) + "/feed";
    feed_ = std::make_unique<test::FifoFeed>(
        fifo, 48000, [this](std::uint64_t frame, std::int16_t& l, std::int16_t& r) {
          const bool high = (frame / 24) % 2 == 0;
          l = static_cast<std::int16_t>(high ? left.load() : -left.load());
          r = static_cast<std::int16_t>(high ? right.load() : -right.load());
        });
    ASSERT_TRUE(feed_->start());
  }

  std::atomic<int> left{0}, right{0};
  std::unique_ptr<test::FifoFeed> feed_;
};

TEST_F(MeterE2E, BarsLightTheBlocksOfTheLevelFedIn) {
  // 3277 maps to position 256 (block 32), 8230 to position 354 (block 44).
  // Captured at the test input's own rate, so the server passes the square
  // wave through unchanged (resampling would make it ring above its level).
  setting("Form", "Sample Rate", "48000");
  left = 3277;
  right = 8230;
  Meter meter;
  ASSERT_FALSE(meter.window().empty());
  feed();
  // Until the average marks have settled on the top lit blocks.
  QImage image;
  waitFor([&] {
    image = meter.shot("levels");
    return rgb(image, kLeftBarColumn, blockRow(32)) == kWhite &&
           rgb(image, kRightBarColumn, blockRow(44)) == kWhite;
  });
  ASSERT_EQ(image.width(), 148);
  ASSERT_EQ(image.height(), 600);
  const struct { int column, lastLit; } bars[] = {{kLeftBarColumn, 32}, {kRightBarColumn, 44}};
  for (const auto& bar : bars) {
    SCOPED_TRACE(bar.column);
    for (int block : {0, 10, bar.lastLit - 1}) {
      const std::uint32_t c = rgb(image, bar.column, blockRow(block));
      EXPECT_NE(c, kUnlit) << block;
      EXPECT_NE(c, kWhite) << block;
    }
    // The hold and the average sit on the top lit block; the average is white.
    EXPECT_EQ(rgb(image, bar.column, blockRow(bar.lastLit)), kWhite);
    EXPECT_EQ(rgb(image, bar.column, blockRow(bar.lastLit + 1)), kUnlit);
    EXPECT_EQ(rgb(image, bar.column, blockRow(63)), kUnlit);
    EXPECT_EQ(rgb(image, bar.column, kClipRow), kUnlit);
  }
}

TEST_F(MeterE2E, FullScaleLatchesTheClipLightsAndADoubleClickPutsThemOut) {
  setting("Form", "Hold Peaks", "1");
  setting("Form", "Sample Rate", "48000");
  left = right = 32767;
  Meter meter;
  ASSERT_FALSE(meter.window().empty());
  feed();
  const auto clipLights = [&](std::uint32_t colour, const char* name) {
    const QImage image = meter.shot(name);
    return rgb(image, kLeftBarColumn, kClipRow) == colour &&
           rgb(image, kRightBarColumn, kClipRow) == colour;
  };
  ASSERT_TRUE(waitFor([&] { return clipLights(0xFF0000u, "clipping"); }));
  left = right = 0;
  // The bars fall; the lights stay.
  ASSERT_TRUE(waitFor([&] { return !leftLit(meter.shot("clipped"), 5); }));
  EXPECT_TRUE(clipLights(0xFF0000u, "clipped"));

  run("xdotool mousemove --window " + meter.window() + " 75 300 click --repeat 2 --delay 80 1");
  EXPECT_TRUE(waitFor([&] { return clipLights(kUnlit, "clip-reset"); }));
}

TEST_F(MeterE2E, KeyColourPixelsAreNotPartOfTheWindow) {
  left = right = 1000;
  Meter meter;
  ASSERT_FALSE(meter.window().empty());
  feed();
  ASSERT_TRUE(waitFor([&] { return leftLit(meter.shot("key-colour"), 0); }));
  // The skin's corners are key colour: what shows there is the desktop behind.
  const Geometry g = meter.geometry();
  const std::string file = std::string(TARNVALE_E2E_SHOTS) + "/desktop.png";
  run("import -window root " + file);
  const QImage desktop = QImage(QString::fromStdString(file)).convertToFormat(QImage::Format_RGB32);
  EXPECT_NE(rgb(desktop, g.x + 1, g.y + 1), 0x400040u);
  EXPECT_EQ(rgb(desktop, g.x + 1, g.y + 1), rgb(desktop, 0, desktop.height() - 1));
  // Inside, the skin itself shows.
  EXPECT_NE(rgb(desktop, g.x + 75, g.y + 300), rgb(desktop, 0, desktop.height() - 1));
  EXPECT_NE(run("xwininfo -shape -id " + meter.window()).find("Window shape extents"),
            std::string::npos);
}

// Another client's window over the desktop, for as long as the object lives.
class OtherWindow {
 public:
  OtherWindow(const std::string& name, const std::string& geometry) : name_(name) {
    run("xmessage -name " + name + " -geometry " + geometry + " covering >/dev/null 2>&1 & echo");
    waitFor([this] {
      id_ = run("xdotool search --onlyvisible --classname '^" + name_ + "$' | head -n 1");
      return !id_.empty();
    });
  }
  ~OtherWindow() { close(); }
  // Its window, or empty if it did not show.
  const std::string& id() const { return id_; }
  // Gone, and no longer shown, once this returns true.
  bool close() {
    run("pkill -f 'xmessage -name " + name_ + "'");
    return waitFor([this] {
      return run("xdotool search --onlyvisible --classname '^" + name_ + "$'").empty();
    });
  }

 private:
  std::string name_;
  std::string id_;
};

// Whether the window manager keeps the window above others.
bool markedAbove(const Meter& meter) {
  return run("xprop -id " + meter.window() + " _NET_WM_STATE").find("_NET_WM_STATE_ABOVE") !=
         std::string::npos;
}

// Drags the meter by its middle, 100 right and 50 down; whether it followed.
bool dragFollowed(const Meter& meter) {
  const Geometry before = meter.geometry();
  run("xdotool mousemove " + std::to_string(before.x + 75) + " " + std::to_string(before.y + 300) +
      " mousedown 1 sleep 0.2 mousemove_relative 20 10 sleep 0.2 mousemove_relative 80 40 sleep "
      "0.3 mouseup 1");
  return waitFor([&] {
    const Geometry after = meter.geometry();
    return after.x >= before.x + 90 && after.y >= before.y + 40;
  });
}

TEST_F(MeterE2E, AWindowThatCoveredTheMeterLeavesItsPictureWhole) {
  setting("Form", "Sample Rate", "48000");
  setting("Form", "left", "100");
  setting("Form", "top", "100");
  left = right = 3277;
  Meter meter;
  ASSERT_FALSE(meter.window().empty());
  feed();
  ASSERT_TRUE(waitFor([&] { return leftLit(meter.shot("before-covered"), 20); }));
  const QImage before = meter.shot("before-covered");
  // Covers all of it, then goes: what shows again is painted anew.
  OtherWindow cover("tarnvale-e2e-cover", "400x800+50+50");
  ASSERT_FALSE(cover.id().empty());
  ASSERT_TRUE(waitUntilPlaced(cover.id()));
  ASSERT_TRUE(cover.close());
  // The skin away from the bars and readouts as it was, once painted again.
  const std::pair<int, int> skinPoints[] = {{5, 5}, {74, 20}, {140, 590}};
  QImage after;
  waitFor([&] {
    after = meter.shot("after-covered");
    return after.size() == before.size() &&
           std::all_of(std::begin(skinPoints), std::end(skinPoints), [&](const auto& p) {
             return rgb(after, p.first, p.second) == rgb(before, p.first, p.second);
           });
  });
  ASSERT_EQ(after.size(), before.size());
  for (const auto& [x, y] : skinPoints) {
    EXPECT_EQ(rgb(after, x, y), rgb(before, x, y)) << x << "," << y;
  }
  EXPECT_TRUE(leftLit(after, 20));
  EXPECT_FALSE(leftLit(after, 40));
}

TEST_F(MeterE2E, OnTopPutsTheWindowAboveOthers) {
  setting("Form", "OnTop", "1");
  Meter meter;
  ASSERT_FALSE(meter.window().empty());
  EXPECT_TRUE(waitFor([&] { return markedAbove(meter); }));
}

TEST_F(MeterE2E, ALeftDragMovesTheWindow) {
  Meter meter;
  ASSERT_FALSE(meter.window().empty());
  EXPECT_TRUE(dragFollowed(meter));
}

TEST_F(MeterE2E, F1WithoutTheHelpFileSaysSo) {
  const std::string help = kDataFolder + "Help/index.html";
  const std::string kept = kDataFolder + "index.html.kept";
  if (fs::exists(help)) fs::rename(help, kept);
  Meter meter;
  ASSERT_FALSE(meter.window().empty());
  run("xdotool windowactivate --sync " + meter.window() + " key F1");
  const bool shown =
      waitFor([] { return !run("xdotool search --name '^ VU Meter Error$'").empty(); });
  if (fs::exists(kept)) fs::rename(kept, help);
  EXPECT_TRUE(shown);
}

TEST_F(MeterE2E, ClosingTheWindowWritesItsPosition) {
  Meter meter;
  ASSERT_FALSE(meter.window().empty());
  run("xdotool windowmove " + meter.window() + " 333 222");
  ASSERT_TRUE(waitFor([&] {
    const Geometry g = meter.geometry();
    return std::abs(g.x - 333) <= 30 && std::abs(g.y - 222) <= 30;
  }));
  run("wmctrl -i -c " + meter.window());
  ASSERT_TRUE(waitFor([&] { return meter.exited(); }));
  const auto left = stored("Form", "left");
  const auto top = stored("Form", "top");
  ASSERT_TRUE(left && top);
  // The frame's outer corner, within the window manager's border.
  EXPECT_NEAR(std::stoi(*left), 333, 30);
  EXPECT_NEAR(std::stoi(*top), 222, 30);
  EXPECT_EQ(stored("Form", "size"), "100");
}

bool dialogShown() {
  return !run("xdotool search --onlyvisible --name '^Level Meter Setup$'").empty();
}

// Opens the setup dialog with a right click on the meter; its window once
// placed, or empty.
std::string openSetup(const Meter& meter) {
  run("xdotool mousemove --window " + meter.window() + " 75 300 click 3");
  std::string dialog;
  waitFor([&] {
    dialog = run("xdotool search --onlyvisible --name '^Level Meter Setup$' | head -n 1");
    return !dialog.empty();
  });
  if (!dialog.empty()) waitUntilPlaced(dialog);
  return dialog;
}

void pressOk(const std::string& dialog) {
  run("xdotool mousemove --window " + dialog + " 718 609 click 1");
  waitFor([] { return !dialogShown(); });
}

// Pixels along a row that show the colour of the left bar's column.
int litWidth(const QImage& image, int row) {
  const std::uint32_t lit = rgb(image, kLeftBarColumn, row);
  int count = 0;
  for (int x = 0; x < image.width(); ++x) count += rgb(image, x, row) == lit ? 1 : 0;
  return count;
}

TEST_F(MeterE2E, TheSetupDialogWidensTheBarsAtOnceAndOkSavesTheWidth) {
  setting("Form", "Sample Rate", "48000");
  // Left of the centred dialog, so that it covers none of the meter.
  setting("Form", "left", "0");
  setting("Form", "top", "100");
  left = right = 3277;
  Meter meter;
  ASSERT_FALSE(meter.window().empty());
  feed();
  ASSERT_TRUE(waitFor([&] { return leftLit(meter.shot("dialog-before"), 5); }));
  const int before = litWidth(meter.shot("dialog-before"), blockRow(5));

  const std::string dialog = openSetup(meter);
  ASSERT_FALSE(dialog.empty());
  run("import -window " + dialog + " " + std::string(TARNVALE_E2E_SHOTS) + "/dialog.png");
  // The up arrow of the width up-down (Panel4 at 8,294; the up-down at 80,91, 64 wide).
  run("xdotool mousemove --window " + dialog + " 148 391 click --repeat 5 --delay 150 1");
  int after = 0;
  waitFor([&] {
    after = litWidth(meter.shot("dialog-wider"), blockRow(5));
    return after - before == 10;
  });
  EXPECT_EQ(after - before, 10);  // both bars, 5 pixels each

  run("xdotool mousemove --window " + dialog + " 718 609 click 1");  // OK
  ASSERT_TRUE(waitFor([] { return !dialogShown(); }));
  // The file is written once the dialog has gone.
  EXPECT_TRUE(waitFor([&] { return stored("Form", "Bar Width") == "25"; }));
}

// ---- Real desktops: devices that come, go and change, a server that restarts ----

// The listed name of the test input (its description is longer than a name).
constexpr char kTestInputName[] = "Tarnvale test input,\u2026y a \u266a pipe";

// The server's name of the source the meter records, "" if it records none.
std::string recordedSource() {
  const std::string outputs = run("pactl list short source-outputs");
  if (outputs.empty()) return {};
  const std::string index = outputs.substr(
      outputs.find('\t') + 1, outputs.find('\t', outputs.find('\t') + 1) - outputs.find('\t') - 1);
  std::istringstream sources(run("pactl list short sources"));
  for (std::string line; std::getline(sources, line);) {
    const auto tab = line.find('\t');
    if (line.substr(0, tab) == index)
      return line.substr(tab + 1, line.find('\t', tab + 1) - tab - 1);
  }
  return {};
}

// A null output for one test; unloaded at its end.
struct NullOutput {
  NullOutput(const std::string& name, const std::string& description)
      : module(run("pactl load-module module-null-sink sink_name=" + name +
                   " \"sink_properties='device.description=\\\"" + description + "\\\"'\"")),
        monitor(name + ".monitor") {}
  ~NullOutput() {
    if (!module.empty()) run("pactl unload-module " + module);
  }
  std::string module;
  std::string monitor;
};

// A square wave of one amplitude played into an output, 44.1 kHz like the
// outputs, with a short latency so that the output's monitor hands it on at once.
class Player {
 public:
  Player(const std::string& sink, std::int16_t amplitude) {
    file_ = std::string(TARNVALE_E2E_SHOTS) + "/" + sink + ".raw";
    {
      std::ofstream out(file_, std::ios::binary);
      std::vector<std::int16_t> samples(2 * 44100 * 60);
      for (std::size_t frame = 0; frame < samples.size() / 2; ++frame) {
        const std::int16_t v =
            (frame / 22) % 2 == 0 ? amplitude : static_cast<std::int16_t>(-amplitude);
        samples[2 * frame] = samples[2 * frame + 1] = v;
      }
      out.write(reinterpret_cast<const char*>(samples.data()),
                static_cast<std::streamsize>(samples.size() * 2));
    }
    const std::string device = "--device=" + sink;
    char* argv[] = {const_cast<char*>("pacat"),        const_cast<char*>("--playback"),
                    const_cast<char*>(device.c_str()), const_cast<char*>("--raw"),
                    const_cast<char*>("--rate=44100"), const_cast<char*>("--latency-msec=20"),
                    const_cast<char*>(file_.c_str()),  nullptr};
    if (::posix_spawnp(&pid_, "pacat", nullptr, nullptr, argv, environ) != 0) pid_ = -1;
  }
  ~Player() {
    if (pid_ > 0) {
      ::kill(pid_, SIGTERM);
      ::waitpid(pid_, nullptr, 0);
    }
    fs::remove(file_);
  }

 private:
  pid_t pid_ = -1;
  std::string file_;
};

TEST_F(MeterE2E, ADefaultSourceChangedWhileRunningLeavesTheSavedDeviceAlone) {
  setting("Input", "Device Name", kTestInputName);
  setting("Form", "left", "900");
  Meter meter;
  ASSERT_FALSE(meter.window().empty());
  ASSERT_TRUE(waitFor([] { return recordedSource() == "tarnvale_test"; }));
  struct Restore {
    ~Restore() { run("pactl set-default-source tarnvale_test"); }
  } restore;
  // A device plugged in becomes the default: the list order changes under the meter.
  run("pactl set-default-source tarnvale_null.monitor");
  ASSERT_TRUE(waitFor([] {
    return run("pactl info | grep '^Default Source:'").ends_with("tarnvale_null.monitor");
  }));
  const std::string dialog = openSetup(meter);
  ASSERT_FALSE(dialog.empty());
  pressOk(dialog);
  EXPECT_TRUE(waitFor([&] { return stored("Input", "Device Name") == kTestInputName; }))
      << stored("Input", "Device Name").value_or("(none)");
  EXPECT_EQ(recordedSource(), "tarnvale_test");
}

TEST_F(MeterE2E, OfTwoSourcesAlikeIn31CharactersTheChosenOneStaysChosenAfterARestart) {
  const NullOutput stereo("tarnvale_stereo", "Built-in Audio Analog Stereo");
  const NullOutput surround("tarnvale_surround", "Built-in Audio Analog Surround 5.1");
  ASSERT_FALSE(stereo.module.empty());
  ASSERT_FALSE(surround.module.empty());
  setting("Form", "left", "900");
  std::string chosen;
  {
    Meter meter;
    ASSERT_FALSE(meter.window().empty());
    const std::string dialog = openSetup(meter);
    ASSERT_FALSE(dialog.empty());
    // The list: the test input, the default output, the null output's
    // monitor, then the two alike: the first of them, one above the last.
    const int shown = meter.shownWindows();
    run("xdotool mousemove --window " + dialog + " 245 474 click 1");
    ASSERT_TRUE(waitFor([&] { return meter.shownWindows() > shown; })) << "no list popped up";
    run("xdotool key End Up Return");
    ASSERT_TRUE(waitFor([&] { return meter.shownWindows() == shown; }));
    pressOk(dialog);
    ASSERT_TRUE(waitFor([&] { return recordedSource() == stereo.monitor; }));
    EXPECT_TRUE(waitFor([&] {
      chosen = stored("Input", "Device Name").value_or("");
      return chosen.find("Stereo") != std::string::npos;
    })) << chosen;
  }
  ASSERT_TRUE(waitFor([] { return recordedSource().empty(); }));
  Meter again;
  ASSERT_FALSE(again.window().empty());
  EXPECT_TRUE(waitFor([&] { return recordedSource() == stereo.monitor; }));
  EXPECT_EQ(stored("Input", "Device Name"), chosen);
}

TEST_F(MeterE2E, TheStreamTellsMixersWhoRecords) {
  Meter meter;
  ASSERT_FALSE(meter.window().empty());
  ASSERT_TRUE(waitFor([] { return !recordedSource().empty(); }));
  const std::string listed = run("pactl list source-outputs");
  for (const char* property :
       {"application.name = \"Tarnvale\"", "application.id = \"tarnvale\"",
        "application.icon_name = \"tarnvale\"", "media.role = \"production\""}) {
    EXPECT_NE(listed.find(property), std::string::npos) << property;
  }
}

TEST_F(MeterE2E, TheDefaultOutputEntryFollowsTheOutputTheUserSwitchesTo) {
  const NullOutput headset("tarnvale_headset", "Tarnvale headset");
  ASSERT_FALSE(headset.module.empty());
  struct Restore {
    ~Restore() { run("pactl set-default-sink tarnvale_null"); }
  } restore;
  run("pactl set-default-sink tarnvale_null");
  // 3277 lights blocks up to 32, 8230 up to 44.
  const Player speakers("tarnvale_null", 3277), phones("tarnvale_headset", 8230);
  setting("Input", "Device Name", "Monitor of default output");
  Meter meter;
  ASSERT_FALSE(meter.window().empty());
  const auto lit = [&](int block) { return leftLit(meter.shot("follow"), block); };
  ASSERT_TRUE(waitFor([&] { return lit(20); }, 10s)) << "nothing from the default output";
  EXPECT_FALSE(lit(40));
  EXPECT_EQ(recordedSource(), "tarnvale_null.monitor");

  run("pactl set-default-sink tarnvale_headset");
  EXPECT_TRUE(waitFor([&] { return lit(40); }, 3s)) << "the bars did not follow";
  EXPECT_EQ(recordedSource(), headset.monitor);
  EXPECT_EQ(stored("Input", "Device Name"), "Monitor of default output");
  EXPECT_TRUE(run("xdotool search --onlyvisible --name '^Form3$'").empty());
}

// Stops the sound server; started again (with its test input) when the test ends.
class ServerOutage {
 public:
  ServerOutage() {
    std::ifstream pidFile(std::string(std::getenv("PULSE_RUNTIME_PATH")) + "/pid");
    pid_t server = 0;
    if (pidFile >> server && ::kill(server, SIGKILL) == 0) {
      waitFor([server] { return ::kill(server, 0) != 0; });
    }
  }
  ~ServerOutage() { restart(); }
  void restart() {
    if (!restarted_) run(std::string(std::getenv("TARNVALE_PULSE_SCRIPT")) + " server");
    restarted_ = true;
  }

 private:
  bool restarted_ = false;
};

std::string recoveryWindow() {
  return run("xdotool search --onlyvisible --name '^Form3$' | head -n 1");
}

TEST_F(MeterE2E, AServerAwayForSecondsIsReconnectedAndTheBarsComeBack) {
  setting("Form", "Sample Rate", "48000");
  left = right = 3277;
  Meter meter;
  ASSERT_FALSE(meter.window().empty());
  feed();
  ASSERT_TRUE(waitFor([&] { return leftLit(meter.shot("before-outage"), 20); }));
  {
    ServerOutage outage;
    ASSERT_TRUE(waitFor([] { return !recoveryWindow().empty(); }));
    // The outage itself: longer than any single wait of the wave input.
    std::this_thread::sleep_for(4s);
    EXPECT_FALSE(meter.exited());
    EXPECT_FALSE(recoveryWindow().empty());
    feed_.reset();
    outage.restart();
  }
  EXPECT_TRUE(waitFor([] { return recoveryWindow().empty(); }, 5s));
  EXPECT_FALSE(meter.exited());
  feed();
  EXPECT_TRUE(waitFor([&] { return leftLit(meter.shot("after-outage"), 20); }));
}

TEST_F(MeterE2E, CloseNowAnswersWhileTheServerIsAway) {
  Meter meter;
  ASSERT_FALSE(meter.window().empty());
  ServerOutage outage;
  std::string recovery;
  ASSERT_TRUE(waitFor([&] { return !(recovery = recoveryWindow()).empty(); }));
  ASSERT_TRUE(waitUntilPlaced(recovery));
  run("xdotool mousemove --window " + recovery + " 496 64 click 1");
  EXPECT_TRUE(waitFor([&] { return meter.exited(); }, 1s));
}

TEST_F(MeterE2E, EscapeLeavesTheSetupDialogOpen) {
  setting("Form", "left", "0");
  setting("Form", "top", "100");
  Meter meter;
  ASSERT_FALSE(meter.window().empty());
  const std::string dialog = openSetup(meter);
  ASSERT_FALSE(dialog.empty());
  // Into the calibration field (Panel2 at 8,96; the field at 124,29, 60 by 24).
  run("xdotool mousemove --window " + dialog + " 162 137 click 1");
  ASSERT_TRUE(waitFor([&] { return run("xdotool getwindowfocus") == dialog; }));
  run("xdotool key Escape");
  // Nothing is to happen: the dialog is still there most of a second later.
  EXPECT_FALSE(waitFor([] { return !dialogShown(); }, 700ms));
  EXPECT_FALSE(stored("Form", "cal").has_value());  // OK would have saved it
  // The keys do reach the field: Enter there closes the dialog with OK.
  run("xdotool key Return");
  EXPECT_TRUE(waitFor([] { return !dialogShown(); }));
  EXPECT_TRUE(waitFor([this] { return stored("Form", "cal").has_value(); }));
}

TEST_F(MeterE2E, ExitProgramSavesTheWindowStateOnce) {
  // How often one window-state save writes the file.
  int oneSave = 0;
  {
    test::TempFolder folder;
    test::FileChangeCounter counter(folder.path(), "Tarnvale.ini");
    saveWindowState(MeterSettings{}, folder.path(), {0, 0});
    oneSave = counter.count();
  }
  ASSERT_GT(oneSave, 0);

  setting("Form", "left", "0");
  setting("Form", "top", "100");
  const fs::path file = settingsFile();
  test::FileChangeCounter saves(file.parent_path().string(), file.filename().string());
  Meter meter;
  ASSERT_FALSE(meter.window().empty());
  const std::string dialog = openSetup(meter);
  ASSERT_FALSE(dialog.empty());
  run("xdotool mousemove --window " + dialog + " 610 609 click 1");  // Exit Program
  ASSERT_TRUE(waitFor([&] { return meter.exited(); }));
  EXPECT_EQ(saves.count(), oneSave);
  EXPECT_EQ(stored("Form", "size"), "100");
}

// A window manager that gives no window the focus; CTest runs this under
// scripts/with-desktop.sh with TARNVALE_WINDOW_MANAGER naming one.
class MeterNoFocusE2E : public MeterE2E {
 protected:
  void SetUp() override {
    if (std::getenv("TARNVALE_WINDOW_MANAGER") == nullptr) {
      GTEST_SKIP() << "needs a window manager that gives no window the focus";
    }
    MeterE2E::SetUp();
  }
};

TEST_F(MeterNoFocusE2E, TheMeterOpensAtItsSavedPlace) {
  setting("Form", "left", "300");
  setting("Form", "top", "250");
  Meter meter;
  ASSERT_FALSE(meter.window().empty());
  EXPECT_TRUE(waitFor([&] {
    const Geometry g = meter.geometry();
    return g.x == 300 && g.y == 250;
  }));
  // And the focus never came to it.
  EXPECT_EQ(run("xprop -root _NET_ACTIVE_WINDOW"), "_NET_ACTIVE_WINDOW(WINDOW): window id # 0x0");
  EXPECT_NE(run("xdotool getwindowfocus 2>/dev/null"), meter.window());
}

// A Wayland session (a headless compositor, WAYLAND_DISPLAY and
// XDG_SESSION_TYPE set, Qt's Wayland plugin installed); CTest runs this under
// scripts/with-desktop.sh with TARNVALE_WAYLAND=1, whose X display stands in
// for the session's XWayland.
class MeterWaylandE2E : public MeterE2E {
 protected:
  void SetUp() override {
    const char* session = std::getenv("XDG_SESSION_TYPE");
    if (std::getenv("WAYLAND_DISPLAY") == nullptr || session == nullptr ||
        std::string(session) != "wayland") {
      GTEST_SKIP() << "needs a Wayland session: TARNVALE_WAYLAND=1 scripts/with-desktop.sh";
    }
    MeterE2E::SetUp();
  }
};

TEST_F(MeterWaylandE2E, TheMeterIsAnXWindowAboveOthersThatADragMoves) {
  setting("Form", "OnTop", "1");
  setting("Form", "left", "200");
  setting("Form", "top", "100");
  Meter meter;
  ASSERT_FALSE(meter.window().empty()) << "no meter window on the X display";
  ASSERT_TRUE(waitFor([&] { return markedAbove(meter); }));

  // Another window opened over it afterwards stays below it.
  const OtherWindow other("tarnvale-e2e-other", "400x400+150+150");
  ASSERT_FALSE(other.id().empty());
  const auto stackedAbove = [&] {
    const std::string stacking = run("xprop -root _NET_CLIENT_LIST_STACKING");
    const auto id = [](const std::string& window) {
      char hex[32];
      std::snprintf(hex, sizeof hex, "0x%lx", std::stoul(window));
      return std::string(hex);
    };
    const auto meterAt = stacking.find(id(meter.window()));
    const auto otherAt = stacking.find(id(other.id()));
    return meterAt != std::string::npos && otherAt != std::string::npos && meterAt > otherAt;
  };
  EXPECT_TRUE(waitFor(stackedAbove)) << run("xprop -root _NET_CLIENT_LIST_STACKING");

  EXPECT_TRUE(dragFollowed(meter));
}

// Odd files at the settings path: the meter starts on what it can read and
// stays up; a file it cannot read whole is never replaced, and closing then
// says the settings could not be saved.
TEST_F(MeterE2E, OddSettingsFilesStartTheMeterAndLoseNothing) {
  const fs::path file = settingsFile();
  const fs::path elsewhere = fs::path(TARNVALE_E2E_SHOTS) / "linked.ini";
  const std::string bom = "\xEF\xBB\xBF";
  const struct {
    const char* what;
    std::function<void()> make;
    const char* caption;  // the label read from the file, or the default
    bool saves;
    std::function<bool()> kept;
  } cases[] = {
      {"a FIFO", [&] { ::mkfifo(file.c_str(), 0666); }, "Peak Level", false,
       [&] { return fs::is_fifo(file); }},
      {"a sparse file of 2 GiB",
       [&] {
         std::ofstream(file) << "[Input]\nShort Name=Big\n";
         fs::resize_file(file, std::uint64_t{2} << 30);
       },
       "Peak Level", false, [&] { return fs::file_size(file) == std::uint64_t{2} << 30; }},
      {"a byte-order mark",
       [&] { std::ofstream(file) << bom << "[Input]\nShort Name=Marked\n[Form]\nsize=100\n"; },
       "Marked", true,
       [&] {
         std::ifstream in(file);
         const std::string text{std::istreambuf_iterator<char>(in), {}};
         return text.starts_with(bom + "[Input]\nShort Name=Marked\nDevice=0\n") &&
                text.find("[Input]", 4) == std::string::npos;
       }},
      {"a link to a file elsewhere",
       [&] {
         std::ofstream(elsewhere) << "[Input]\nShort Name=Linked\n";
         fs::create_symlink(elsewhere, file);
       },
       "Linked", true,
       [&] {
         std::ifstream in(elsewhere);
         const std::string text{std::istreambuf_iterator<char>(in), {}};
         return fs::is_symlink(file) && text.find("left=") != std::string::npos;
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove(file);
    fs::remove(elsewhere);
    c.make();
    {
      Meter meter(c.caption);
      ASSERT_FALSE(meter.window().empty());
      std::cout << c.what << ": window after " << meter.startTime().count() << " ms\n";
      // Up, and still up half a second later.
      EXPECT_FALSE(waitFor([&] { return meter.exited(); }, 500ms));
      run("wmctrl -i -c " + meter.window());
      if (!c.saves) {
        EXPECT_TRUE(
            waitFor([] { return !run("xdotool search --name '^ Level Meter Error$'").empty(); }));
      }
      EXPECT_EQ(waitFor([&] { return meter.exited(); }, 2s), c.saves);
    }
    EXPECT_TRUE(c.kept());
  }
  fs::remove(file);
  fs::remove(elsewhere);
}

}  // namespace
}  // namespace tarnvale

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
#include <string>
#include <thread>
#include <vector>

#include "settings/ini_file.h"
#include "tests/support/fifo_feed.h"

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

// One run of the installed program, ended when the test is done with it.
class Meter {
 public:
  explicit Meter(const std::string& caption = "Peak Level") {
    const auto start = std::chrono::steady_clock::now();
    char* argv[] = {const_cast<char*>(kProgram.c_str()), nullptr};
    if (::posix_spawn(&pid_, kProgram.c_str(), nullptr, nullptr, argv, environ) != 0) pid_ = -1;
    waitFor(
        [this, &caption] {
          window_ = run("xdotool search --onlyvisible --pid " + std::to_string(pid_) +
                        " --name '^" + caption + "$' 2>/dev/null | head -n 1");
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
  std::this_thread::sleep_for(1500ms);
  const QImage image = meter.shot("levels");
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
  std::this_thread::sleep_for(1000ms);
  left = right = 0;
  std::this_thread::sleep_for(500ms);
  QImage image = meter.shot("clipped");
  EXPECT_EQ(rgb(image, kLeftBarColumn, kClipRow), 0xFF0000u);
  EXPECT_EQ(rgb(image, kRightBarColumn, kClipRow), 0xFF0000u);

  run("xdotool mousemove --window " + meter.window() + " 75 300 click --repeat 2 --delay 80 1");
  std::this_thread::sleep_for(500ms);
  image = meter.shot("clip-reset");
  EXPECT_EQ(rgb(image, kLeftBarColumn, kClipRow), kUnlit);
  EXPECT_EQ(rgb(image, kRightBarColumn, kClipRow), kUnlit);
}

TEST_F(MeterE2E, KeyColourPixelsAreNotPartOfTheWindow) {
  left = right = 1000;
  Meter meter;
  ASSERT_FALSE(meter.window().empty());
  feed();
  std::this_thread::sleep_for(1000ms);
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

TEST_F(MeterE2E, OnTopPutsTheWindowAboveOthers) {
  setting("Form", "OnTop", "1");
  Meter meter;
  ASSERT_FALSE(meter.window().empty());
  EXPECT_TRUE(waitFor([&] {
    return run("xprop -id " + meter.window() + " _NET_WM_STATE").find("_NET_WM_STATE_ABOVE") !=
           std::string::npos;
  }));
}

TEST_F(MeterE2E, ALeftDragMovesTheWindow) {
  Meter meter;
  ASSERT_FALSE(meter.window().empty());
  const Geometry before = meter.geometry();
  run("xdotool mousemove " + std::to_string(before.x + 75) + " " + std::to_string(before.y + 300) +
      " mousedown 1 sleep 0.2 mousemove_relative 20 10 sleep 0.2 mousemove_relative 80 40 sleep "
      "0.3 mouseup 1");
  EXPECT_TRUE(waitFor([&] {
    const Geometry after = meter.geometry();
    return after.x >= before.x + 90 && after.y >= before.y + 40;
  }));
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
  std::this_thread::sleep_for(300ms);
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
  std::this_thread::sleep_for(1000ms);
  const int before = litWidth(meter.shot("dialog-before"), blockRow(5));

  run("xdotool mousemove --window " + meter.window() + " 75 300 click 3");
  std::string dialog;
  ASSERT_TRUE(waitFor([&] {
    dialog = run("xdotool search --onlyvisible --name '^Level Meter Setup$' | head -n 1");
    return !dialog.empty();
  }));
  std::this_thread::sleep_for(300ms);
  run("import -window " + dialog + " " + std::string(TARNVALE_E2E_SHOTS) + "/dialog.png");
  // The up arrow of the width up-down (Panel4 at 8,294; the up-down at 80,91, 64 wide).
  for (int i = 0; i < 5; ++i) {
    run("xdotool mousemove --window " + dialog + " 148 391 click 1");
    std::this_thread::sleep_for(100ms);
  }
  std::this_thread::sleep_for(500ms);
  const int after = litWidth(meter.shot("dialog-wider"), blockRow(5));
  EXPECT_EQ(after - before, 10);  // both bars, 5 pixels each

  run("xdotool mousemove --window " + dialog + " 718 609 click 1");  // OK
  ASSERT_TRUE(waitFor(
      [] { return run("xdotool search --onlyvisible --name '^Level Meter Setup$'").empty(); }));
  EXPECT_EQ(stored("Form", "Bar Width"), "25");
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
      std::this_thread::sleep_for(500ms);
      EXPECT_FALSE(meter.exited());
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

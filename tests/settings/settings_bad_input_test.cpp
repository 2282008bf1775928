#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <iostream>
#include <random>
#include <string>
#include <vector>

#include "platform/locale.h"
#include "settings/ring_length.h"
#include "settings/settings_file.h"
#include "tests/settings/temp_folder.h"
#include "tests/support/run_as.h"

namespace tarnvale {
namespace {

using namespace std::string_literals;
using test::writeFileBytes;

class BadInputTest : public ::testing::Test {
 protected:
  test::TempFolder folder;
  std::string data = folder.path();
  std::string file = settingsPath(data);
  FixedLocale point{"."};

  MeterSettings loadFrom(const std::string& text) {
    writeFileBytes(file, text);
    MeterSettings s;
    loadSettings(s, data, point);
    return s;
  }
};

std::string binaryLine(std::size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(random() & 0xFF);
  for (char& c : bytes)
    if (c == '\n') c = '\0';
  bytes[0] = '\x01';  // one line that is neither a header nor anything under one
  return bytes;
}

TEST_F(BadInputTest, UnreadablePartsTakeTheirDefaults) {
  // Long, though within the size a settings file may have.
  const std::string longLine(900 * 1024, 'n');
  const struct {
    const char* what;
    std::string content;
    std::int32_t size;
    std::string shortName;
  } cases[] = {
      {"binary bytes", binaryLine(65536, 7), 100, "Peak Level"},
      {"NUL bytes", std::string(1000, '\0'), 100, "Peak Level"},
      {"NUL bytes before", "\0\0\0\n[Form]\nsize=50\n"s, 50, "Peak Level"},
      {"a 900 KB line", "[Input]\nShort Name=" + longLine + "\n[Form]\nsize=50", 50,
       std::string(2047, 'n')},
      {"a 900 KB junk line", "[Form]\njunk" + longLine + "\nsize=50\n", 50, "Peak Level"},
      {"no final newline", "[Form]\nsize=50", 50, "Peak Level"},
      {"header without bracket", "[Form\nsize=50\n", 100, "Peak Level"},
      {"unclosed header inside a section", "[Form]\n[Input\nsize=50\n", 50, "Peak Level"},
      {"a 3000-character key", "[Form]\n" + std::string(3000, 'k') + "=1\nsize=50\n", 50,
       "Peak Level"},
      {"NUL inside a key", "[Form]\nsize\0=50\n"s, 100, "Peak Level"},
      {"NUL inside a number", "[Form]\nsize=5\0"s, 100, "Peak Level"},
      {"invalid UTF-8 text", "[Input]\nShort Name=\xFF\xFE\n", 100, "\xFF\xFE"},
      {"CR alone does not end a line", "[Form]\rsize=50\r", 100, "Peak Level"},
  };
  for (const auto& c : cases) {
    const MeterSettings s = loadFrom(c.content);
    EXPECT_EQ(s.sizePercent, c.size) << c.what;
    EXPECT_EQ(s.shortName, c.shortName) << c.what;
    EXPECT_EQ(s.avgRingLength, 9) << c.what;
    EXPECT_EQ(s.labelFont, LabelFont{}) << c.what;
  }
}

// Random bytes mixed with pieces of real entries.
std::string corpusFile(std::mt19937& random) {
  static const std::vector<std::string> pieces = {
      "[Form]",
      "[Input]",
      "[form",
      "]",
      "[",
      "=",
      "\n",
      "\n",
      "\r\n",
      "\r",
      " ",
      "\t",
      "\"",
      "'",
      ";",
      "size=",
      "Average Time=",
      "Sample Rate=",
      "Short Name=",
      "cal=",
      "ClipLevel=",
      "TopColor=",
      "FontStyle=",
      "Graphic=",
      "0x",
      "$",
      "-",
      "+",
      "2147483648",
      "99999",
      "1",
      "0",
      "-0.5",
      "-0,5",
      "\xC3\xA9",
      "\xE2\x82",
      "\xF0\x9F\x8E\xB5",
      "\0"s,
      "\xFF",
  };
  std::string out;
  const int count = static_cast<int>(random() % 80) + 1;
  for (int i = 0; i < count; ++i) {
    const unsigned choice = random() % 10;
    if (choice < 3) {
      const std::size_t length = random() % 64 + 1;
      for (std::size_t k = 0; k < length; ++k) out += static_cast<char>(random() & 0xFF);
    } else if (choice == 3 && random() % 8 == 0) {
      out.append(random() % 4000 + 2000, static_cast<char>('a' + random() % 26));
    } else {
      out += pieces[random() % pieces.size()];
    }
  }
  return out;
}

TEST_F(BadInputTest, SeededCorpusLoadsAndTakesTheWindowStateBack) {
  std::mt19937 random(20240611);
  for (int n = 0; n < 300; ++n) {
    const std::string content = corpusFile(random);
    SCOPED_TRACE("corpus file " + std::to_string(n));
    MeterSettings s = loadFrom(content);

    EXPECT_GE(s.sizePercent, 20);
    EXPECT_LE(s.sizePercent, 200);
    EXPECT_EQ(s.avgRingLength, clampRingLength(ringLengthFor(s.averageTimeMs, s.sampleRate,
                                                             bufferBytesFor(s.sampleRate))));
    for (const std::string* text : {&s.deviceName, &s.shortName, &s.calibrationText, &s.decayText,
                                    &s.lockPassword, &s.graphicPath, &s.labelFont.name}) {
      EXPECT_LE(text->size(), 4 * 2047u);
      EXPECT_EQ(text->find('\n'), std::string::npos);
    }
    MeterSettings again;
    loadSettings(again, data, point);
    EXPECT_EQ(again, s);

    // Whatever the file held, the window state written into it reads back.
    s.borderless = !s.borderless;
    s.sizePercent = 20 + n % 181;
    s.deviceIndex = n;
    s.graphicPath = data + "Skins/skin" + std::to_string(n) + ".bmp";
    saveWindowState(s, data, {n, -n});
    MeterSettings reloaded;
    loadSettings(reloaded, data, point);
    EXPECT_EQ(reloaded.windowLeft, n);
    EXPECT_EQ(reloaded.windowTop, -n);
    EXPECT_EQ(reloaded.borderless, s.borderless);
    EXPECT_EQ(reloaded.sizePercent, s.sizePercent);
    EXPECT_EQ(reloaded.deviceIndex, n);
    EXPECT_EQ(reloaded.graphicPath, s.graphicPath);
  }
}

// What is at the settings path, and what a start and a save make of it.
struct BadFile {
  const char* what;
  std::function<void(const std::string& data, const std::string& file)> make;
  bool asOtherUser;         // loaded and saved by a user who owns neither file nor folder
  std::int32_t loadedSize;  // "size" as loaded: 50 from the file, 100 by default
  bool saves;
  // What must hold afterwards; "" when it does.
  std::function<std::string(const std::string& file)> after;
};

constexpr const char* kContent = "[Input]\nShort Name=Studio\n[Form]\nsize=50\n";

std::string unchanged(const std::string& path, const std::string& bytes) {
  return test::readFileBytes(path) == bytes ? "" : path + " changed";
}

TEST_F(BadInputTest, BadFilesAtTheSettingsPathStartWithWhatCanBeReadAndLoseNothing) {
  namespace fs = std::filesystem;
  constexpr std::uint64_t kTwoGiB = std::uint64_t{2} << 30;
  const std::string bom = "\xEF\xBB\xBF";
  const std::string atTheLimit = [] {
    std::string text = kContent;
    while (text.size() < kMaxIniFileBytes) text += "; " + std::string(60, 'x') + "\n";
    text.resize(kMaxIniFileBytes - 1);
    return text + "\n";
  }();
  const BadFile cases[] = {
      {"a FIFO", [](auto&, auto& f) { ::mkfifo(f.c_str(), 0666); }, false, 100, false,
       [](auto& f) { return fs::is_fifo(f) ? "" : "the FIFO is gone"; }},
      {"a link to a device", [](auto&, auto& f) { fs::create_symlink("/dev/zero", f); }, false, 100,
       false,
       [](auto& f) { return fs::is_symlink(f) && fs::is_character_file(f) ? "" : "link gone"; }},
      {"a folder", [](auto&, auto& f) { fs::create_directory(f); }, false, 100, false,
       [](auto& f) { return fs::is_directory(f) ? "" : "the folder is gone"; }},
      {"a sparse file of 2 GiB",
       [](auto&, auto& f) {
         test::writeFileBytes(f, kContent);
         fs::resize_file(f, kTwoGiB);
       },
       false, 100, false,
       [](auto& f) {
         struct stat info {};
         ::stat(f.c_str(), &info);
         if (static_cast<std::uint64_t>(info.st_size) != kTwoGiB) return std::string("resized");
         // Still sparse: nothing filled the holes in.
         return info.st_blocks * 512 < 1024 * 1024 ? "" : std::string("holes filled");
       }},
      {"a file of just the size limit",
       [&](auto&, auto& f) { test::writeFileBytes(f, atTheLimit); }, false, 50, true,
       [](auto& f) {
         return test::readFileBytes(f).find("; xxx") != std::string::npos ? "" : "comments lost";
       }},
      {"a byte-order mark", [&](auto&, auto& f) { test::writeFileBytes(f, bom + kContent); }, false,
       50, true,
       [&](auto& f) {
         const std::string text = test::readFileBytes(f);
         if (!text.starts_with(bom + "[Input]\nShort Name=\"Studio\"\n"))
           return "bad start: " + text;
         return text.find("[Input]", 4) == std::string::npos ? "" : "a second [Input]: " + text;
       }},
      {"our link to a file elsewhere",
       [](auto& d, auto& f) {
         fs::create_directory(d + "shared");
         test::writeFileBytes(d + "shared/Tarnvale.ini", kContent);
         fs::create_symlink("shared/Tarnvale.ini", f);
       },
       false, 50, true,
       [&](auto& f) {
         if (!fs::is_symlink(f)) return std::string("the link was replaced");
         return test::readFileBytes(fs::path(f).parent_path() / "shared/Tarnvale.ini")
                            .find("Graphic=") != std::string::npos
                    ? ""
                    : std::string("not written through");
       }},
      {"a link loop",
       [](auto& d, auto& f) {
         fs::create_symlink("loop", f);
         fs::create_symlink("Tarnvale.ini", d + "loop");
       },
       false, 100, false, [](auto& f) { return fs::is_symlink(f) ? "" : "the link is gone"; }},
      {"another user's link",
       [](auto& d, auto& f) {
         test::writeFileBytes(d + "mine.ini", kContent);
         fs::create_symlink("mine.ini", f);
         ::lchown(f.c_str(), 4321, 4321);
       },
       false, 100, false,
       [&](auto& f) {
         return fs::is_symlink(f) ? unchanged(fs::path(f).parent_path() / "mine.ini", kContent)
                                  : "the link is gone";
       }},
      {"a folder not writable while the file is",
       [](auto& d, auto& f) {
         test::writeFileBytes(f, kContent);
         ::chmod(f.c_str(), 0666);
         ::chmod(d.c_str(), 0555);
       },
       true, 50, false, [](auto& f) { return unchanged(f, kContent); }},
      {"a file we may not read",
       [](auto&, auto& f) {
         test::writeFileBytes(f, kContent);
         ::chmod(f.c_str(), 0600);
       },
       true, 100, false, [](auto& f) { return unchanged(f, kContent); }},
  };
  for (const BadFile& c : cases) {
    SCOPED_TRACE(c.what);
    if ((c.asOtherUser || std::string(c.what) == "another user's link") && ::geteuid() != 0) {
      std::cout << "needs root, not tried: " << c.what << "\n";
      continue;
    }
    const test::TempFolder place;
    ::chmod(place.path().c_str(), 0777);
    const std::string dataFolder = place.path();
    const std::string path = settingsPath(dataFolder);
    c.make(dataFolder, path);

    const auto scenario = [&]() -> std::string {
      MeterSettings s;
      loadSettings(s, dataFolder, point);
      std::string problems;
      if (s.sizePercent != c.loadedSize)
        problems += "size loaded as " + std::to_string(s.sizePercent) + "; ";
      if ((c.loadedSize == 50) != (s.shortName == "Studio"))
        problems += "label loaded as " + s.shortName + "; ";
      std::string error;
      try {
        saveSettings(s, dataFolder, point, {0, 0}, false);
      } catch (const SettingsWriteError& e) {
        error = e.what();
      }
      if (c.saves && !error.empty()) problems += "save failed: " + error + "; ";
      if (!c.saves && error != "Unable to write to " + path)
        problems += "save gave: " + error + "; ";
      return problems;
    };
    const std::string problems =
        c.asOtherUser ? test::runAsUser(65534, 65534, scenario) : scenario();
    EXPECT_EQ(problems, "");
    ::chmod(dataFolder.c_str(), 0777);
    EXPECT_EQ(c.after(path), "");
    // No temporary file stays behind, whatever the outcome.
    for (const auto& entry : fs::directory_iterator(dataFolder))
      EXPECT_FALSE(entry.path().string().ends_with(".tmp")) << entry.path();
  }
}

}  // namespace
}  // namespace tarnvale

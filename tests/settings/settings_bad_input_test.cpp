#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "platform/locale.h"
#include "settings/ring_length.h"
#include "settings/settings_file.h"
#include "tests/settings/temp_folder.h"

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
  const std::string tenMegabytes(10 * 1024 * 1024, 'n');
  const struct {
    const char* what;
    std::string content;
    std::int32_t size;
    std::string shortName;
  } cases[] = {
      {"binary bytes", binaryLine(65536, 7), 100, "Peak Level"},
      {"NUL bytes", std::string(1000, '\0'), 100, "Peak Level"},
      {"NUL bytes before", "\0\0\0\n[Form]\nsize=50\n"s, 50, "Peak Level"},
      {"a 10 MB line", "[Input]\nShort Name=" + tenMegabytes + "\n[Form]\nsize=50", 50,
       std::string(2047, 'n')},
      {"a 10 MB junk line", "[Form]\njunk" + tenMegabytes + "\nsize=50\n", 50, "Peak Level"},
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

}  // namespace
}  // namespace tarnvale

#include "settings/settings_file.h"

#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <filesystem>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "platform/locale.h"
#include "tests/settings/file_size_limit.h"
#include "tests/settings/temp_folder.h"

namespace tarnvale {
namespace {

using test::readFileBytes;
using test::writeFileBytes;

// Every key as the full save writes it, in its order, as "Section/key".
const std::vector<std::string> kSaveOrder = {
    "Input/Device Name",
    "Input/Device",
    "Input/Short Name",
    "Form/cal",
    "Form/ClipLevel",
    "Form/decay",
    "Form/amber",
    "Form/borderless",
    "Form/ontop",
    "Form/Show Average",
    "Form/SHow Phase",
    "Form/TopColor",
    "Form/MidColor",
    "Form/BaseColor",
    "Form/PeakColor",
    "Form/Blend",
    "Form/Hold Peaks",
    "Form/Readout",
    "Form/Average Time",
    "Form/Reset Time",
    "Form/Coloured Peaks",
    "Form/Bar Width",
    "Form/Offset Left",
    "Form/Offset Right",
    "Form/DC Offset Comp",
    "Form/DC Offset Left",
    "Form/DC Offset Right",
    "Form/Sample Rate",
    "Form/password",
    "Form/Locked",
    "Form/left",
    "Form/top",
    "Form/size",
    "Form/redstart",
    "Form/amberstart",
    "Form/Blocks",
    "Form/Vertical",
    "Form/Channel Mode",
    "Form/Graphic",
    "Form/FontName",
    "Form/FontSize",
    "Form/FontColor",
    "Form/FontStyle",
};

// "Section/key" of every entry line, in file order.
std::vector<std::string> keysInFile(const std::string& text) {
  std::vector<std::string> keys;
  std::istringstream lines(text);
  std::string line, section;
  while (std::getline(lines, line)) {
    if (line.starts_with("["))
      section = line.substr(1, line.find(']') - 1);
    else if (const auto eq = line.find('='); eq != std::string::npos)
      keys.push_back(section + "/" + line.substr(0, eq));
  }
  return keys;
}

MeterSettings defaultsFor(const std::string& dataFolder) {
  MeterSettings s;
  s.graphicPath = dataFolder + "default.bmp";
  return s;
}

// A value other than the default in every field.
MeterSettings unusualSettings(const std::string& dataFolder) {
  MeterSettings s;
  s.deviceName = "USB Mic (2)";
  s.deviceIndex = 3;
  s.shortName = "  Studio A  ";
  s.calibrationText = "-4";
  s.clipLevelDb = -0.25;
  s.decayText = "7";
  s.amber = true;
  s.borderless = true;
  s.onTop = true;
  s.showAverage = false;
  s.showPhase = true;
  s.topColor = -65536;      // opaque red
  s.midColor = -256;        // opaque yellow
  s.baseColor = -16711936;  // opaque green
  s.peakColor = -1;
  s.blend = false;
  s.holdPeaks = true;
  s.readoutMode = 2;
  s.averageTimeMs = 1000;
  s.holdResetMs = 5000;
  s.colouredPeaks = false;
  s.barWidth = 33;
  s.offsetLeft = -12;
  s.offsetRight = 7;
  s.dcOffsetComp = true;
  s.dcOffsetLeft = -15;
  s.dcOffsetRight = 22;
  s.sampleRate = 48000;
  s.lockPassword = "s3cret";
  s.locked = true;
  s.windowLeft = -30;
  s.windowTop = 1500;
  s.sizePercent = 150;
  s.redStart = 60;
  s.amberStart = 40;
  s.blocks = false;
  s.vertical = false;
  s.channelMode = 3;
  s.graphicPath = dataFolder + "Skins/My Skin.jpg";
  s.labelFont = {"DejaVu Sans", 18, static_cast<std::int32_t>(0xFF000005u), 5};
  s.avgRingLength = 30;  // 1000 ms at 48000 Hz
  return s;
}

class SettingsFileTest : public ::testing::Test {
 protected:
  test::TempFolder folder;
  std::string data = folder.path();
  std::string file = settingsPath(data);
  FixedLocale point{"."};

  MeterSettings loadFrom(const std::string& text, const Locale& locale) {
    writeFileBytes(file, text);
    MeterSettings s;
    loadSettings(s, data, locale);
    return s;
  }
  MeterSettings loadFrom(const std::string& text) { return loadFrom(text, point); }
};

TEST_F(SettingsFileTest, PathIsTheDataFolderAndTheFileName) {
  EXPECT_EQ(settingsPath("/var/lib/Quillmoor/Tarnvale/"),
            "/var/lib/Quillmoor/Tarnvale/Tarnvale.ini");
}

TEST_F(SettingsFileTest, NoFileLoadsEveryDefault) {
  MeterSettings s = unusualSettings(data);
  loadSettings(s, data, point);
  EXPECT_EQ(s, defaultsFor(data));
  EXPECT_EQ(s.sizePercent, 100);
  EXPECT_EQ(s.avgRingLength, 9);

  MeterSettings missingFolder = unusualSettings(data);
  loadSettings(missingFolder, data + "nowhere/", point);
  EXPECT_EQ(missingFolder, defaultsFor(data + "nowhere/"));
}

TEST_F(SettingsFileTest, SaveOfTheDefaultsWritesThisFile) {
  MeterSettings s = defaultsFor(data);
  saveSettings(s, data, point, {200, 200}, false);
  EXPECT_EQ(readFileBytes(file),
            "[Input]\nDevice Name=\nDevice=0\nShort Name=\"Peak Level\"\n"
            "[Form]\ncal=0\nClipLevel=-0.5\ndecay=4\namber=0\nborderless=0\nontop=0\n"
            "Show Average=1\nSHow Phase=0\nTopColor=16711680\nMidColor=16776960\n"
            "BaseColor=65280\nPeakColor=16777215\nBlend=1\nHold Peaks=0\nReadout=0\n"
            "Average Time=300\nReset Time=2000\nColoured Peaks=1\nBar Width=20\n"
            "Offset Left=0\nOffset Right=0\nDC Offset Comp=0\nDC Offset Left=0\n"
            "DC Offset Right=0\nSample Rate=44100\npassword=\nLocked=0\nleft=200\ntop=200\n"
            "size=100\nredstart=53\namberstart=32\nBlocks=1\nVertical=1\nChannel Mode=0\n"
            "Graphic=" +
                data +
                "default.bmp\nFontName=Arial\nFontSize=12\n"
                "FontColor=16777215\nFontStyle=0\n");
}

TEST_F(SettingsFileTest, EveryFieldReadsBackAsSaved) {
  for (const char* separator : {".", ","}) {
    SCOPED_TRACE(separator);
    const FixedLocale locale(separator);
    std::filesystem::remove(file);
    MeterSettings saved = unusualSettings(data);
    saveSettings(saved, data, locale, {-30, 1500}, true);

    EXPECT_EQ(keysInFile(readFileBytes(file)), kSaveOrder);
    EXPECT_EQ(*IniFile(file).read("Form", "ClipLevel"), std::string("-0") + separator + "25");

    MeterSettings loaded;
    loadSettings(loaded, data, locale);
    EXPECT_EQ(loaded, unusualSettings(data));
  }
}

TEST_F(SettingsFileTest, SaveWritesTheAdjustedForms) {
  MeterSettings s = defaultsFor(data);
  s.deviceName = "  \tLine In";
  s.labelFont.style = 0x1F3;  // only the four style bits are a font style
  saveSettings(s, data, point, {0, 0}, false);
  const IniFile ini(file);
  EXPECT_EQ(*ini.read("Input", "Device Name"), "Line In");
  EXPECT_EQ(readFileBytes(file).find("Device Name=Line In\n"), std::string("[Input]\n").size());
  EXPECT_EQ(*ini.read("Form", "FontStyle"), "3");
}

TEST(DeviceNames, LoseTheirLeadingBlanksAndNothingElse) {
  const struct {
    const char* listed;
    const char* stored;
  } cases[] = {{"Mic", "Mic"},
               {"  Mic", "Mic"},
               {"\t Line In", "Line In"},
               {"Mic \t", "Mic \t"},
               {"\nMic", "\nMic"},
               {" \t ", ""},
               {"", ""}};
  for (const auto& c : cases) EXPECT_EQ(withoutLeadingBlanks(c.listed), c.stored) << c.listed;
}

TEST_F(SettingsFileTest, PasswordIsKeptOnlyWhileLocked) {
  const struct {
    bool locked, lockBox;
    const char* passwordInFile;
    const char* lockedInFile;
  } cases[] = {
      {true, true, "pw", "1"},
      {false, false, "", "0"},
      {true, false, "pw", "0"},
      {false, true, "", "1"},
  };
  for (const auto& c : cases) {
    MeterSettings s = defaultsFor(data);
    s.locked = c.locked;
    s.lockPassword = "pw";
    saveSettings(s, data, point, {0, 0}, c.lockBox);
    EXPECT_EQ(s.lockPassword, c.passwordInFile) << c.locked;
    EXPECT_EQ(*IniFile(file).read("Form", "password"), c.passwordInFile) << c.locked;
    EXPECT_EQ(*IniFile(file).read("Form", "Locked"), c.lockedInFile) << c.lockBox;
  }
}

TEST_F(SettingsFileTest, BlanksOfTheLabelAndThePasswordSurviveInQuotes) {
  MeterSettings s = defaultsFor(data);
  s.shortName = "  Two blanks";
  s.locked = true;
  s.lockPassword = "  open sesame  ";
  saveSettings(s, data, point, {0, 0}, true);
  MeterSettings loaded;
  loadSettings(loaded, data, point);
  EXPECT_EQ(loaded.shortName, "  Two blanks");
  EXPECT_EQ(loaded.lockPassword, "  open sesame  ");

  EXPECT_EQ(loadFrom("[Input]\nShort Name=  Two blanks\n").shortName, "Two blanks");
}

TEST_F(SettingsFileTest, LongTextReadsBackCut) {
  MeterSettings s = defaultsFor(data);
  s.shortName = std::string(3000, 'L');
  saveSettings(s, data, point, {0, 0}, false);
  MeterSettings loaded;
  loadSettings(loaded, data, point);
  EXPECT_EQ(loaded.shortName, std::string(2047, 'L'));
}

struct IntegerCase {
  const char* lines;  // of section [Form] unless they name their own
  std::int32_t (*field)(const MeterSettings&);
  std::int32_t expected;
};

std::int32_t topColor(const MeterSettings& s) {
  return s.topColor;
}
std::int32_t midColor(const MeterSettings& s) {
  return s.midColor;
}
std::int32_t sizePercent(const MeterSettings& s) {
  return s.sizePercent;
}
std::int32_t ringLength(const MeterSettings& s) {
  return s.avgRingLength;
}
std::int32_t barWidth(const MeterSettings& s) {
  return s.barWidth;
}
std::int32_t readout(const MeterSettings& s) {
  return s.readoutMode;
}
std::int32_t resetTime(const MeterSettings& s) {
  return s.holdResetMs;
}
std::int32_t fontSize(const MeterSettings& s) {
  return s.labelFont.size;
}
std::int32_t fontColor(const MeterSettings& s) {
  return s.labelFont.color;
}
std::int32_t deviceIndex(const MeterSettings& s) {
  return s.deviceIndex;
}

TEST_F(SettingsFileTest, IntegersLoadByRuleOrTakeTheirDefault) {
  const IntegerCase cases[] = {
      {"TopColor=$FF0000", topColor, 16711680},
      {"TopColor=0xFF0000", topColor, 16711680},
      {"TopColor=x1", topColor, 1},
      {"TopColor=-65536", topColor, -65536},
      {"TopColor=0xFFFF0000", topColor, -65536},
      {"MidColor=abc", midColor, 16776960},
      {"MidColor=", midColor, 16776960},
      {"MidColor=4294967295", midColor, 16776960},
      {"MidColor=$123456789", midColor, 16776960},
      {"size=5", sizePercent, 20},
      {"size=500", sizePercent, 200},
      {"size=-7", sizePercent, 20},
      {"size=abc", sizePercent, 100},
      {"size=20", sizePercent, 20},
      {"size=200", sizePercent, 200},
      {"Average Time=20", ringLength, 1},
      {"Average Time=100000", ringLength, 1000},
      {"Average Time=50", ringLength, 1},
      {"Average Time=-300", ringLength, 1},
      {"Average Time=1000\nSample Rate=48000", ringLength, 30},
      {"Average Time=300\nSample Rate=0", ringLength, 1},
      {"Bar Width=5000", barWidth, 5000},  // loaded unchanged outside the dialog's range
      {"Bar Width=99999999999", barWidth, 20},
      {"Readout=+", readout, 0},
      {"Reset Time=12 34", resetTime, 2000},
      {"FontSize=0x10", fontSize, 16},
      {"FontColor=-16777201", fontColor, -16777201},
      {"[Input]\nDevice=  4", deviceIndex, 4},
      {"Device=4", deviceIndex, 0},  // in the wrong section
  };
  for (const auto& c : cases) {
    const std::string text = std::string(c.lines).starts_with("[")
                                 ? std::string(c.lines) + "\n"
                                 : "[Form]\n" + std::string(c.lines) + "\n";
    EXPECT_EQ(c.field(loadFrom(text)), c.expected) << c.lines;
  }
}

struct BoolCase {
  const char* line;
  bool (*field)(const MeterSettings&);
  bool expected;
};

TEST_F(SettingsFileTest, BooleansAreAnyNonZeroIntegerOrTheDefault) {
  const BoolCase cases[] = {
      {"Blend=yes", [](const MeterSettings& s) { return s.blend; }, true},
      {"Blend=2", [](const MeterSettings& s) { return s.blend; }, true},
      {"Blend=0", [](const MeterSettings& s) { return s.blend; }, false},
      {"Locked=0x1", [](const MeterSettings& s) { return s.locked; }, true},
      {"Locked=-1", [](const MeterSettings& s) { return s.locked; }, true},
      {"Locked=true", [](const MeterSettings& s) { return s.locked; }, false},
      {"Show Average=0", [](const MeterSettings& s) { return s.showAverage; }, false},
      {"Vertical=", [](const MeterSettings& s) { return s.vertical; }, true},
      // names without regard to case: the full save's spellings reach the load's keys
      {"ontop=1", [](const MeterSettings& s) { return s.onTop; }, true},
      {"ONTOP=1", [](const MeterSettings& s) { return s.onTop; }, true},
      {"SHow Phase=1", [](const MeterSettings& s) { return s.showPhase; }, true},
      {"show phase=1", [](const MeterSettings& s) { return s.showPhase; }, true},
      {"DC Offset Comp=  1  ", [](const MeterSettings& s) { return s.dcOffsetComp; }, true},
  };
  for (const auto& c : cases)
    EXPECT_EQ(c.field(loadFrom("[form]\n" + std::string(c.line) + "\n")), c.expected) << c.line;
}

TEST_F(SettingsFileTest, TextsKeepAnEmptyValueAndDefaultOnlyWhenMissing) {
  const struct {
    const char* lines;
    std::string (*field)(const MeterSettings&);
    const char* expected;
  } cases[] = {
      {"[Form]\ncal=", [](const MeterSettings& s) { return s.calibrationText; }, ""},
      {"[Form]\nsize=1", [](const MeterSettings& s) { return s.calibrationText; }, "0"},
      {"[Form]\ndecay=", [](const MeterSettings& s) { return s.decayText; }, ""},
      {"[Form]\ndecay=  9 ", [](const MeterSettings& s) { return s.decayText; }, "9"},
      {"[Form]\nGraphic=", [](const MeterSettings& s) { return s.graphicPath; }, ""},
      {"[Form]\nFontName=", [](const MeterSettings& s) { return s.labelFont.name; }, ""},
      {"[Form]\nsize=1", [](const MeterSettings& s) { return s.labelFont.name; }, "Arial"},
      {"[Input]\nShort Name=", [](const MeterSettings& s) { return s.shortName; }, ""},
      {"[Input]\nShort Name=\"\"", [](const MeterSettings& s) { return s.shortName; }, ""},
      {"[Form]\nShort Name=X", [](const MeterSettings& s) { return s.shortName; }, "Peak Level"},
      {"[Form]\npassword=  pw  ", [](const MeterSettings& s) { return s.lockPassword; }, "pw"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(c.field(loadFrom(std::string(c.lines) + "\n")), c.expected) << c.lines;
  EXPECT_EQ(loadFrom("[Form]\nsize=1\n").graphicPath, data + "default.bmp");
}

TEST_F(SettingsFileTest, ClipLevelReadsOnlyInTheLocalesSeparator) {
  const FixedLocale comma(",");
  const struct {
    const char* value;
    const Locale& locale;
    double expected;
  } cases[] = {
      {"-0.25", point, -0.25}, {"-0,25", comma, -0.25}, {"-0,25", point, -0.5},
      {"-0.25", comma, -0.5},  {"abc", point, -0.5},    {"-1E-6", point, -1e-6},
      {"", point, -0.5},
  };
  for (const auto& c : cases)
    EXPECT_EQ(loadFrom("[Form]\nClipLevel=" + std::string(c.value) + "\n", c.locale).clipLevelDb,
              c.expected)
        << c.value << " with " << c.locale.decimalSeparator();

  // Saved where the separator is a comma, loaded where it is a point.
  MeterSettings s = defaultsFor(data);
  s.clipLevelDb = -0.75;
  saveSettings(s, data, comma, {0, 0}, false);
  MeterSettings loaded;
  loadSettings(loaded, data, point);
  EXPECT_EQ(loaded.clipLevelDb, -0.5);
}

// A file edited by hand: a note, CRLF lines, an unknown key and section.
const std::string kHandEdited =
    "; Tarnvale settings, edited by hand\r\n"
    "[Input]\r\n"
    "Device Name=Old Mic\r\n"
    "Device=2\r\n"
    "Colour Scheme=dark\r\n"
    "\r\n"
    "[Extra]\n"
    "keep=me\n"
    "[Form]\n"
    "; position\n"
    "Left = 10\n"
    "size=150\n"
    "unknown=42\n"
    "\n";

TEST_F(SettingsFileTest, WindowStateReplacesInPlaceAndAddsAtTheSectionsEnd) {
  writeFileBytes(file, kHandEdited);
  MeterSettings s = unusualSettings(data);
  s.sizePercent = 80;
  s.deviceIndex = 5;
  s.deviceName = "New Mic";
  s.graphicPath = "/skins/a.bmp";
  saveWindowState(s, data, {300, -20});
  EXPECT_EQ(readFileBytes(file),
            "; Tarnvale settings, edited by hand\r\n"
            "[Input]\r\n"
            "Device Name=Old Mic\r\n"
            "Device=5\r\n"
            "Colour Scheme=dark\r\n"
            "\r\n"
            "[Extra]\n"
            "keep=me\n"
            "[Form]\n"
            "; position\n"
            "Left=300\n"
            "size=80\n"
            "unknown=42\n"
            "top=-20\n"
            "borderless=1\n"
            "Graphic=/skins/a.bmp\n"
            "\n");
}

TEST_F(SettingsFileTest, WindowStateWritesItsSixKeysOnly) {
  MeterSettings s = unusualSettings(data);
  saveWindowState(s, data, {12, 34});
  EXPECT_EQ(readFileBytes(file), "[Form]\nleft=12\ntop=34\nborderless=1\nsize=150\nGraphic=" +
                                     s.graphicPath + "\n[Input]\nDevice=3\n");
}

// Lines that are not one of the settings' keys.
std::vector<std::string> otherLines(const std::string& text) {
  std::set<std::string> known;
  for (const auto& key : kSaveOrder) {
    std::string name = key.substr(key.find('/') + 1);
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    known.insert(name);
  }
  std::vector<std::string> out;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    std::string name = line.substr(0, line.find('='));
    while (!name.empty() && name.back() == ' ') name.pop_back();
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (line.find('=') == std::string::npos || !known.contains(name)) out.push_back(line);
  }
  return out;
}

TEST_F(SettingsFileTest, FullSaveKeepsEverythingElseOfAHandEditedFile) {
  writeFileBytes(file, kHandEdited);
  MeterSettings saved = unusualSettings(data);
  saveSettings(saved, data, point, {-30, 1500}, true);

  const std::string after = readFileBytes(file);
  EXPECT_EQ(otherLines(after), otherLines(kHandEdited));
  EXPECT_TRUE(
      after.starts_with("; Tarnvale settings, edited by hand\r\n[Input]\r\n"
                        "Device Name=USB Mic (2)\r\nDevice=3\r\nColour Scheme=dark\r\n"
                        "Short Name=\"  Studio A  \"\n\r\n[Extra]\nkeep=me\n[Form]\n"
                        "; position\nLeft=-30\nsize=150\nunknown=42\ncal=-4\n"))
      << after;
  EXPECT_TRUE(after.ends_with("FontStyle=5\n\n")) << after;

  MeterSettings loaded;
  loadSettings(loaded, data, point);
  EXPECT_EQ(loaded, unusualSettings(data));
}

TEST_F(SettingsFileTest, WindowCloseFailureTextIsBuiltFromItsParts) {
  EXPECT_EQ(kSaveOnCloseFailedStart + data + kSaveOnCloseFailedEnd,
            "Unable to save settings to " + data + "Tarnvale.ini, closing program anyway.");
  EXPECT_STREQ(kLevelMeterErrorCaption, " Level Meter Error");
}

// The message of the error that `save` throws, or "" when it succeeds.
template <typename Save>
std::string errorOf(Save save) {
  try {
    save();
  } catch (const SettingsWriteError& e) {
    return e.what();
  }
  return "";
}

TEST_F(SettingsFileTest, EveryOperationFailsInAMissingFolderWithoutCreatingIt) {
  const std::string missing = data + "nowhere/";
  const std::string expected = "Unable to write to " + missing + "Tarnvale.ini";
  MeterSettings s = defaultsFor(data);
  EXPECT_EQ(errorOf([&] { saveSettings(s, missing, point, {0, 0}, false); }), expected);
  EXPECT_EQ(errorOf([&] { saveWindowState(s, missing, {0, 0}); }), expected);
  EXPECT_EQ(errorOf([&] { saveDefaultDevice(missing); }), expected);
  EXPECT_FALSE(std::filesystem::exists(missing));
}

TEST_F(SettingsFileTest, ReadOnlyFileIsNotChanged) {
  writeFileBytes(file, kHandEdited);
  ::chmod(file.c_str(), 0444);
  MeterSettings s = unusualSettings(data);
  EXPECT_EQ(errorOf([&] {
              saveSettings(s, data, point, {0, 0}, true);
            }),
            "Unable to write to " + file);
  EXPECT_EQ(errorOf([&] { saveWindowState(s, data, {0, 0}); }), "Unable to write to " + file);
  EXPECT_EQ(readFileBytes(file), kHandEdited);
  EXPECT_EQ(folder.names(), std::vector<std::string>{"Tarnvale.ini"});
}

TEST_F(SettingsFileTest, FullDiskLeavesTheFileAsItWas) {
  writeFileBytes(file, kHandEdited);
  MeterSettings s = unusualSettings(data);
  std::string error;
  {
    const test::FileSizeLimit limit(300);
    error = errorOf([&] { saveSettings(s, data, point, {0, 0}, false); });
  }
  EXPECT_EQ(error, "Unable to write to " + file);
  EXPECT_EQ(readFileBytes(file), kHandEdited);
  EXPECT_EQ(folder.names(), std::vector<std::string>{"Tarnvale.ini"});
}

// What happened in a folder while it was watched: "create <name>", "rename
// <name>" (a file renamed into place), "write <name>" (closed after writing).
class FolderWatch {
 public:
  explicit FolderWatch(const std::string& folder) : fd_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
    ::inotify_add_watch(fd_, folder.c_str(), IN_CREATE | IN_MOVED_TO | IN_CLOSE_WRITE);
  }
  ~FolderWatch() { ::close(fd_); }
  FolderWatch(const FolderWatch&) = delete;
  FolderWatch& operator=(const FolderWatch&) = delete;

  std::vector<std::string> events() {
    std::vector<std::string> out;
    alignas(inotify_event) char buffer[65536];
    ssize_t n;
    while ((n = ::read(fd_, buffer, sizeof buffer)) > 0) {
      for (char* p = buffer; p < buffer + n;) {
        const auto* e = reinterpret_cast<const inotify_event*>(p);
        const std::string name = e->len > 0 ? e->name : "";
        const bool temporary = name != "Tarnvale.ini";
        const std::string shown = temporary ? "temporary" : name;
        if (e->mask & IN_CREATE) out.push_back("create " + shown);
        if (e->mask & IN_MOVED_TO) out.push_back("rename " + shown);
        if (e->mask & IN_CLOSE_WRITE) out.push_back("write " + shown);
        p += sizeof(inotify_event) + e->len;
      }
    }
    return out;
  }

 private:
  int fd_;
};

TEST_F(SettingsFileTest, EachSaveIsOneReplacementEqualToItsKeyByKeyWrites) {
  const std::string byKey = data + "by key/";
  std::filesystem::create_directory(byKey);
  const struct {
    const char* what;
    std::optional<std::string> before;
  } files[] = {
      {"no file", std::nullopt},
      {"an empty file", ""},
      {"a hand-edited file", kHandEdited},
      {"a full file", std::nullopt},  // written by the first full save below
  };
  std::optional<std::string> full;
  for (const auto& f : files) {
    for (const bool wholeSave : {true, false}) {
      SCOPED_TRACE(std::string(f.what) + (wholeSave ? ", full save" : ", window state"));
      const std::optional<std::string> before = f.before ? f.before : full;
      for (const std::string& path : {file, byKey + "Tarnvale.ini"}) {
        std::filesystem::remove(path);
        if (before) writeFileBytes(path, *before);
      }
      MeterSettings s = unusualSettings(data);
      s.locked = wholeSave;  // the full save empties the password when unlocked
      MeterSettings forKeys = s;

      FolderWatch watch(data);
      if (wholeSave)
        saveSettings(s, data, point, {-30, 1500}, true);
      else
        saveWindowState(s, data, {-30, 1500});
      const std::vector<std::string> expected = {"create temporary", "write temporary",
                                                 "rename Tarnvale.ini"};
      EXPECT_EQ(watch.events(), expected);

      const IniFile keyByKey(byKey + "Tarnvale.ini");
      for (const SettingsEntry& e : wholeSave ? fullSaveEntries(forKeys, point, {-30, 1500}, true)
                                              : windowStateEntries(forKeys, {-30, 1500}))
        keyByKey.write(e.section, e.key, e.value);
      EXPECT_EQ(forKeys, s);
      EXPECT_EQ(readFileBytes(file), readFileBytes(byKey + "Tarnvale.ini"));
      if (wholeSave && !before) full = readFileBytes(file);
    }
  }
  ASSERT_TRUE(full);
  EXPECT_EQ(keysInFile(*full), kSaveOrder);
}

}  // namespace
}  // namespace tarnvale

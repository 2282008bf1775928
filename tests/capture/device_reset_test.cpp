// The device reset that ends a capture start the device refused.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "capture/capture_cycle.h"
#include "settings/ini_file.h"
#include "settings/settings_file.h"
#include "tests/settings/temp_folder.h"
#include "tests/support/fake_ui.h"

namespace tarnvale {
namespace {

using test::readFileBytes;
using test::writeFileBytes;

class DeviceResetTest : public ::testing::Test {
 protected:
  test::TempFolder folder;
  std::string data = folder.path();
  std::string file = settingsPath(data);
};

TEST_F(DeviceResetTest, DeviceResetTellsTheUserAboveTheMeterAndStoresDeviceZero) {
  for (const bool onTop : {true, false}) {
    writeFileBytes(file, "[Input]\nDevice Name=Gone\nDevice=5\n");
    MeterSettings s;
    s.onTop = onTop;
    std::vector<std::string> events;
    test::FakeUi ui;
    ui.onMessage = [&](const test::ShownMessage&) {
      events.push_back("message, Device=" + *IniFile(file).read("Input", "Device"));
    };
    resetDeviceSetting(s, data, ui, [&](bool top) { events.push_back(top ? "top" : "not top"); });

    const std::vector<test::ShownMessage> shown = {
        {"The configured Input Device is not available and will be reset to the default.",
         " Tarnvale Error"}};
    EXPECT_EQ(ui.messages, shown);
    const std::vector<std::string> expected = {"not top", "message, Device=5",
                                               onTop ? "top" : "not top"};
    EXPECT_EQ(events, expected);
    EXPECT_EQ(readFileBytes(file), "[Input]\nDevice Name=Gone\nDevice=0\n");
  }
}

TEST_F(DeviceResetTest, AFileThatCannotBeWrittenFailsAfterTheMessage) {
  const std::string missing = data + "nowhere/";
  MeterSettings s;
  test::FakeUi ui;
  std::string error;
  try {
    resetDeviceSetting(s, missing, ui, [](bool) {});
  } catch (const SettingsWriteError& e) {
    error = e.what();
  }
  EXPECT_EQ(error, "Unable to write to " + missing + "Tarnvale.ini");
  EXPECT_EQ(ui.messages.size(), 1u);
}

}  // namespace
}  // namespace tarnvale

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "tests/settings/temp_folder.h"
#include "tests/support/run_program.h"

namespace tarnvale {
namespace {

namespace fs = std::filesystem;
using test::fileMode;
using test::readFileBytes;
using test::writeFileBytes;

void setUp(const std::string& folder) {
  test::runProgram({"sh", TARNVALE_SETUP_SCRIPT, folder});
}

TEST(FolderSetup, GivesEachPartItsModeAndLinksTheSettingsFile) {
  const test::TempFolder root;
  const std::string folder = root.path() + "Tarnvale";
  fs::create_directories(folder + "/Help");
  writeFileBytes(folder + "/default.bmp", "BM");
  writeFileBytes(folder + "/Help/index.html", "<p>");
  ::chmod((folder + "/default.bmp").c_str(), 0666);

  setUp(folder);

  EXPECT_EQ(fileMode(folder), 0755u);
  EXPECT_EQ(fileMode(folder + "/default.bmp"), 0644u);
  EXPECT_EQ(fileMode(folder + "/Help"), 0755u);
  EXPECT_EQ(fileMode(folder + "/Help/index.html"), 0644u);
  EXPECT_EQ(fileMode(folder + "/Skins"), 01777u);
  EXPECT_EQ(fileMode(folder + "/Settings"), 0777u);
  ASSERT_TRUE(fs::is_symlink(folder + "/Tarnvale.ini"));
  EXPECT_EQ(fs::read_symlink(folder + "/Tarnvale.ini"), "Settings/Tarnvale.ini");
}

TEST(FolderSetup, MovesTheSettingsOfAnOlderInstallIntoPlaceAndClearsItsTemporaryFiles) {
  const test::TempFolder root;
  const std::string folder = root.path() + "Tarnvale";
  fs::create_directories(folder);
  ::chmod(folder.c_str(), 0777);  // as older installs left it
  writeFileBytes(folder + "/Tarnvale.ini", "[Form]\nsize=50\n");
  ::chmod((folder + "/Tarnvale.ini").c_str(), 0600);
  writeFileBytes(folder + "/Tarnvale.ini.Ab12Cd", "[Form]\nsi");
  writeFileBytes(folder + "/Tarnvale.ini.kept", "not a temporary file");

  setUp(folder);
  setUp(folder);  // a second run changes nothing

  ASSERT_TRUE(fs::is_symlink(folder + "/Tarnvale.ini"));
  EXPECT_EQ(readFileBytes(folder + "/Tarnvale.ini"), "[Form]\nsize=50\n");
  EXPECT_EQ(fileMode(folder + "/Settings/Tarnvale.ini"), 0644u);
  EXPECT_FALSE(fs::exists(folder + "/Tarnvale.ini.Ab12Cd"));
  EXPECT_TRUE(fs::exists(folder + "/Tarnvale.ini.kept"));
  EXPECT_EQ(fileMode(folder), 0755u);
}

}  // namespace
}  // namespace tarnvale

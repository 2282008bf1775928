// The installed data folder as two ordinary users of the machine see it:
// accounts made for the test and removed after it, working through the
// settings layer on the real folder.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "platform/locale.h"
#include "settings/settings_file.h"
#include "tests/support/run_as.h"
#include "tests/support/run_program.h"

namespace tarnvale {
namespace {

namespace fs = std::filesystem;

const std::string kDataFolder = TARNVALE_DATA_FOLDER;

struct Account {
  std::string name;
  uid_t uid = 0;
  gid_t gid = 0;
};

// A folder on the way to the data folder that other users cannot pass, or "".
std::string closedToOthers() {
  for (fs::path p = fs::path(kDataFolder).parent_path(); !p.empty() && p != p.root_path();
       p = p.parent_path()) {
    struct stat info {};
    if (::stat(p.c_str(), &info) != 0 || (info.st_mode & S_IXOTH) == 0) return p.string();
  }
  return "";
}

class FolderModelE2E : public ::testing::Test {
 protected:
  void SetUp() override {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to make the two accounts";
    if (const std::string closed = closedToOthers(); !closed.empty())
      GTEST_SKIP() << "other users cannot reach the data folder through " << closed;
    ASSERT_TRUE(fs::exists(kDataFolder + "default.bmp")) << "install the program first";
    for (const char* name : {"tarnvale-test-a", "tarnvale-test-b"}) {
      test::runProgram({"userdel", name});
      test::runProgram(
          {"useradd", "--no-create-home", "--user-group", "--shell", "/usr/sbin/nologin", name});
      const passwd* user = ::getpwnam(name);
      ASSERT_NE(user, nullptr) << "useradd " << name;
      accounts_.push_back({name, user->pw_uid, user->pw_gid});
    }
    // The settings file as it is, to be put back.
    const fs::path file = settingsFile();
    if (fs::is_regular_file(file)) {
      std::ifstream in(file, std::ios::binary);
      kept_ = std::string{std::istreambuf_iterator<char>(in), {}};
    }
    fs::remove(file);
  }

  void TearDown() override {
    for (const Account& a : accounts_) test::runProgram({"userdel", a.name});
    fs::remove(kDataFolder + "Skins/test-b.bmp");
    if (kept_) {
      std::ofstream(settingsFile(), std::ios::binary) << *kept_;
      fs::permissions(settingsFile(), fs::perms(0644));
    }
  }

  static fs::path settingsFile() {
    const fs::path path = kDataFolder + "Tarnvale.ini";
    if (!fs::is_symlink(path)) return path;
    const fs::path target = fs::read_symlink(path);
    return target.is_absolute() ? target : path.parent_path() / target;
  }

  std::string as(int account, const std::function<std::string()>& body) {
    return test::runAsUser(accounts_[account].uid, accounts_[account].gid, body);
  }

  std::vector<Account> accounts_;
  std::optional<std::string> kept_;
};

// Saves with the bar width and label given, as the dialog's OK and the close do.
std::string save(std::int32_t barWidth, const std::string& label) {
  const FixedLocale locale(".");
  MeterSettings s;
  loadSettings(s, kDataFolder, locale);
  s.barWidth = barWidth;
  s.shortName = label;
  try {
    saveSettings(s, kDataFolder, locale, {10, 20}, false);
    saveWindowState(s, kDataFolder, {30, 40});
  } catch (const SettingsWriteError& e) {
    return e.what();
  }
  return "";
}

std::string reads(std::int32_t barWidth, const std::string& label) {
  const FixedLocale locale(".");
  MeterSettings s;
  loadSettings(s, kDataFolder, locale);
  if (s.barWidth != barWidth || s.shortName != label || s.windowLeft != 30)
    return "read " + std::to_string(s.barWidth) + " " + s.shortName;
  return "";
}

TEST_F(FolderModelE2E, EveryUserSavesAndReadsTheOthersSettings) {
  EXPECT_EQ(as(0, [] { return save(33, "Studio A"); }), "");
  EXPECT_EQ(as(1, [] { return reads(33, "Studio A"); }), "");
  EXPECT_EQ(as(1, [] { return save(44, "Studio B"); }), "");
  EXPECT_EQ(as(1, [] { return reads(44, "Studio B"); }), "");
  EXPECT_EQ(as(0, [] { return reads(44, "Studio B"); }), "");
  EXPECT_EQ(as(0, [] { return save(55, "Studio A again"); }), "");
  EXPECT_EQ(as(1, [] { return reads(55, "Studio A again"); }), "");
  // Each save replaced the file whole: no temporary file is left.
  for (const auto& entry : fs::directory_iterator(settingsFile().parent_path()))
    EXPECT_EQ(entry.path().filename(), "Tarnvale.ini");
}

// "" when every attempt to change an installed file was refused.
std::string installedFilesHold() {
  std::string wrong;
  const std::string decoy = kDataFolder + "Skins/test-b.bmp";
  { std::ofstream(decoy) << "BM"; }
  const std::string installed[] = {kDataFolder + "default.bmp", kDataFolder + "Help/index.html",
                                   kDataFolder + "Skins/Mono.bmp"};
  for (const std::string& file : installed) {
    if (::unlink(file.c_str()) == 0) wrong += "deleted " + file + "; ";
    if (::rename(decoy.c_str(), file.c_str()) == 0) wrong += "replaced " + file + "; ";
    const int fd = ::open(file.c_str(), O_WRONLY);
    if (fd >= 0) {
      wrong += "opened for writing " + file + "; ";
      ::close(fd);
    }
    if (::rename(file.c_str(), (file + ".moved").c_str()) == 0) wrong += "moved " + file + "; ";
  }
  for (const char* folder : {"Help", "Skins", "Settings"}) {
    const std::string path = kDataFolder + folder;
    if (::rename(path.c_str(), (path + ".moved").c_str()) == 0) wrong += "moved " + path + "; ";
  }
  const std::string own = kDataFolder + "Help/index.html.new";
  if (::open(own.c_str(), O_WRONLY | O_CREAT, 0644) >= 0) wrong += "added to Help; ";
  if (::unlink((kDataFolder + "Tarnvale.ini").c_str()) == 0) wrong += "deleted the link; ";
  return wrong;
}

TEST_F(FolderModelE2E, OrdinaryUsersAddSkinsButCannotChangeWhatIsInstalled) {
  EXPECT_EQ(as(1, installedFilesHold), "");
  // The skin B added stays B's: A cannot remove it.
  EXPECT_TRUE(fs::exists(kDataFolder + "Skins/test-b.bmp"));
  EXPECT_EQ(as(0,
               [] {
                 const std::string skin = kDataFolder + "Skins/test-b.bmp";
                 return ::unlink(skin.c_str()) == 0 ? "A deleted B's skin" : "";
               }),
            "");
  EXPECT_TRUE(fs::is_regular_file(kDataFolder + "default.bmp"));
  EXPECT_TRUE(fs::is_regular_file(kDataFolder + "Help/index.html"));
  EXPECT_TRUE(fs::is_symlink(kDataFolder + "Tarnvale.ini"));
}

}  // namespace
}  // namespace tarnvale

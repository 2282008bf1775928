#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "settings/ini_file.h"
#include "tests/settings/file_size_limit.h"
#include "tests/settings/temp_folder.h"

namespace tarnvale {
namespace {

using test::fileMode;
using test::readFileBytes;
using test::writeFileBytes;

class IniFileTest : public ::testing::Test {
 protected:
  test::TempFolder folder;
  std::string path = folder.path() + "Test.ini";

  // The message of the error a write throws, or "" when it succeeds.
  std::string writeError(const IniFile& file, const char* section, const char* key,
                         const char* value) {
    try {
      file.write(section, key, value);
    } catch (const SettingsWriteError& e) {
      return e.what();
    }
    return "";
  }
};

TEST_F(IniFileTest, MissingOrUnreadableFileReadsAsMissing) {
  EXPECT_EQ(IniFile(path).read("F", "a"), std::nullopt);
  std::filesystem::create_directory(path);
  EXPECT_EQ(IniFile(path).read("F", "a"), std::nullopt);
  EXPECT_EQ(IniFile(folder.path() + "nowhere/Test.ini").read("F", "a"), std::nullopt);
}

TEST_F(IniFileTest, EachReadSeesTheFileAsItIsNow) {
  const IniFile file(path);
  writeFileBytes(path, "[F]\na=1\n");
  EXPECT_EQ(file.read("F", "a"), "1");
  writeFileBytes(path, "[F]\na=2\n");
  EXPECT_EQ(file.read("F", "a"), "2");
}

TEST_F(IniFileTest, FirstWriteCreatesTheFileReadableByAllWhateverTheUmask) {
  const mode_t previous = ::umask(077);
  IniFile(path).write("F", "a", "1");
  ::umask(previous);
  EXPECT_EQ(readFileBytes(path), "[F]\na=1\n");
  EXPECT_EQ(fileMode(path), 0644u);
  EXPECT_EQ(folder.names(), std::vector<std::string>{"Test.ini"});
}

TEST_F(IniFileTest, WriteReplacesTheFileWholeAndKeepsItReadableByAll) {
  const struct {
    mode_t before, after;
  } cases[] = {{0664, 0664}, {0604, 0644}, {0600, 0644}, {0200, 0644}};
  for (const auto& c : cases) {
    writeFileBytes(path, "; mine\r\n[F]\r\na=1\r\n");
    ::chmod(path.c_str(), c.before);
    // A second name for the old file: an in-place rewrite would change it too.
    const std::string oldLink = folder.path() + "old";
    ASSERT_EQ(::link(path.c_str(), oldLink.c_str()), 0);

    IniFile(path).write("F", "a", "2");

    EXPECT_EQ(readFileBytes(path), "; mine\r\n[F]\r\na=2\r\n");
    EXPECT_EQ(readFileBytes(oldLink), "; mine\r\n[F]\r\na=1\r\n");
    EXPECT_EQ(fileMode(path), c.after) << std::oct << c.before;
    ::unlink(oldLink.c_str());
    EXPECT_EQ(folder.names(), std::vector<std::string>{"Test.ini"});
  }
}

TEST_F(IniFileTest, WritesGoThroughOurLinksWhichStay) {
  // A link to a link in another folder, and one whose file does not exist yet.
  const std::string elsewhere = folder.path() + "elsewhere/";
  std::filesystem::create_directory(elsewhere);
  writeFileBytes(elsewhere + "real.ini", "[F]\na=1\n");
  std::filesystem::create_symlink("real.ini", elsewhere + "second");
  std::filesystem::create_symlink("elsewhere/second", path);
  const std::string dangling = folder.path() + "New.ini";
  std::filesystem::create_symlink("elsewhere/new.ini", dangling);

  EXPECT_EQ(IniFile(path).read("F", "a"), "1");
  IniFile(path).write("F", "a", "2");
  IniFile(dangling).write("F", "b", "3");

  EXPECT_TRUE(std::filesystem::is_symlink(path));
  EXPECT_TRUE(std::filesystem::is_symlink(elsewhere + "second"));
  EXPECT_TRUE(std::filesystem::is_symlink(dangling));
  EXPECT_EQ(readFileBytes(elsewhere + "real.ini"), "[F]\na=2\n");
  EXPECT_EQ(readFileBytes(elsewhere + "new.ini"), "[F]\nb=3\n");
  EXPECT_EQ(IniFile(dangling).read("F", "b"), "3");
}

TEST_F(IniFileTest, OnlyTemporaryFilesOfProcessesGoneAreRemoved) {
  // A process that has ended: its id is free.
  const pid_t gone = ::fork();
  if (gone == 0) ::_exit(0);
  ASSERT_GT(gone, 0);
  ::waitpid(gone, nullptr, 0);
  const std::string stale = path + "." + std::to_string(gone) + ".tmp";
  const std::string running = path + "." + std::to_string(::getppid()) + ".tmp";
  const std::string ours = path + "." + std::to_string(::getpid()) + ".tmp";
  const std::string others[] = {path + ".abc.tmp", path + "." + std::to_string(gone),
                                folder.path() + "Other.ini." + std::to_string(gone) + ".tmp"};
  writeFileBytes(path, "[F]\na=1\n");
  for (const std::string& name : {stale, running, ours}) writeFileBytes(name, "[F]\na=");
  for (const std::string& name : others) writeFileBytes(name, "x");

  IniFile(path).removeStaleTemporaryFiles();

  EXPECT_FALSE(std::filesystem::exists(stale));
  for (const std::string& name : {running, ours})
    EXPECT_TRUE(std::filesystem::exists(name)) << name;
  for (const std::string& name : others) EXPECT_TRUE(std::filesystem::exists(name)) << name;
  EXPECT_EQ(readFileBytes(path), "[F]\na=1\n");

  // Our own left-over name is taken over by our next write, and gone after it.
  IniFile(path).write("F", "a", "2");
  EXPECT_FALSE(std::filesystem::exists(ours));
  EXPECT_EQ(readFileBytes(path), "[F]\na=2\n");
}

TEST_F(IniFileTest, MissingFolderFailsWithThePath) {
  const std::string missing = folder.path() + "nowhere/Test.ini";
  EXPECT_EQ(writeError(IniFile(missing), "F", "a", "1"), "Unable to write to " + missing);
  EXPECT_FALSE(std::filesystem::exists(folder.path() + "nowhere"));
}

TEST_F(IniFileTest, ReadOnlyFileIsLeftAlone) {
  // Holds for root too: a file without any write bit counts as read-only.
  const std::string before = "[F]\r\na=1\r\n; note\n";
  writeFileBytes(path, before);
  ::chmod(path.c_str(), 0444);
  EXPECT_EQ(writeError(IniFile(path), "F", "a", "2"), "Unable to write to " + path);
  EXPECT_EQ(readFileBytes(path), before);
  EXPECT_EQ(fileMode(path), 0444u);
  EXPECT_EQ(folder.names(), std::vector<std::string>{"Test.ini"});
}

TEST_F(IniFileTest, FileThatIsNotARegularFileFails) {
  std::filesystem::create_directory(path);
  EXPECT_EQ(writeError(IniFile(path), "F", "a", "1"), "Unable to write to " + path);
  EXPECT_TRUE(std::filesystem::is_directory(path));
}

TEST_F(IniFileTest, FullDiskLeavesTheOldFileAndNoTemporaryFile) {
  const std::string before = "[F]\na=" + std::string(100, 'x') + "\n";
  writeFileBytes(path, before);
  std::string error;
  {
    const test::FileSizeLimit limit(before.size() + 10);
    error = writeError(IniFile(path), "F", "b", std::string(50, 'y').c_str());
  }
  EXPECT_EQ(error, "Unable to write to " + path);
  EXPECT_EQ(readFileBytes(path), before);
  EXPECT_EQ(folder.names(), std::vector<std::string>{"Test.ini"});
}

}  // namespace
}  // namespace tarnvale

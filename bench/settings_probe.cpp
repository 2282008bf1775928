// Drives the settings file for scripts/crash-safety.sh; never run by the tests.
//
//   settings_probe write FOLDER a|b   one full save of value set a or b
//   settings_probe saves FOLDER       full saves, a and b in turn, until killed;
//                                     prints "ready" before the first
//   settings_probe start FOLDER       what a start does with the file: the load
//   settings_probe time FOLDER N      N full saves, a and b in turn; prints
//                                     the microseconds each took, one a line
//   settings_probe click FOLDER N -- COMMAND...
//                                     runs COMMAND (the click on OK) and
//                                     prints the microseconds until N files
//                                     were renamed onto the settings file:
//                                     until a save that makes N is complete
//
// FOLDER is a data folder (ending in "/"). Only the settings layer's
// loadSettings and saveSettings are used, so the same source also builds
// against older versions of that layer for a comparison.

#include <limits.h>
#include <poll.h>
#include <spawn.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/locale.h"
#include "settings/settings_file.h"

extern char** environ;

namespace {

using tarnvale::MeterSettings;

// Two sets that differ in every key the full save writes but the fixed ones,
// and whose texts differ in length, so a mix or a cut shows.
MeterSettings valueSet(bool b) {
  MeterSettings s;
  s.deviceName = b ? "Second Device" : "First";
  s.deviceIndex = b ? 2 : 1;
  s.shortName = b ? "Set B" : "Set A label";
  s.calibrationText = b ? "-4" : "-12";
  s.clipLevelDb = b ? -0.25 : -1.5;
  s.decayText = b ? "7" : "3";
  s.amber = b;
  s.borderless = b;
  s.onTop = b;
  s.showAverage = !b;
  s.showPhase = b;
  s.topColor = b ? -65536 : 255;
  s.midColor = b ? -256 : 1000;
  s.baseColor = b ? -16711936 : 2000;
  s.peakColor = b ? -1 : 3000;
  s.blend = !b;
  s.holdPeaks = b;
  s.readoutMode = b ? 2 : 1;
  s.averageTimeMs = b ? 1000 : 500;
  s.holdResetMs = b ? 5000 : 3000;
  s.colouredPeaks = !b;
  s.barWidth = b ? 33 : 12;
  s.offsetLeft = b ? -12 : 4;
  s.offsetRight = b ? 7 : -3;
  s.dcOffsetComp = b;
  s.dcOffsetLeft = b ? -15 : 9;
  s.dcOffsetRight = b ? 22 : -8;
  s.sampleRate = b ? 48000 : 96000;
  s.locked = true;
  s.lockPassword = b ? "pw-b" : "password-a";
  s.sizePercent = b ? 150 : 80;
  s.redStart = b ? 60 : 50;
  s.amberStart = b ? 40 : 30;
  s.blocks = !b;
  s.vertical = b;
  s.channelMode = b ? 3 : 1;
  s.graphicPath = b ? "/skins/B.bmp" : "/skins/Set A.jpg";
  s.labelFont = {b ? "DejaVu Sans" : "Arial", b ? 18 : 10, b ? 255 : 65280, b ? 5 : 2};
  return s;
}

void save(bool b, const std::string& folder) {
  const tarnvale::FixedLocale locale(".");
  MeterSettings s = valueSet(b);
  tarnvale::saveSettings(s, folder, locale, {b ? 100 : -5, b ? 200 : 7}, true);
}

// The settings file itself, behind the data folder's link.
std::string settingsFileOf(const std::string& folder) {
  char resolved[PATH_MAX];
  const std::string link = folder + "Tarnvale.ini";
  char target[PATH_MAX];
  const ssize_t n = ::readlink(link.c_str(), target, sizeof target - 1);
  if (n <= 0) return link;
  target[n] = '\0';
  const std::string file = target[0] == '/' ? target : folder + target;
  return ::realpath(file.substr(0, file.rfind('/')).c_str(), resolved) != nullptr
             ? std::string(resolved) + file.substr(file.rfind('/'))
             : file;
}

int click(const std::string& folder, int renames, char** command) {
  const std::string file = settingsFileOf(folder);
  const std::string dir = file.substr(0, file.rfind('/'));
  const std::string name = file.substr(file.rfind('/') + 1);
  const int fd = ::inotify_init1(IN_CLOEXEC);
  if (fd < 0 || ::inotify_add_watch(fd, dir.c_str(), IN_MOVED_TO) < 0) return 1;
  const auto start = std::chrono::steady_clock::now();
  pid_t child = 0;
  if (::posix_spawnp(&child, command[0], nullptr, nullptr, command, environ) != 0) return 1;
  int seen = 0;
  alignas(inotify_event) char buffer[4096];
  while (seen < renames) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 10000) <= 0) {  // no save within 10 s
      std::fprintf(stderr, "%d of %d renames within 10 s\n", seen, renames);
      return 1;
    }
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    for (char* q = buffer; n > 0 && q < buffer + n;) {
      const auto* e = reinterpret_cast<const inotify_event*>(q);
      if (e->len > 0 && name == e->name) ++seen;
      q += sizeof(inotify_event) + e->len;
    }
  }
  const auto us = std::chrono::duration_cast<std::chrono::microseconds>(
      std::chrono::steady_clock::now() - start);
  ::waitpid(child, nullptr, 0);
  std::printf("%lld\n", static_cast<long long>(us.count()));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: settings_probe write|saves|start|time FOLDER [a|b|N]\n");
    return 2;
  }
  const std::string command = argv[1];
  const std::string folder = argv[2];
  if (command == "write" && argc == 4) {
    save(std::string(argv[3]) == "b", folder);
  } else if (command == "saves") {
    std::printf("ready\n");
    std::fflush(stdout);
    for (bool b = false;; b = !b) save(b, folder);
  } else if (command == "start") {
    MeterSettings s;
    tarnvale::loadSettings(s, folder, tarnvale::FixedLocale("."));
  } else if (command == "time" && argc == 4) {
    const int count = std::atoi(argv[3]);
    for (int i = 0; i < count; ++i) {
      const auto start = std::chrono::steady_clock::now();
      save(i % 2 == 1, folder);
      const auto us = std::chrono::duration_cast<std::chrono::microseconds>(
          std::chrono::steady_clock::now() - start);
      std::printf("%lld\n", static_cast<long long>(us.count()));
    }
  } else if (command == "click" && argc >= 6 && std::string(argv[4]) == "--") {
    return click(folder, std::atoi(argv[3]), argv + 5);
  } else {
    return 2;
  }
  return 0;
}

#include "tests/support/run_program.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace tarnvale::test {

std::string runProgram(const std::vector<std::string>& args) {
  int out[2];
  if (pipe(out) != 0) return {};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  std::vector<char*> argv;
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  pid_t pid = 0;
  const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(out[1]);
  std::string output;
  char chunk[4096];
  for (ssize_t n; (n = ::read(out[0], chunk, sizeof chunk)) > 0;) output.append(chunk, n);
  ::close(out[0]);
  if (spawned == 0) waitpid(pid, nullptr, 0);
  return output;
}

}  // namespace tarnvale::test

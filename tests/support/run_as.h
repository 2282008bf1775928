#pragma once

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <exception>
#include <functional>
#include <string>

namespace tarnvale::test {

// Runs `body` in a child process as another user (uid and gid, no
// supplementary groups) and returns what it returned: "" when all went as
// expected, else what went wrong. Needs root; a child that cannot become the
// user, or ends otherwise, reports that.
inline std::string runAsUser(uid_t uid, gid_t gid, const std::function<std::string()>& body) {
  int fds[2];
  if (::pipe(fds) != 0) return "pipe failed";
  std::fflush(nullptr);
  const pid_t child = ::fork();
  if (child < 0) return "fork failed";
  if (child == 0) {
    ::close(fds[0]);
    std::string result;
    if (::setgroups(0, nullptr) != 0 || ::setresgid(gid, gid, gid) != 0 ||
        ::setresuid(uid, uid, uid) != 0) {
      result = "cannot become user " + std::to_string(uid);
    } else {
      try {
        result = body();
      } catch (const std::exception& e) {
        result = std::string("uncaught: ") + e.what();
      }
    }
    const char* p = result.data();
    std::size_t left = result.size();
    while (left > 0) {
      const ssize_t n = ::write(fds[1], p, left);
      if (n <= 0) break;
      p += n;
      left -= static_cast<std::size_t>(n);
    }
    ::_exit(0);
  }
  ::close(fds[1]);
  std::string out;
  char buffer[4096];
  ssize_t n;
  while ((n = ::read(fds[0], buffer, sizeof buffer)) > 0)
    out.append(buffer, static_cast<std::size_t>(n));
  ::close(fds[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) out += " (the child did not end normally)";
  return out;
}

}  // namespace tarnvale::test

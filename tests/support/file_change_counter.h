#pragma once

#include <sys/inotify.h>
#include <unistd.h>

#include <cstddef>
#include <stdexcept>
#include <string>

namespace tarnvale::test {

// Counts how often one file is written: each replacement by a rename onto it,
// and each write to it in place, from the moment the counter exists. Lets a
// test see how many saves a program made, however each save writes.
class FileChangeCounter {
 public:
  FileChangeCounter(const std::string& folder, std::string name) : name_(std::move(name)) {
    fd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd_ < 0 || ::inotify_add_watch(fd_, folder.c_str(), IN_MOVED_TO | IN_CLOSE_WRITE) < 0)
      throw std::runtime_error("cannot watch " + folder);
  }
  ~FileChangeCounter() { ::close(fd_); }
  FileChangeCounter(const FileChangeCounter&) = delete;
  FileChangeCounter& operator=(const FileChangeCounter&) = delete;

  // The writes seen so far; the kernel has queued every finished one.
  int count() {
    alignas(inotify_event) char buffer[8192];
    for (ssize_t n; (n = ::read(fd_, buffer, sizeof buffer)) > 0;) {
      for (std::size_t at = 0; at < static_cast<std::size_t>(n);) {
        const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
        if (event->len > 0 && name_ == event->name) ++count_;
        at += sizeof(inotify_event) + event->len;
      }
    }
    return count_;
  }

 private:
  std::string name_;
  int fd_ = -1;
  int count_ = 0;
};

}  // namespace tarnvale::test

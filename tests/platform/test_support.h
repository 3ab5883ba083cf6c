// Shared pieces of the platform tests: a scratch folder removed at the end, and a child
// process that the test steps through one-byte messages over two pipes, so that the two
// processes' opens and locks happen in a known order without sleeping.
#pragma once

#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/file.h"

namespace lgoty::platform::testing {

class ScratchFolder {
 public:
  ScratchFolder() {
    std::string pattern = std::filesystem::temp_directory_path().string() + "/lgoty_platXXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
      perror("mkdtemp");
      abort();
    }
    path_ = pattern;
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  const std::string& Path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

inline std::vector<std::byte> Bytes(const std::string& text) {
  std::vector<std::byte> bytes(text.size());
  for (size_t i = 0; i < text.size(); ++i) bytes[i] = static_cast<std::byte>(text[i]);
  return bytes;
}

inline std::string Text(std::span<const std::byte> bytes) {
  std::string text(bytes.size(), '\0');
  for (size_t i = 0; i < bytes.size(); ++i) text[i] = static_cast<char>(bytes[i]);
  return text;
}

// The end of a two-way byte channel as one process sees it.
class Channel {
 public:
  Channel(int read_fd, int write_fd) : read_fd_(read_fd), write_fd_(write_fd) {}
  void Send(char message) {
    while (write(write_fd_, &message, 1) != 1) {
    }
  }
  // The next message, or '\0' when none came within the timeout or the other side is gone.
  char Receive(int timeout_ms = 10000) {
    pollfd entry{read_fd_, POLLIN, 0};
    if (poll(&entry, 1, timeout_ms) != 1) return '\0';
    char message = '\0';
    return read(read_fd_, &message, 1) == 1 ? message : '\0';
  }

 private:
  int read_fd_;
  int write_fd_;
};

// Runs `body` in a forked child. The child reports through the channel; its exit status is 0
// when the body returned normally, 99 when it threw. GoogleTest assertions belong in the
// parent only.
class ChildProcess {
 public:
  explicit ChildProcess(const std::function<void(Channel&)>& body) {
    int to_child[2];
    int to_parent[2];
    if (pipe(to_child) != 0 || pipe(to_parent) != 0) abort();
    fflush(nullptr);
    pid_ = fork();
    if (pid_ < 0) abort();
    if (pid_ == 0) {
      close(to_child[1]);
      close(to_parent[0]);
      Channel channel(to_child[0], to_parent[1]);
      int status = 0;
      try {
        body(channel);
      } catch (const std::exception& error) {
        fprintf(stderr, "child: %s\n", error.what());
        status = 99;
      }
      _exit(status);
    }
    close(to_child[0]);
    close(to_parent[1]);
    read_fd_ = to_parent[0];
    write_fd_ = to_child[1];
    channel_ = std::make_unique<Channel>(read_fd_, write_fd_);
  }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  ~ChildProcess() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      Wait();
    }
    close(read_fd_);
    close(write_fd_);
  }

  void Send(char message) { channel_->Send(message); }
  char Receive(int timeout_ms = 10000) { return channel_->Receive(timeout_ms); }
  // The child's exit status (-1 when it was killed by a signal).
  int Wait() {
    if (pid_ <= 0) return exit_status_;
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
    exit_status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return exit_status_;
  }

 private:
  pid_t pid_ = -1;
  int read_fd_ = -1;
  int write_fd_ = -1;
  int exit_status_ = -1;
  std::unique_ptr<Channel> channel_;
};

// One letter for the outcome of an open, for reporting from a child.
inline char TryOpen(const std::string& path, FileAccess access, FileShare share) {
  try {
    DiskFile::Open(path, access, share, FileCreate::OpenExisting);
    return 'O';
  } catch (const ESharingViolation&) {
    return 'S';
  } catch (const EFileError&) {
    return 'E';
  }
}

inline char LockLetter(LockResult result) {
  switch (result) {
    case LockResult::Granted: return 'G';
    case LockResult::Violation: return 'V';
    case LockResult::Failed: return 'F';
  }
  return '?';
}

}  // namespace lgoty::platform::testing

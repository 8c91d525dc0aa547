// The harness of the end-to-end tests: runs the built program in a fresh temporary folder, with
// a time limit, and reports its status, both output streams and its peak memory.
#pragma once

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vardel::test {

namespace fs = std::filesystem;

// What the program writes to standard error for an unusable command line, -h and no paths.
inline constexpr std::string_view USAGE =
    "usage: vardel [OPTIONS] <path> [<path> [<path> ...]]\n"
    "\n"
    "Options:\n"
    "    -5, --json5         parse according to JSON5\n"
    "    -l, --list          list JSON files\n"
    "    -s, --schema <path> validate files against a given JSON Schema file\n"
    "    -h, --help          print usage info\n"
    "    -v, --version       print version info\n"
    "\n";

struct RunResult {
  int status = 0;  // 128 + the signal when the program was killed
  std::string out;
  std::string err;

  friend bool operator==(const RunResult&, const RunResult&) = default;
};

inline void PrintTo(const RunResult& r, std::ostream* os) {
  *os << "{status " << r.status << ", out " << testing::PrintToString(r.out) << ", err "
      << testing::PrintToString(r.err) << "}";
}

// Where the program's standard output goes.
enum class Stdout {
  read,              // a pipe, read to its end
  closed_pipe,       // a pipe whose read end is closed before the program starts
  first_line,        // a pipe whose read end is closed once a whole line has arrived
  full_device,       // /dev/full: every write fails with "no space left"
  closed_descriptor  // descriptor 1 not open at all
};

struct RunOptions {
  std::string below;  // the folder to run in, relative to the test's folder
  Stdout out = Stdout::read;
  bool stderr_full = false;      // standard error on /dev/full
  bool stdin_idle_pipe = false;  // standard input a pipe that stays open and never gets data
  std::chrono::milliseconds limit{20000};    // a run still going then is killed and fails
  long address_space_bytes = 0;              // when set, the program's allocations fail beyond this
  std::function<void(pid_t)> while_running;  // called once the program has started
};

// One run, measured.
struct Measured {
  RunResult result;
  // The program's peak resident memory; it includes the few MiB of the test's own pages that
  // the child held between fork and exec.
  long peak_rss_bytes = 0;
  double seconds = 0;  // wall-clock time
  bool timed_out = false;
};

// Whether discovery would skip every file below the path: it holds one of the excluded names,
// each "." matching any character.
inline bool holds_excluded_name(std::string_view path) {
  constexpr std::array<std::string_view, 7> NAMES = {
      ".tesk", ".venv", "build", "node_modules", "package-lock.json", "target", "vendor"};
  for (std::string_view name : NAMES) {
    for (std::size_t start = 0; start + name.size() <= path.size(); ++start) {
      bool match = true;
      for (std::size_t k = 0; k < name.size() && match; ++k) {
        const char c = path[start + k];
        match = name[k] == '.' ? c != '\n' : c == name[k];
      }
      if (match) {
        return true;
      }
    }
  }
  return false;
}

// Reads both pipes to their ends at once, so that neither can fill up and stall the child. With
// `first_line`, the output pipe is closed as soon as a line feed has arrived on it. Each pipe is
// closed at its end and its descriptor set to -1. Returns false when the deadline passed first.
inline bool drain(int& out_fd, int& err_fd, bool first_line,
                  std::chrono::steady_clock::time_point deadline, RunResult& result) {
  std::array<pollfd, 2> fds = {{{out_fd, POLLIN, 0}, {err_fd, POLLIN, 0}}};
  std::array<std::string*, 2> sinks = {&result.out, &result.err};
  int open_count = (out_fd >= 0 ? 1 : 0) + (err_fd >= 0 ? 1 : 0);
  char buffer[65536];
  bool in_time = true;
  while (open_count > 0) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      in_time = false;
      break;
    }
    const int ready = ::poll(fds.data(), fds.size(), static_cast<int>(left.count()));
    if (ready < 0) {
      if (errno == EINTR) {
        continue;
      }
      break;
    }
    for (std::size_t i = 0; i < fds.size(); ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) {
        continue;
      }
      const ssize_t got = ::read(fds[i].fd, buffer, sizeof buffer);
      if (got > 0) {
        sinks[i]->append(buffer, static_cast<std::size_t>(got));
      }
      const bool line_done = i == 0 && first_line && result.out.find('\n') != std::string::npos;
      if (got == 0 || (got < 0 && errno != EINTR) || line_done) {
        ::close(fds[i].fd);
        fds[i].fd = -1;
        --open_count;
      }
    }
  }
  out_fd = fds[0].fd;
  err_fd = fds[1].fd;
  return in_time;
}

// The program under test: the one built with this test, or the one that VARDEL_TEST_BINARY
// names (such as the Windows build), started through the program that VARDEL_TEST_WRAPPER
// names when that is set (such as wine64).
inline std::string test_binary() {
  const char* binary = std::getenv("VARDEL_TEST_BINARY");
  return binary != nullptr && *binary != '\0' ? binary : VARDEL_BINARY;
}

inline std::vector<std::string> test_command() {
  std::vector<std::string> command;
  const char* wrapper = std::getenv("VARDEL_TEST_WRAPPER");
  if (wrapper != nullptr && *wrapper != '\0') {
    command.emplace_back(wrapper);
  }
  command.push_back(test_binary());
  return command;
}

// Whether the program under test is the Windows build, whose error texts and absolute paths
// are the Windows ones.
inline bool testing_windows_build() {
  return test_binary().ends_with(".exe");
}

class VardelRun : public testing::Test {
 protected:
  void SetUp() override {
    for (int attempt = 0; attempt < 5 && root_.empty(); ++attempt) {
      std::string pattern = (fs::path(testing::TempDir()) / "vardel-run-XXXXXX").string();
      ASSERT_NE(::mkdtemp(pattern.data()), nullptr) << std::strerror(errno);
      if (holds_excluded_name(pattern)) {
        fs::remove(pattern);
        continue;
      }
      root_ = pattern;
    }
    ASSERT_FALSE(root_.empty()) << "the temporary folder's path holds an excluded name";
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }

  void write(std::string_view name, std::string_view content) const {
    const fs::path path = root_ / name;
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
  }

  // Runs the program with the arguments in the folder (or a folder below it), no shell. With
  // `stdout_closed`, nobody reads its standard output.
  RunResult run(const std::vector<std::string>& arguments, std::string_view below = "",
                bool stdout_closed = false) const {
    RunOptions options;
    options.below = below;
    options.out = stdout_closed ? Stdout::closed_pipe : Stdout::read;
    return run_with(arguments, options).result;
  }

  // Runs the program as `run` does, with the given streams and time limit, and measures it.
  //
  // Under a wrapper (Wine), a run that ends with status 1 and nothing on either stream, where
  // the test expected to read them, is run once more, with a note on the test's own output: the
  // emulator has been seen to lose a whole run's streams on a loaded machine. A program that
  // really ends that way does so again, and the second result is the one checked.
  Measured run_with(const std::vector<std::string>& arguments, const RunOptions& options) const {
    Measured measured = run_once(arguments, options);
    const bool wrapped = test_command().size() > 1;
    const bool silent = measured.result == RunResult{1, "", ""} && !measured.timed_out;
    if (wrapped && silent && options.out == Stdout::read && !options.stderr_full &&
        !options.while_running) {
      std::fprintf(stderr, "note: %s ended with status 1 and no output; running it once more\n",
                   testing::PrintToString(arguments).c_str());
      measured = run_once(arguments, options);
    }
    return measured;
  }

  // One run. The folder to run in is entered one name at a time, so it may lie deeper than the
  // longest path the system accepts.
  Measured run_once(const std::vector<std::string>& arguments, const RunOptions& options) const {
    const std::string directory = root_.string();
    std::vector<std::string> steps;
    for (const auto& step : fs::path(options.below)) {
      if (!step.empty()) {
        steps.push_back(step.string());
      }
    }
    std::vector<std::string> argv_text = test_command();
    argv_text.insert(argv_text.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& a : argv_text) {
      argv.push_back(a.data());
    }
    argv.push_back(nullptr);

    int out_pipe[2] = {-1, -1};
    int err_pipe[2];
    int in_pipe[2] = {-1, -1};
    if (::pipe(out_pipe) != 0 || ::pipe(err_pipe) != 0 ||
        (options.stdin_idle_pipe && ::pipe(in_pipe) != 0)) {
      ADD_FAILURE() << "pipe: " << std::strerror(errno);
      return {};
    }
    if (options.out == Stdout::closed_pipe) {
      ::close(out_pipe[0]);
      out_pipe[0] = -1;
    }
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
      const int full = ::open("/dev/full", O_WRONLY);
      if (options.out == Stdout::full_device) {
        ::dup2(full, STDOUT_FILENO);
      } else if (options.out == Stdout::closed_descriptor) {
        ::close(STDOUT_FILENO);
      } else {
        ::dup2(out_pipe[1], STDOUT_FILENO);
      }
      if (options.stderr_full) {
        ::dup2(full, STDERR_FILENO);
      } else {
        ::dup2(err_pipe[1], STDERR_FILENO);
      }
      if (options.stdin_idle_pipe) {
        ::dup2(in_pipe[0], STDIN_FILENO);
      }
      for (int fd :
           {full, out_pipe[0], out_pipe[1], err_pipe[0], err_pipe[1], in_pipe[0], in_pipe[1]}) {
        if (fd > STDERR_FILENO) {
          ::close(fd);
        }
      }
      if (options.address_space_bytes > 0) {
        const auto bytes = static_cast<rlim_t>(options.address_space_bytes);
        const rlimit cap{bytes, bytes};
        ::setrlimit(RLIMIT_AS, &cap);
      }
      // The test's own signal settings must not leak into the program's.
      ::signal(SIGPIPE, SIG_DFL);
      bool entered = ::chdir(directory.c_str()) == 0;
      for (const std::string& step : steps) {
        entered = entered && ::chdir(step.c_str()) == 0;
      }
      if (entered) {
        ::execv(argv[0], argv.data());
      }
      ::_exit(127);
    }
    ::close(out_pipe[1]);
    ::close(err_pipe[1]);
    if (options.stdin_idle_pipe) {
      ::close(in_pipe[0]);
    }
    if (options.while_running) {
      options.while_running(pid);
    }
    Measured measured;
    const bool finished = drain(out_pipe[0], err_pipe[0], options.out == Stdout::first_line,
                                start + options.limit, measured.result);
    if (!finished) {
      ::kill(pid, SIGKILL);
      drain(out_pipe[0], err_pipe[0], false,
            std::chrono::steady_clock::now() + std::chrono::seconds(5), measured.result);
    }
    for (int fd : {out_pipe[0], err_pipe[0]}) {
      if (fd >= 0) {
        ::close(fd);
      }
    }
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    measured.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (options.stdin_idle_pipe) {
      ::close(in_pipe[1]);
    }
    measured.timed_out = !finished;
    measured.peak_rss_bytes = usage.ru_maxrss * 1024L;  // Linux counts it in KiB
    measured.result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    EXPECT_FALSE(measured.timed_out)
        << "the run was killed after " << options.limit.count() << " ms";
    return measured;
  }

  fs::path root_;
};

}  // namespace vardel::test

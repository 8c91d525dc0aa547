// End to end on hostile inputs: giant and deeply nested documents, deep trees and over-long
// paths, link loops, pipes and devices, files that vanish, closed output, odd arguments and
// names. Each run must end with the program's own texts, the right status, within its time
// limit and, where it matters, within a bound on its peak memory.
//
// Under the sanitizers (VARDEL_SANITIZED, set by CMake when VARDEL_SANITIZE is) the program runs
// many times slower and its memory holds the sanitizers' own tables, so the giant inputs shrink
// and the memory bounds are not checked.
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstddef>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include "src/vardel/run_harness.h"

namespace vardel {
namespace {

namespace fs = std::filesystem;
using test::Measured;
using test::RunOptions;
using test::RunResult;
using test::Stdout;
using test::USAGE;
using test::VardelRun;

constexpr std::size_t MIB = 1024 * 1024;

#ifdef VARDEL_SANITIZED
constexpr bool SANITIZED = true;
constexpr std::size_t GIANT_SIZE = 64 * MIB;
#else
constexpr bool SANITIZED = false;
constexpr std::size_t GIANT_SIZE = 1024 * MIB;
#endif

// The program's own memory beside the file it holds.
constexpr long SLACK_BYTES = 32 * MIB;

std::string repeat(std::string_view unit, std::size_t count) {
  std::string text;
  text.reserve(unit.size() * count);
  for (std::size_t i = 0; i < count; ++i) {
    text += unit;
  }
  return text;
}

class HostileRun : public VardelRun {
 protected:
  // Writes `head`, then `unit` repeated, then `tail`, `size` bytes in all, in large blocks so
  // that a giant file is quick to make and never held in memory. Requires: `size` minus the
  // head and tail is a multiple of the unit's size.
  void write_giant(std::string_view name, std::string_view head, std::string_view unit,
                   std::string_view tail, std::size_t size) const {
    const std::size_t body = size - head.size() - tail.size();
    ASSERT_EQ(body % unit.size(), 0u);
    std::ofstream out(root_ / name, std::ios::binary);
    out.write(head.data(), static_cast<std::streamsize>(head.size()));
    const std::string block = repeat(unit, 4 * MIB / unit.size());
    for (std::size_t left = body; left > 0;) {
      const std::size_t n = std::min(left, block.size());
      out.write(block.data(), static_cast<std::streamsize>(n));
      left -= n;
    }
    out.write(tail.data(), static_cast<std::streamsize>(tail.size()));
    ASSERT_TRUE(out.good()) << "writing " << name;
  }

  // Overwrites the bytes at `offset` in place.
  void patch(std::string_view name, std::size_t offset, std::string_view bytes) const {
    std::fstream file(root_ / name, std::ios::binary | std::ios::in | std::ios::out);
    file.seekp(static_cast<std::streamoff>(offset));
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(file.good()) << "patching " << name;
  }

  void link(std::string_view target, std::string_view name) const {
    fs::create_directories((root_ / name).parent_path());
    ASSERT_EQ(::symlink(std::string(target).c_str(), (root_ / name).c_str()), 0)
        << name << ": " << std::strerror(errno);
  }

  // The test folder's full path in the program's Windows form.
  std::string windows_root() const {
    std::string full = fs::canonical(root_).string();
    std::ranges::replace(full, '/', '\\');
    return full;
  }

  static void expect_peak_at_most(const Measured& measured, long bound) {
    if (!SANITIZED) {
      EXPECT_LE(measured.peak_rss_bytes, bound)
          << "peak memory " << measured.peak_rss_bytes / MIB << " MiB";
    }
  }
};

RunResult failed(std::string err) {
  return {1, "", std::move(err)};
}

TEST_F(HostileRun, ReadsAGiantOneLineDocumentInBoundedMemory) {
  const std::string size = std::to_string(GIANT_SIZE);
  struct Case {
    std::string_view head, unit, tail;
    std::string_view last_byte;  // replaces the document's last byte to break it
    std::string broken;
  };
  const Case CASES[] = {
      {"[", "1,", "11]", "x", "expected `,` or `]` at line 1 column " + size},
      {"\"", "a", "\"", "\x01",
       "control character (\\u0000-\\u001F) found while parsing a string at line 1 column " + size},
  };
  RunOptions options;
  options.limit = std::chrono::seconds(SANITIZED ? 120 : 60);
  for (const Case& c : CASES) {
    SCOPED_TRACE(c.head);
    write_giant("giant.json", c.head, c.unit, c.tail, GIANT_SIZE);
    const Measured valid = run_with({"giant.json"}, options);
    EXPECT_EQ(valid.result, (RunResult{0, "", ""}));
    expect_peak_at_most(valid, static_cast<long>(GIANT_SIZE) + SLACK_BYTES);
    patch("giant.json", GIANT_SIZE - 1, c.last_byte);
    const Measured broken = run_with({"giant.json"}, options);
    EXPECT_EQ(broken.result, failed("error: giant.json: " + c.broken + "\n"));
    expect_peak_at_most(broken, static_cast<long>(GIANT_SIZE) + SLACK_BYTES);
    fs::remove(root_ / "giant.json");
  }
}

TEST_F(HostileRun, StopsAMillionNestedLevelsAtTheBudget) {
  constexpr std::size_t LEVELS = 1'000'000;
  write("arrays.json", repeat("[", LEVELS));
  write("objects.json", repeat("{\"a\":", LEVELS));
  write("arrays.json5", repeat("[", LEVELS));
  write("objects.json5", repeat("{a:", LEVELS));
  write("schema.json", "{\"items\": {\"items\": {}}}");
  struct Case {
    std::vector<std::string> arguments;
    std::string err;
  };
  const Case CASES[] = {
      {{"arrays.json"}, "error: arrays.json: recursion limit exceeded at line 1 column 128\n"},
      // The 128th "{" follows 127 times the five bytes {"a":.
      {{"objects.json"}, "error: objects.json: recursion limit exceeded at line 1 column 636\n"},
      {{"-5", "arrays.json5"}, "error: arrays.json5: recursion limit exceeded\n"},
      {{"-5", "objects.json5"}, "error: objects.json5: recursion limit exceeded\n"},
      {{"-s", "schema.json", "arrays.json"},
       "error: arrays.json: recursion limit exceeded at line 1 column 128\n"},
      {{"-s", "schema.json", "objects.json"},
       "error: objects.json: recursion limit exceeded at line 1 column 636\n"},
  };
  for (const Case& c : CASES) {
    SCOPED_TRACE(testing::PrintToString(c.arguments));
    const Measured measured = run_with(c.arguments, {});
    EXPECT_EQ(measured.result, failed(c.err));
    expect_peak_at_most(measured, 64 * MIB);
  }
}

TEST_F(HostileRun, WalksATreeThreeHundredLevelsDeep) {
  std::string path = "tree";
  std::string shown = "tree";
  for (int level = 0; level < 300; ++level) {
    path += "/d";
    shown += "\\d";
  }
  write(path + "/x.json", "[1,]");
  EXPECT_EQ(run({"-l", "tree"}), (RunResult{0, shown + "\\x.json\n", ""}));
  EXPECT_EQ(run({"tree"}),
            failed("error: " + shown + "\\x.json: trailing comma at line 1 column 4\n"));
}

TEST_F(HostileRun, ReportsAPathLongerThanTheSystemTakes) {
  // "long" and 16 names of 255 bytes: the 15th level's path has 3844 bytes, the 16th's 4100,
  // beyond PATH_MAX (4096, its NUL included).
  static_assert(PATH_MAX == 4096);
  const std::string name(255, 'n');
  fs::create_directory(root_ / "long");
  std::string shown = "long";
  std::string below = "long";
  {
    const fs::path saved = fs::current_path();
    fs::current_path(root_ / "long");
    for (int level = 1; level <= 16; ++level) {
      ASSERT_EQ(::mkdir(name.c_str(), 0700), 0) << std::strerror(errno);
      ASSERT_EQ(::chdir(name.c_str()), 0) << std::strerror(errno);
      shown += "\\" + name;
      below += "/" + name;
    }
    std::ofstream("x.json") << "[1,]";
    fs::create_directory("sub");
    std::ofstream("sub/y.json") << "{}";
    fs::current_path(saved);
  }
  const RunResult walk_error =
      failed("IO error for operation on " + shown + ": " + std::strerror(ENAMETOOLONG) +
             " (os error " + std::to_string(ENAMETOOLONG) + ")\n");
  EXPECT_EQ(run({"-l", "long"}), walk_error);
  EXPECT_EQ(run({"long"}), walk_error);
  // Inside, the current directory's own path is beyond the limit; relative paths still work.
  RunOptions inside;
  inside.below = below;
  EXPECT_EQ(run_with({"-l", "."}, inside).result, (RunResult{0, "sub\\y.json\nx.json\n", ""}));
  EXPECT_EQ(run_with({"x.json", "sub"}, inside).result,
            failed("error: x.json: trailing comma at line 1 column 4\n"));
}

TEST_F(HostileRun, NeverFollowsLinksBelowTheStart) {
  write("loop/sub/a.json", "{}");
  link("..", "loop/sub/up.json");  // to an ancestor
  link(fs::absolute(root_ / "loop").string(), "loop/sub/top");
  link("pong.json", "loop/ping.json");  // two links pointing at each other
  link("ping.json", "loop/pong.json");
  link("self.json", "loop/self.json");
  link("db", "loop/da");
  link("da", "loop/db");
  link("missing.json", "loop/gone.json");  // dangling
  link("loop", "entry");                   // the start may be a link to a directory
  const RunResult listed{0, "loop\\sub\\a.json\n", ""};
  struct Case {
    std::vector<std::string> arguments;
    RunResult want;
  };
  const Case CASES[] = {
      {{"-l", "loop"}, listed},
      {{"loop"}, {0, "", ""}},
      {{"-5", "loop"}, {0, "", ""}},
      {{"-l", "entry", "loop/sub/up.json/sub"},
       {0, "entry\\sub\\a.json\nloop\\sub\\up.json\\sub\\a.json\n", ""}},
      // Given directly, a loop cannot be resolved, nor can a dangling link.
      {{"loop/self.json"}, failed("unable to query metadata for path: loop/self.json\n")},
      {{"-l", "loop/ping.json"}, failed("unable to query metadata for path: loop/ping.json\n")},
      {{"-l", "loop/da"}, failed("unable to query metadata for path: loop/da\n")},
      {{"loop/gone.json"}, failed("unable to query metadata for path: loop/gone.json\n")},
  };
  for (const Case& c : CASES) {
    SCOPED_TRACE(testing::PrintToString(c.arguments));
    RunOptions options;
    options.limit = std::chrono::seconds(5);
    EXPECT_EQ(run_with(c.arguments, options).result, c.want);
  }
}

TEST_F(HostileRun, RefusesPipesAndDevicesWithoutBlocking) {
  write("ok/a.json", "{}");
  write("s.json", "{}");
  fs::create_directory(root_ / "d");
  ASSERT_EQ(::mkfifo((root_ / "fifo.json").c_str(), 0600), 0) << std::strerror(errno);
  ASSERT_EQ(::mkfifo((root_ / "d" / "fifo.json").c_str(), 0600), 0) << std::strerror(errno);
  link("/dev/zero", "zero.json");
  link("/dev/zero", "d/zero.json");  // a link met in a walk is skipped
  link("/dev/stdin", "stdin.json");
  // A device node itself can only be made with the privilege to do so (as in CI, run as root).
  const bool device =
      ::mknod((root_ / "d" / "null.json").c_str(), S_IFCHR | 0600, makedev(1, 3)) == 0;
  const std::string walked = "error: d\\fifo.json: unable to read path: d\\fifo.json\n" +
                             std::string(device ? "error: d\\null.json: unable to read path: "
                                                  "d\\null.json\n"
                                                : "");
  struct Case {
    std::vector<std::string> arguments;
    RunResult want;
  };
  const Case CASES[] = {
      {{"fifo.json"}, failed("error: fifo.json: unable to read path: fifo.json\n")},
      {{"zero.json"}, failed("error: zero.json: unable to read path: zero.json\n")},
      {{"-5", "zero.json"}, failed("error: zero.json: unable to read path: zero.json\n")},
      {{"stdin.json"}, failed("error: stdin.json: unable to read path: stdin.json\n")},
      {{"d"}, failed(walked)},
      {{"-s", "s.json", "zero.json"}, failed("error: zero.json: unable to read file: zero.json\n")},
      {{"-s", "zero.json", "ok"}, failed("error: zero.json: unable to read file: zero.json\n")},
      {{"-s", "fifo.json", "ok"}, failed("error: fifo.json: unable to read file: fifo.json\n")},
      {{"-s", "stdin.json", "ok"}, failed("error: stdin.json: unable to read file: stdin.json\n")},
  };
  for (const Case& c : CASES) {
    SCOPED_TRACE(testing::PrintToString(c.arguments));
    RunOptions options;
    options.stdin_idle_pipe = true;
    options.limit = std::chrono::seconds(5);
    EXPECT_EQ(run_with(c.arguments, options).result, c.want);
  }
}

// Watches the folder for files being opened and removed.
class Watch {
 public:
  explicit Watch(const fs::path& folder) : fd_(::inotify_init1(IN_CLOEXEC | IN_NONBLOCK)) {
    if (fd_ >= 0) {
      ::inotify_add_watch(fd_, folder.c_str(), IN_OPEN | IN_DELETE);
    }
  }
  Watch(const Watch&) = delete;
  Watch& operator=(const Watch&) = delete;
  ~Watch() {
    if (fd_ >= 0) {
      ::close(fd_);
    }
  }

  // Events as "open a.json" or "delete b.json", in order, until `until` is seen or the time is
  // up; with an empty `until`, those that are there now.
  std::vector<std::string> read(std::string_view until, std::chrono::milliseconds limit) {
    std::vector<std::string> events;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    alignas(inotify_event) char buffer[4096];
    for (;;) {
      const ssize_t got = ::read(fd_, buffer, sizeof buffer);
      if (got <= 0) {
        if (until.empty() || std::chrono::steady_clock::now() > deadline) {
          return events;
        }
        pollfd wanted{fd_, POLLIN, 0};
        ::poll(&wanted, 1, 10);
        continue;
      }
      for (ssize_t at = 0; at < got;) {
        const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
        if (event->len > 0) {
          events.push_back(std::string((event->mask & IN_OPEN) != 0 ? "open " : "delete ") +
                           event->name);
        }
        at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
      }
      if (!until.empty() && std::ranges::find(events, until) != events.end()) {
        return events;
      }
    }
  }
  [[nodiscard]] bool ok() const { return fd_ >= 0; }

 private:
  int fd_;
};

TEST_F(HostileRun, ReportsAFileThatVanishedAfterDiscovery) {
  // While the program reads and parses the large a.json, the files found after it change:
  // b.json is removed, b2.json becomes a named pipe, b3.json a directory. The parse takes tens
  // of milliseconds, ample time; should the program still win the race, as the order of the
  // events shows, the run is repeated.
  write_giant("a.json", "[", "1,", "11]", 16 * MIB);
  write("c.json", "[1,]");
  const std::vector<std::string> changed = {"b.json", "b2.json", "b3.json"};
  for (int attempt = 0; attempt < 3; ++attempt) {
    for (const std::string& name : changed) {
      fs::remove_all(root_ / name);
      write(name, "{}");
    }
    Watch watch(root_);
    if (!watch.ok()) {
      GTEST_SKIP() << "no inotify here: " << std::strerror(errno);
    }
    std::vector<std::string> events;
    RunOptions options;
    options.while_running = [&](pid_t) {
      events = watch.read("open a.json", std::chrono::seconds(10));
      for (const std::string& name : changed) {
        fs::remove(root_ / name);
      }
      ::mkfifo((root_ / "b2.json").c_str(), 0600);
      fs::create_directory(root_ / "b3.json");
    };
    const Measured measured =
        run_with({"a.json", "b.json", "b2.json", "b3.json", "c.json"}, options);
    const std::vector<std::string> rest = watch.read("", {});
    events.insert(events.end(), rest.begin(), rest.end());
    const bool lost_race = std::ranges::any_of(changed, [&](const std::string& name) {
      return std::ranges::find(events, "open " + name) <
             std::ranges::find(events, "delete " + name);
    });
    if (!lost_race) {
      EXPECT_EQ(measured.result, failed("error: b.json: unable to read path: b.json\n"
                                        "error: b2.json: unable to read path: b2.json\n"
                                        "error: b3.json: unable to read path: b3.json\n"
                                        "error: c.json: trailing comma at line 1 column 4\n"));
      return;
    }
  }
  FAIL() << "the program opened a changed file before it changed, three times";
}

TEST_F(HostileRun, EndsInOrderWhenItsOutputGoesNowhere) {
  // 30 times a tree of 1000 files: some 500 KB of list, more than a pipe and the program's
  // buffer hold, so writes still come after the reader has gone.
  std::vector<std::string> arguments = {"-l"};
  for (int i = 0; i < 1000; ++i) {
    write("big/f" + std::to_string(1000 + i) + ".json", "");
  }
  for (int i = 0; i < 30; ++i) {
    arguments.push_back("big");
  }
  write("bad.json", "[1,]");
  struct Case {
    std::vector<std::string> arguments;
    Stdout out;
    bool stderr_full;
    RunResult want;
  };
  const Case CASES[] = {
      {arguments, Stdout::first_line, false, {1, "big\\f1000.json\n", ""}},
      {arguments, Stdout::closed_pipe, false, {1, "", ""}},
      {arguments, Stdout::full_device, false, {1, "", ""}},
      {arguments, Stdout::closed_descriptor, false, {1, "", ""}},
      // A message that cannot be written still fails the run, and so does the version text.
      {{"bad.json"}, Stdout::read, true, {1, "", ""}},
      {{"-v"}, Stdout::read, true, {1, "", ""}},
  };
  for (const Case& c : CASES) {
    SCOPED_TRACE(static_cast<int>(c.out));
    RunOptions options;
    options.out = c.out;
    options.stderr_full = c.stderr_full;
    options.limit = std::chrono::seconds(10);
    RunResult got = run_with(c.arguments, options).result;
    if (c.out == Stdout::first_line) {
      got.out.resize(std::min(got.out.size(), got.out.find('\n') + 1));
    }
    EXPECT_EQ(got, c.want);
  }
}

TEST_F(HostileRun, TakesOddArgumentsInOrder) {
  write("a.json", "{}");
  fs::create_directory(root_ / "empty");
  // The longest single argument Linux passes (MAX_ARG_STRLEN, its NUL included); a 1 MiB one
  // never reaches the program, execve refuses it with E2BIG.
  const std::string longest(128 * 1024 - 1, 'a');
  struct Case {
    std::vector<std::string> arguments;
    RunResult want;
  };
  const Case CASES[] = {
      // Not UTF-8: a surrogate, an overlong form, a cut sequence, a stray continuation byte,
      // beyond U+10FFFF; as a path after "--" and as the schema's path too.
      {{"\xED\xA0\x80.json"}, {1, "", std::string(USAGE)}},
      {{"\xC0\xAF"}, {1, "", std::string(USAGE)}},
      {{"a.json", "a\xF0\x9F\x98"}, {1, "", std::string(USAGE)}},
      {{"\x80"}, {1, "", std::string(USAGE)}},
      {{"\xF4\x90\x80\x80"}, {1, "", std::string(USAGE)}},
      {{"--", "\xFE"}, {1, "", std::string(USAGE)}},
      {{"-s", "\xFF", "a.json"}, {1, "", std::string(USAGE)}},
      {{longest}, failed("unable to query metadata for path: " + longest + "\n")},
      {{"-s", longest, "empty"},
       failed("error: " + longest + ": unable to read file: " + longest + "\n")},
      {{"-l", "-s", longest, "a.json"}, {0, "a.json\n", ""}},
  };
  for (const Case& c : CASES) {
    SCOPED_TRACE(testing::PrintToString(c.arguments).substr(0, 80));
    EXPECT_EQ(run(c.arguments), c.want);
  }
}

TEST_F(HostileRun, TakesTensOfThousandsOfArguments) {
  // 30 000 arguments, each of 1000 files 30 times over; a file named n times is checked and
  // listed n times.
  std::vector<std::string> arguments;
  std::string listed;
  for (int i = 0; i < 1000; ++i) {
    const std::string name = "f" + std::to_string(1000 + i) + ".json";
    write("many/" + name, i == 999 ? "[1,]" : "{}");
    for (int k = 0; k < 30; ++k) {
      arguments.push_back("many/" + name);
      listed += "many\\" + name + "\n";
    }
  }
  EXPECT_EQ(run(arguments),
            failed(repeat("error: many\\f1999.json: trailing comma at line 1 column 4\n", 30)));
  arguments.insert(arguments.begin(), "-l");
  EXPECT_EQ(run(arguments), (RunResult{0, listed, ""}));
}

TEST_F(HostileRun, ReportsOddContentInItsOwnWords) {
  const std::string nuls(4096, '\0');
  const std::string bom = "\xEF\xBB\xBF";
  write("nul.json", nuls);
  write("nul.json5", nuls);
  write("nul-in-string.json", std::string("[\"a\0b\"]", 7));
  write("bom.json", bom + "{}");
  write("bom.json5", bom + bom + "[1," + bom + "2]");
  write("only-bom.json5", bom);
  write("s.json", "{}");
  const std::string at_start = "expected array, boolean, null, number, object, or string\n";
  struct Case {
    std::vector<std::string> arguments;
    RunResult want;
  };
  const Case CASES[] = {
      {{"nul.json"}, failed("error: nul.json: expected value at line 1 column 1\n")},
      {{"-s", "s.json", "nul.json"},
       failed("error: nul.json: expected value at line 1 column 1\n")},
      {{"-5", "nul.json5"},
       failed("error: nul.json5:  --> 1:1\n  |\n1 | " + nuls + "\n  | ^---\n  |\n  = " + at_start)},
      {{"nul-in-string.json"},
       failed("error: nul-in-string.json: control character (\\u0000-\\u001F) found while "
              "parsing a string at line 1 column 4\n")},
      // A byte-order mark is text: JSON refuses it, JSON5 takes it as white space anywhere.
      {{"bom.json"}, failed("error: bom.json: expected value at line 1 column 1\n")},
      {{"-s", "s.json", "bom.json"},
       failed("error: bom.json: expected value at line 1 column 1\n")},
      {{"-5", "bom.json5"}, {0, "", ""}},
      {{"-5", "only-bom.json5"},
       failed("error: only-bom.json5:  --> 1:2\n  |\n1 | " + bom +
              "\n  |  ^---\n  |\n  = " + at_start)},
  };
  for (const Case& c : CASES) {
    SCOPED_TRACE(testing::PrintToString(c.arguments));
    EXPECT_EQ(run(c.arguments), c.want);
  }
}

TEST_F(HostileRun, RefusesAFileLargerThanMemory) {
  if (SANITIZED) {
    GTEST_SKIP() << "the sanitizers end the program when an allocation fails";
  }
  std::ifstream overcommit("/proc/sys/vm/overcommit_memory");
  int mode = 0;
  if (overcommit >> mode && mode == 1) {
    GTEST_SKIP() << "with overcommit always on, a terabyte is granted and then filled";
  }
  // A sparse file: a terabyte of zeros that takes no room on disk.
  std::ofstream(root_ / "huge.json").close();
  fs::resize_file(root_ / "huge.json", 1024 * 1024 * MIB);
  const Measured measured = run_with({"huge.json"}, {});
  EXPECT_EQ(measured.result, failed("error: huge.json: unable to read path: huge.json\n"));
  expect_peak_at_most(measured, 64 * MIB);
}

TEST_F(HostileRun, RefusesADocumentTooLargeForMemory) {
  if (SANITIZED) {
    GTEST_SKIP() << "the sanitizers end the program when an allocation fails";
  }
  // A 16 MiB array of numbers: reading and checking it, as JSON or as JSON5, needs little
  // beyond its bytes; its value for validation needs hundreds of MiB, beyond the limit. A file
  // larger than the limit cannot even be read.
  write_giant("big.json", "[", "1,", "11]", 16 * MIB);
  write_giant("big.json5", "[", "1,", "11]", 16 * MIB);
  std::ofstream(root_ / "huge.json5").close();
  fs::resize_file(root_ / "huge.json5", 256 * MIB);
  write("s.json", "{}");
  write("t.json5", "[");
  struct Case {
    std::vector<std::string> arguments;
    RunResult want;
  };
  const Case CASES[] = {
      {{"big.json"}, {0, "", ""}},
      {{"-5", "big.json5", "t.json5"},
       failed("error: t.json5:  --> 1:2\n  |\n1 | [\n  |  ^---\n  |\n"
              "  = expected array, boolean, null, number, object, or string\n")},
      // The run goes on after the refusal.
      {{"-5", "huge.json5", "t.json5"},
       failed("error: huge.json5: unable to read path: huge.json5\n"
              "error: t.json5:  --> 1:2\n  |\n1 | [\n  |  ^---\n  |\n"
              "  = expected array, boolean, null, number, object, or string\n")},
      {{"-s", "s.json", "big.json"}, failed("error: big.json: unable to read file: big.json\n")},
      {{"-s", "big.json", "s.json"}, failed("error: big.json: unable to read file: big.json\n")},
  };
  for (const Case& c : CASES) {
    SCOPED_TRACE(testing::PrintToString(c.arguments));
    RunOptions options;
    options.address_space_bytes = 128 * MIB;
    EXPECT_EQ(run_with(c.arguments, options).result, c.want);
  }
}

TEST_F(HostileRun, NamesOddEntriesMetInAWalk) {
  const std::string full = windows_root();
  const std::string fffd = "\xEF\xBF\xBD";
  struct Case {
    std::string name;  // of the one entry in a folder of its own
    RunResult want;    // of "-l" and the folder
  };
  const Case CASES[] = {
      {"caf\xE9.json", failed("unable to process path: " + full + "\\d\\caf" + fffd + ".json\n")},
      {"\xED\xA0\x80.json",
       failed("unable to process path: " + full + "\\d\\" + fffd + fffd + fffd + ".json\n")},
      {"\xF0\x9F\x98.json", failed("unable to process path: " + full + "\\d\\" + fffd + ".json\n")},
      {"\xC0\xAF.txt",
       failed("unable to process path: " + full + "\\d\\" + fffd + fffd + ".txt\n")},
      {"\x80\xBF.json",
       failed("unable to process path: " + full + "\\d\\" + fffd + fffd + ".json\n")},
      {"new\nline.json", {0, "d\\new\nline.json\n", ""}},
  };
  for (const Case& c : CASES) {
    SCOPED_TRACE(testing::PrintToString(c.name));
    fs::remove_all(root_ / "d");
    write("d/" + c.name, "{}");
    EXPECT_EQ(run({"-l", "d"}), c.want);
    EXPECT_EQ(run({"-5", "d"}).status, c.want.status);
  }
  // A "\" is a separator to the program, so this name cannot be read on POSIX: it is listed,
  // and its check fails, rather than lost or ending the walk.
  fs::remove_all(root_ / "d");
  write("d/a\\b.json", "{}");
  EXPECT_EQ(run({"-l", "d"}), (RunResult{0, "d\\a\\b.json\n", ""}));
  EXPECT_EQ(run({"d"}), failed("error: d\\a\\b.json: unable to read path: d\\a\\b.json\n"));
}

}  // namespace
}  // namespace vardel

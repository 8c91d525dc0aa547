// End to end: the built program, run in a fresh temporary folder over a small tree.
#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vardel {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view USAGE =
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

void PrintTo(const RunResult& r, std::ostream* os) {
  *os << "{status " << r.status << ", out " << testing::PrintToString(r.out) << ", err "
      << testing::PrintToString(r.err) << "}";
}

// Whether discovery would skip every file below the path: it holds one of the excluded names,
// each "." matching any character.
bool holds_excluded_name(std::string_view path) {
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

// Reads both pipes to their ends at once, so that neither can fill up and stall the child.
void drain(int out_fd, int err_fd, RunResult& result) {
  std::array<pollfd, 2> fds = {{{out_fd, POLLIN, 0}, {err_fd, POLLIN, 0}}};
  std::array<std::string*, 2> sinks = {&result.out, &result.err};
  int open_count = (out_fd >= 0 ? 1 : 0) + (err_fd >= 0 ? 1 : 0);
  char buffer[65536];
  while (open_count > 0) {
    if (::poll(fds.data(), fds.size(), -1) < 0) {
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
      } else if (got == 0 || errno != EINTR) {
        ::close(fds[i].fd);
        fds[i].fd = -1;
        --open_count;
      }
    }
  }
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
    const std::string directory = (root_ / below).string();
    std::vector<std::string> argv_text = {VARDEL_BINARY};
    argv_text.insert(argv_text.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& a : argv_text) {
      argv.push_back(a.data());
    }
    argv.push_back(nullptr);

    int out_pipe[2];
    int err_pipe[2];
    if (::pipe(out_pipe) != 0 || ::pipe(err_pipe) != 0) {
      ADD_FAILURE() << "pipe: " << std::strerror(errno);
      return {};
    }
    if (stdout_closed) {
      ::close(out_pipe[0]);
      out_pipe[0] = -1;
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::dup2(out_pipe[1], STDOUT_FILENO);
      ::dup2(err_pipe[1], STDERR_FILENO);
      for (int fd : {out_pipe[0], out_pipe[1], err_pipe[0], err_pipe[1]}) {
        if (fd >= 0) {
          ::close(fd);
        }
      }
      ::alarm(20);  // kept across exec: a run that hangs is killed and fails the test
      if (::chdir(directory.c_str()) == 0) {
        ::execv(argv[0], argv.data());
      }
      ::_exit(127);
    }
    ::close(out_pipe[1]);
    ::close(err_pipe[1]);
    RunResult result;
    drain(out_pipe[0], err_pipe[0], result);
    int status = 0;
    ::waitpid(pid, &status, 0);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
  }

  fs::path root_;
};

RunResult usage(int status) {
  return {status, "", std::string(USAGE)};
}

TEST_F(VardelRun, SettlesTheCommandLineBeforeDiscovery) {
  write("a.json", "[1,]");
  write("conf/app.json", "{}");
  write("conf/b.json5", "{\"b\": 1}");
  const std::string incompatible = "error: JSON5 incompatible with JSON Schema\n";
  struct Case {
    std::vector<std::string> arguments;
    RunResult want;
  };
  const Case CASES[] = {
      {{}, usage(1)},
      {{"-h"}, usage(0)},
      {{"-h", "-5", "-s", "x", "a.json"}, usage(0)},
      {{"--help", "missing"}, usage(0)},
      {{"-h", "-v"}, usage(0)},
      {{"-h", "-h"}, usage(1)},
      {{"-h", "-x"}, usage(1)},
      {{"-v"}, {0, "", "vardel 0.0.12\n"}},
      {{"-v", "-l", "missing"}, {0, "", "vardel 0.0.12\n"}},
      {{"-v", "--version"}, usage(1)},
      {{"-5", "-s", "s.json"}, {1, "", incompatible + std::string(USAGE)}},
      {{"-5s", "s.json", "a.json"}, {1, "", incompatible + std::string(USAGE)}},
      {{"-l"}, usage(1)},
      {{"-5"}, usage(1)},
      {{"-s"}, usage(1)},
      {{"-s", "s.json"}, usage(1)},
      {{"--list=yes", "conf"}, usage(1)},
      {{"-lx", "conf"}, usage(1)},
      {{"-l", "-l", "conf"}, usage(1)},
      {{"-l", "--list", "conf"}, usage(1)},
      {{"--lis", "conf"}, usage(1)},
      // A non-UTF-8 argument makes the command line unusable, before help is looked at.
      {{"-l", "caf\xE9"}, usage(1)},
      {{"-h", "\xFF"}, usage(1)},
      // "-" and everything after "--" are paths; discovery then fails on the missing file.
      {{"--", "-l"}, {1, "", "unable to query metadata for path: -l\n"}},
      {{"-l", "-"}, {1, "", "unable to query metadata for path: -\n"}},
      {{"-l", ""}, {1, "", "unable to query metadata for path: \n"}},
      {{"-l", "conf"}, {0, "conf\\app.json\n", ""}},
      {{"--l", "conf", "a.json"}, {0, "a.json\nconf\\app.json\n", ""}},
      {{"-l", "-5", "conf"}, {0, "conf\\app.json\nconf\\b.json5\n", ""}},
      {{"-5l", "conf"}, {0, "conf\\app.json\nconf\\b.json5\n", ""}},
      // List mode never looks at the schema.
      {{"-l", "-s", "missing.json", "conf"}, {0, "conf\\app.json\n", ""}},
      {{"-lsmissing.json", "conf"}, {0, "conf\\app.json\n", ""}},
      // A discovery error is printed alone, before the schema is loaded.
      {{"-s", "s.json", "missing"}, {1, "", "unable to query metadata for path: missing\n"}},
      {{"-l", "missing", "conf"}, {1, "", "unable to query metadata for path: missing\n"}},
      {{"conf"}, {0, "", ""}},
      {{"a.json", "conf"}, {1, "", "error: a.json: trailing comma at line 1 column 4\n"}},
  };
  for (const Case& c : CASES) {
    SCOPED_TRACE(testing::PrintToString(c.arguments));
    EXPECT_EQ(run(c.arguments), c.want);
  }
}

TEST_F(VardelRun, ChecksEveryFileAndReportsEachFailure) {
  write("1.json", "{\"a\": 1,}");
  write("2.json", "[\"caf\xE9\"]");
  write("3.json", "[1, 2, 3]\n");
  write("conf/a.json", "[1,]");
  write("conf/ok.json", "{}");
  write("conf/notes.txt", "[1,]");
  EXPECT_EQ(run({"3.json", "2.json", "1.json"}),
            (RunResult{1, "",
                       "error: 1.json: trailing comma at line 1 column 9\n"
                       "error: 2.json: unable to read path: 2.json\n"}));
  EXPECT_EQ(run({"conf"}),
            (RunResult{1, "", "error: conf\\a.json: trailing comma at line 1 column 4\n"}));
  EXPECT_EQ(run({"conf/ok.json", "3.json"}), (RunResult{0, "", ""}));
}

TEST_F(VardelRun, ValidatesUntilTheFirstFailingFile) {
  write("s.json", "{\"required\": [\"a\", \"b\", \"c\"]}");
  write("array.json", "[]");
  write("d/1.json", "{}");
  write("d/2.json", "[1,]");
  write("d/3.json", "{\"a\": 1, \"b\": 2, \"c\": 3}");
  write("empty/notes.txt", "");
  EXPECT_EQ(run({"-s", "s.json", "d"}),
            (RunResult{1, "",
                       "error: d\\1.json: Missing required property 'a'\n"
                       "error: d\\1.json: Missing required property 'b'\n"
                       "error: d\\1.json: Missing required property 'c'\n"}));
  EXPECT_EQ(run({"--schema=s.json", "d/3.json"}), (RunResult{0, "", ""}));
  EXPECT_EQ(run({"-s", "s.json", "d/3.json", "d/2.json"}),
            (RunResult{1, "", "error: d\\2.json: trailing comma at line 1 column 4\n"}));
  // The schema is loaded even when nothing is selected, under the path as typed.
  EXPECT_EQ(run({"-s", "s.json", "empty"}), (RunResult{0, "", ""}));
  EXPECT_EQ(run({"-s", "./missing.json", "empty"}),
            (RunResult{1, "", "error: ./missing.json: unable to read file: ./missing.json\n"}));
  EXPECT_EQ(run({"-s", "-l", "d"}), (RunResult{1, "", "error: -l: unable to read file: -l\n"}));
  EXPECT_EQ(run({"-sarray.json", "d"}),
            (RunResult{1, "", "error: array.json: Schema must be an object\n"}));
}

TEST_F(VardelRun, ChecksJson5FilesWithTheJson5Reader) {
  write("conf/a.json5", "[1 2]");
  write("conf/b.json5", "{a: 1, b: [2,], c: 0x1F, /* note */ }");
  write("conf/c.json", "// comment\n{'k': 'v'}");
  EXPECT_EQ(run({"-5", "conf"}), (RunResult{1, "",
                                            "error: conf\\a.json5:  --> 1:2\n"
                                            "  |\n"
                                            "1 | [1 2]\n"
                                            "  |  ^---\n"
                                            "  |\n"
                                            "  = expected boolean, null, or string\n"}));
  EXPECT_EQ(run({"conf"}),
            (RunResult{1, "", "error: conf\\c.json: expected value at line 1 column 1\n"}));
}

TEST_F(VardelRun, RefusesANamedPipeWithoutWaiting) {
  ASSERT_EQ(::mkfifo((root_ / "p.json").c_str(), 0600), 0) << std::strerror(errno);
  EXPECT_EQ(run({"p.json"}), (RunResult{1, "", "error: p.json: unable to read path: p.json\n"}));
}

TEST_F(VardelRun, SelectsNothingQuietly) {
  write("notes.txt", "not json");
  write("x.JSON", "not json");
  EXPECT_EQ(run({"notes.txt", "x.JSON"}), (RunResult{0, "", ""}));
  EXPECT_EQ(run({"-l", "notes.txt"}), (RunResult{0, "", ""}));
}

TEST_F(VardelRun, ListsCleanedPathsInByteOrder) {
  write("conf/b.json", "{}");
  write("conf/a.json", "{}");
  write("conf/sub/c.json", "{}");
  write("conf/rebuild.json", "{}");
  write("conf/notes.txt", "");
  write("A.json", "{}");
  write("a_b.json", "{}");
  EXPECT_EQ(run({"-l", "./conf/", "a_b.json", "conf/sub/../a.json", "A.json"}),
            (RunResult{0,
                       "A.json\n"
                       "a_b.json\n"
                       "conf\\a.json\n"
                       "conf\\a.json\n"
                       "conf\\b.json\n"
                       "conf\\sub\\c.json\n",
                       ""}));
  EXPECT_EQ(run({"-l", "conf/"}, "conf"),
            (RunResult{1, "", "unable to query metadata for path: conf/\n"}));
  EXPECT_EQ(run({"-l", "sub"}, "conf"), (RunResult{0, "sub\\c.json\n", ""}));
}

TEST_F(VardelRun, SkipsEverythingBelowAnExcludedFolder) {
  write("build/proj/a.json", "[1,]");
  write("proj/a.json", "{}");
  EXPECT_EQ(run({"-l", "a.json", "."}, "build/proj"), (RunResult{0, "", ""}));
  EXPECT_EQ(run({"a.json"}, "build/proj"), (RunResult{0, "", ""}));
  EXPECT_EQ(run({"-l", "build/../proj", "build"}), (RunResult{0, "proj\\a.json\n", ""}));
}

TEST_F(VardelRun, NamesAnUndecodableEntryByItsFullPath) {
  write("d/caf\xE9.txt", "");
  std::string full = fs::canonical(root_).string();
  std::ranges::replace(full, '/', '\\');
  EXPECT_EQ(run({"-l", "d"}),
            (RunResult{1, "", "unable to process path: " + full + "\\d\\caf\xEF\xBF\xBD.txt\n"}));
}

TEST_F(VardelRun, ReportsADirectoryThatCannotBeListed) {
  if (::geteuid() == 0) {
    GTEST_SKIP() << "permissions do not hold for root";
  }
  write("d/a.json", "{}");
  fs::create_directory(root_ / "d" / "locked");
  fs::permissions(root_ / "d" / "locked", fs::perms::none);
  const RunResult result = run({"-l", "d"});
  fs::permissions(root_ / "d" / "locked", fs::perms::owner_all);
  EXPECT_EQ(
      result,
      (RunResult{1, "",
                 "IO error for operation on d\\locked: " + std::string(std::strerror(EACCES)) +
                     " (os error " + std::to_string(EACCES) + ")\n"}));
}

TEST_F(VardelRun, EndsWithStatusOneWhenNobodyReadsTheList) {
  write("a.json", "{}");
  EXPECT_EQ(run({"-l", "a.json"}, "", true), (RunResult{1, "", ""}));
}

TEST_F(VardelRun, ListsManyFilesCompletely) {
  std::string want;
  for (int i = 0; i < 3000; ++i) {
    std::string name = "f";
    name += std::to_string(10000 + i);
    name += ".json";
    write("many/" + name, "");
    want += "many\\";
    want += name;
    want += '\n';
  }
  EXPECT_EQ(run({"-l", "many"}), (RunResult{0, want, ""}));
}

}  // namespace
}  // namespace vardel

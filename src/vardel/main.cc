// vardel's entry point: the command line, the early decisions, discovery and the three modes.
#include <string>
#include <vector>

#include "platform/platform.h"
#include "src/lib/check_file.h"
#include "src/lib/discovery.h"
#include "src/lib/load_schema.h"
#include "src/lib/lint_error.h"
#include "src/vardel/command_line.h"

namespace vardel {
namespace {

[[noreturn]] void exit_with_error(const LintError& error) {
  platform::write_stderr(error.display() + "\n");
  platform::exit_process(1);
}

void report(std::string_view path, const LintError& error) {
  platform::write_stderr("error: " + std::string(path) + ": " + error.display() + "\n");
}

[[noreturn]] void list_mode(const std::vector<std::string>& files) {
  for (const std::string& file : files) {
    platform::write_stdout(file);
    platform::write_stdout("\n");
  }
  platform::exit_process(0);
}

// The schema is loaded even when no file was selected, so a bad schema is always reported.
// The first file with failures has all of them reported, and the run stops there.
[[noreturn]] void validate_mode(const std::string& schema_path,
                                const std::vector<std::string>& files) {
  const auto validator = load_schema(schema_path);
  if (!validator) {
    report(schema_path, validator.error());
    platform::exit_process(1);
  }
  for (const std::string& file : files) {
    const std::vector<LintError> errors = validate_file(file, *validator);
    if (!errors.empty()) {
      for (const LintError& error : errors) {
        report(file, error);
      }
      platform::exit_process(1);
    }
  }
  platform::exit_process(0);
}

[[noreturn]] void check_mode(const std::vector<std::string>& files, bool json5) {
  bool failed = false;
  for (const std::string& file : files) {
    const auto checked = check_file(file, json5);
    if (!checked) {
      report(file, checked.error());
      failed = true;
    }
  }
  platform::exit_process(failed ? 1 : 0);
}

[[noreturn]] void run(int argc, char** argv) {
  const std::string usage = usage_text() + "\n";
  // An argument that is not Unicode makes the command line as unusable as a bad option.
  const auto arguments = platform::arguments(argc, argv);
  const auto line = arguments ? parse_command_line(*arguments)
                              : std::expected<CommandLine, UnusableCommandLine>(
                                    std::unexpect, UnusableCommandLine{});
  if (!line) {
    platform::write_stderr(usage);
    platform::exit_process(1);
  }
  if (line->help) {
    platform::write_stderr(usage);
    platform::exit_process(0);
  }
  if (line->version) {
    platform::write_stderr(version_text() + "\n");
    platform::exit_process(0);
  }
  if (line->json5 && line->schema) {
    platform::write_stderr("error: JSON5 incompatible with JSON Schema\n");
    platform::write_stderr(usage);
    platform::exit_process(1);
  }
  if (line->paths.empty()) {
    platform::write_stderr(usage);
    platform::exit_process(1);
  }

  const auto files = find_json_files(line->paths, line->json5);
  if (!files) {
    exit_with_error(files.error());
  }
  if (line->list) {
    list_mode(*files);
  }
  if (line->schema) {
    validate_mode(*line->schema, *files);
  }
  check_mode(*files, line->json5);
}

}  // namespace
}  // namespace vardel

int main(int argc, char** argv) {
  vardel::run(argc, argv);
}

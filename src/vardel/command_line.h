// The command line of vardel: the option table, the usage and version texts, and the parser.
#pragma once

#include <array>
#include <expected>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vardel {

// One row of the option table.
struct OptionSpec {
  char short_name;
  std::string_view long_name;
  std::string_view value_hint;  // empty for a flag; the option with a hint takes a value
  std::string_view description;
};

// In the order of the usage text.
inline constexpr std::array<OptionSpec, 5> OPTIONS = {{
    {'5', "json5", "", "parse according to JSON5"},
    {'l', "list", "", "list JSON files"},
    {'s', "schema", "<path>", "validate files against a given JSON Schema file"},
    {'h', "help", "", "print usage info"},
    {'v', "version", "", "print version info"},
}};

inline constexpr std::string_view USAGE_BRIEF =
    "usage: vardel [OPTIONS] <path> [<path> [<path> ...]]";

// What a usable command line says.
struct CommandLine {
  bool json5 = false;
  bool list = false;
  std::optional<std::string> schema;
  bool help = false;
  bool version = false;
  std::vector<std::string> paths;  // in command-line order
};

// The command line cannot be used; no reason is ever shown, only the usage text.
struct UnusableCommandLine {};

// Parses the arguments after the program's own path. Fails for an unknown option, a value on
// a flag, "-s" without a value, or any option given twice in whatever form.
[[nodiscard]] std::expected<CommandLine, UnusableCommandLine> parse_command_line(
    const std::vector<std::string>& arguments);

// The brief line, "Options:" and one row per option, ending with a line feed.
[[nodiscard]] std::string usage_text();

// "vardel 0.0.12".
[[nodiscard]] std::string version_text();

}  // namespace vardel

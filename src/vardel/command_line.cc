// The option table turned into the usage text, and the rules that read the command line.
#include "src/vardel/command_line.h"

#include <cstddef>
#include <utility>

namespace vardel {
namespace {

// Where the options sit in OPTIONS.
constexpr std::size_t JSON5 = 0;
constexpr std::size_t LIST = 1;
constexpr std::size_t SCHEMA = 2;
constexpr std::size_t HELP = 3;
constexpr std::size_t VERSION = 4;

// Every description starts in this column (counted from 0) of its row.
constexpr std::size_t DESCRIPTION_COLUMN = 24;
constexpr std::size_t DESCRIPTION_WIDTH = 54;

std::optional<std::size_t> find_short(char name) {
  for (std::size_t i = 0; i < OPTIONS.size(); ++i) {
    if (OPTIONS[i].short_name == name) {
      return i;
    }
  }
  return std::nullopt;
}

std::optional<std::size_t> find_long(std::string_view name) {
  if (name.size() == 1) {
    return find_short(name[0]);  // "--l" is "-l"
  }
  for (std::size_t i = 0; i < OPTIONS.size(); ++i) {
    if (OPTIONS[i].long_name == name) {
      return i;
    }
  }
  return std::nullopt;
}

// The words of the text in lines of at most `width` columns, continuation lines indented.
std::string wrap(std::string_view text, std::size_t width, std::string_view indent) {
  std::string result;
  std::size_t line_width = 0;
  while (!text.empty()) {
    const std::size_t space = text.find(' ');
    const std::string_view word = text.substr(0, space);
    text = space == std::string_view::npos ? std::string_view() : text.substr(space + 1);
    if (line_width > 0 && line_width + 1 + word.size() > width) {
      result += '\n';
      result += indent;
      line_width = 0;
    } else if (line_width > 0) {
      result += ' ';
      ++line_width;
    }
    result += word;
    line_width += word.size();
  }
  return result;
}

// The options given so far and the value of the one that takes a value.
class OptionSet {
 public:
  // Records one use of the option; `attached`, when not null, is a value written into the same
  // argument. Takes the next argument as the value when one is needed and none is attached.
  // False when the use makes the command line unusable.
  bool give(std::size_t option, const std::string_view* attached,
            const std::vector<std::string>& arguments, std::size_t& next) {
    if (given_[option]) {
      return false;
    }
    given_[option] = true;
    if (OPTIONS[option].value_hint.empty()) {
      return attached == nullptr;
    }
    if (attached != nullptr) {
      value_ = *attached;
    } else if (next < arguments.size()) {
      value_ = arguments[next++];
    } else {
      return false;
    }
    return true;
  }

  [[nodiscard]] CommandLine result(std::vector<std::string> paths) const {
    CommandLine line;
    line.json5 = given_[JSON5];
    line.list = given_[LIST];
    if (given_[SCHEMA]) {
      line.schema = value_;
    }
    line.help = given_[HELP];
    line.version = given_[VERSION];
    line.paths = std::move(paths);
    return line;
  }

 private:
  std::array<bool, OPTIONS.size()> given_{};
  std::string value_;
};

// A group of short options such as "-5l" or "-lsx.json": the letter "s" takes the rest of the
// argument, or the next argument when it is last.
bool give_group(std::string_view group, OptionSet& options,
                const std::vector<std::string>& arguments, std::size_t& next) {
  for (std::size_t k = 0; k < group.size(); ++k) {
    const auto option = find_short(group[k]);
    if (!option) {
      return false;
    }
    if (!OPTIONS[*option].value_hint.empty()) {
      const std::string_view rest = group.substr(k + 1);
      return options.give(*option, rest.empty() ? nullptr : &rest, arguments, next);
    }
    if (!options.give(*option, nullptr, arguments, next)) {
      return false;
    }
  }
  return true;
}

}  // namespace

std::expected<CommandLine, UnusableCommandLine> parse_command_line(
    const std::vector<std::string>& arguments) {
  OptionSet options;
  std::vector<std::string> paths;
  bool options_ended = false;
  std::size_t next = 0;
  while (next < arguments.size()) {
    const std::string_view argument = arguments[next++];
    if (options_ended || argument.size() < 2 || argument[0] != '-') {
      paths.emplace_back(argument);  // also "-" and the empty argument
      continue;
    }
    if (argument == "--") {
      options_ended = true;
      continue;
    }
    bool usable = false;
    if (argument.starts_with("--")) {
      const std::string_view body = argument.substr(2);
      const std::size_t equals = body.find('=');
      const auto option = find_long(body.substr(0, equals));
      const std::string_view value =
          equals == std::string_view::npos ? std::string_view() : body.substr(equals + 1);
      usable = option && options.give(*option, equals == std::string_view::npos ? nullptr : &value,
                                      arguments, next);
    } else {
      usable = give_group(argument.substr(1), options, arguments, next);
    }
    if (!usable) {
      return std::unexpected(UnusableCommandLine{});
    }
  }
  return options.result(std::move(paths));
}

std::string usage_text() {
  const std::string indent(DESCRIPTION_COLUMN, ' ');
  std::string text(USAGE_BRIEF);
  text += "\n\nOptions:\n";
  for (const OptionSpec& option : OPTIONS) {
    std::string row = "    -";
    row += option.short_name;
    row += ", --";
    row += option.long_name;
    if (!option.value_hint.empty()) {
      row += ' ';
      row += option.value_hint;
    }
    if (row.size() < DESCRIPTION_COLUMN) {
      row.append(DESCRIPTION_COLUMN - row.size(), ' ');
    } else {
      row += '\n';
      row += indent;
    }
    row += wrap(option.description, DESCRIPTION_WIDTH, indent);
    text += row;
    text += '\n';
  }
  return text;
}

std::string version_text() {
  return "vardel 0.0.12";
}

}  // namespace vardel

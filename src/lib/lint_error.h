// The linter's one error type: every failure that reaches main is a LintError.
#pragma once

#include <optional>
#include <string>
#include <variant>

#include "json/json.h"
#include "json5/json5_error.h"
#include "platform/platform.h"

namespace vardel {

// An error of the directory walker: the path concerned, when known, and the system's error.
struct WalkError {
  std::optional<std::string> path;
  platform::OsError error;
  // "IO error for operation on <path>: <error>", or the error alone without a path.
  [[nodiscard]] std::string display() const;
};

struct LintError {
  struct Io {
    std::string message;  // names the path
  };
  struct Walk {
    WalkError error;
  };
  struct PathType {
    std::string message;  // names the path
  };
  struct PathEncoding {
    std::string message;  // names the path
  };
  struct Json {
    json::ParseError error;
  };
  struct Json5 {
    json5::Json5Error error;
  };
  struct Schema {
    std::string message;  // the validator's message
  };

  std::variant<Io, Walk, PathType, PathEncoding, Json, Json5, Schema> payload;

  // The payload's text, with nothing added before or after it.
  [[nodiscard]] std::string display() const;
};

}  // namespace vardel

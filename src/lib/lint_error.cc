#include "src/lib/lint_error.h"

#include <type_traits>

namespace vardel {

std::string WalkError::display() const {
  if (!path) {
    return error.display();
  }
  return "IO error for operation on " + platform::display_path(*path) + ": " + error.display();
}

std::string LintError::display() const {
  return std::visit(
      [](const auto& p) -> std::string {
        using T = std::decay_t<decltype(p)>;
        if constexpr (std::is_same_v<T, Walk> || std::is_same_v<T, Json>) {
          return p.error.display();
        } else if constexpr (std::is_same_v<T, Json5>) {
          return p.error.display();
        } else {
          return p.message;
        }
      },
      payload);
}

}  // namespace vardel

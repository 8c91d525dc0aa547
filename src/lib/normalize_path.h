// Lexical cleaning of a path by the Windows path grammar.
#pragma once

#include <string>
#include <string_view>

namespace vardel {

// The path with "." and ".." folded and empty names dropped, its prefix kept exactly as written
// and every separator it adds written "\". Pure text: touches no file and never fails; the empty
// path gives ".".
[[nodiscard]] std::string normalize_path(std::string_view path);

}  // namespace vardel

#include "src/lib/normalize_path.h"

#include <optional>
#include <vector>

#include "platform/full_path.h"

namespace vardel {
namespace {

using platform::is_separator;
using platform::PathPrefix;
using platform::PrefixKind;

// The cleaned path while it is being built: the prefix as written, whether a root follows it,
// and the names after them. The views point into the path being cleaned.
class CleanPath {
 public:
  CleanPath(std::string_view prefix, std::optional<PrefixKind> kind)
      : prefix_(prefix), kind_(kind) {}

  void add_root() { root_ = true; }

  // Appends a name, ".." included.
  void add(std::string_view name) { names_.push_back(name); }

  // A name holding "/" in a verbatim path is appended as a relative path of its own: "." parts
  // vanish and each ".." part takes back the last name.
  void add_relative(std::string_view name) {
    while (true) {
      std::size_t slash = name.find('/');
      std::string_view part = name.substr(0, slash);
      if (part == "..") {
        if (!names_.empty() && names_.back() != "..") {
          names_.pop_back();
        }
      } else if (!part.empty() && part != ".") {
        names_.push_back(part);
      }
      if (slash == std::string_view::npos) {
        return;
      }
      name.remove_prefix(slash + 1);
    }
  }

  // Cuts back to the parent; a root or a prefix is never removed.
  void remove_last() {
    if (!names_.empty()) {
      names_.pop_back();
    }
  }

  [[nodiscard]] bool has_prefix_and_root() const { return kind_.has_value() && root_; }

  // The text, with "." as the only name when `dot` is set; a verbatim prefix alone takes no ".".
  [[nodiscard]] std::string text(bool dot) const {
    std::string out(prefix_);
    if (root_) {
      out += '\\';
    }
    const bool verbatim_alone =
        kind_ && !root_ && names_.empty() &&
        (kind_ == PrefixKind::verbatim || kind_ == PrefixKind::verbatim_disk ||
         kind_ == PrefixKind::verbatim_unc);
    for (std::string_view name : names_) {
      append(out, name);
    }
    if (dot && !verbatim_alone) {
      append(out, ".");
    }
    return out;
  }

 private:
  // No "\" goes after an empty text, a separator or a bare drive prefix ("D:" and "x" give "D:x").
  void append(std::string& out, std::string_view name) const {
    const bool bare_drive = kind_ == PrefixKind::disk && out.size() == prefix_.size();
    if (!out.empty() && !is_separator(out.back()) && !bare_drive) {
      out += '\\';
    }
    out += name;
  }

  std::string_view prefix_;
  std::optional<PrefixKind> kind_;
  bool root_ = false;
  std::vector<std::string_view> names_;
};

}  // namespace

std::string normalize_path(std::string_view path) {
  std::optional<PathPrefix> prefix = platform::parse_prefix(path);
  const std::size_t prefix_length = prefix ? prefix->length : 0;
  const bool verbatim = prefix && prefix->is_verbatim();
  CleanPath result(path.substr(0, prefix_length),
                   prefix ? std::optional<PrefixKind>(prefix->kind) : std::nullopt);
  std::string_view rest = path.substr(prefix_length);

  // The root counts as one component; ".." components at the head are the leading ones.
  std::size_t count = 0;
  std::size_t leading = 0;
  if (!rest.empty() && is_separator(rest[0])) {
    rest.remove_prefix(1);
    result.add_root();
    count = 1;
  } else if (prefix && prefix->has_implicit_root()) {
    result.add_root();
    count = 1;
  }

  while (!rest.empty()) {
    std::size_t end = 0;
    while (end < rest.size() && !(rest[end] == '\\' || (!verbatim && rest[end] == '/'))) {
      ++end;
    }
    std::string_view name = rest.substr(0, end);
    rest.remove_prefix(end == rest.size() ? end : end + 1);
    if (name.empty() || name == ".") {
      continue;
    }
    if (name == "..") {
      if (count == 1 && result.has_prefix_and_root()) {
        continue;
      }
      if (count == leading) {
        result.add(name);
        ++leading;
        count = leading;
      } else {
        result.remove_last();
        --count;
      }
      continue;
    }
    if (verbatim && name.find('/') != std::string_view::npos) {
      result.add_relative(name);
    } else {
      result.add(name);
    }
    ++count;
  }
  return result.text(count == 0);
}

}  // namespace vardel

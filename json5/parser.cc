// The parse driver: runs the grammar over a text, builds the flat node list, records where and
// which node rules failed, and renders a refused text as the six-line syntax error.
#include <algorithm>
#include <cassert>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include <tao/pegtl.hpp>

#include "json5/grammar.h"
#include "json5/json5.h"
#include "json5/json5_internal.h"

namespace vardel::json5 {

namespace {

namespace pegtl = tao::pegtl;

// Thrown at the opening bracket or brace of a level beyond MAX_NESTING; the driver catches it.
struct NestingExceeded {
  std::size_t position;
};

bool is_continuation_byte(char c) {
  return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// Characters in a slice of the text; a byte that is no valid UTF-8 counts with the character
// before it or as one of its own, whichever keeps the count going without a crash.
std::size_t count_characters(std::string_view s) {
  return static_cast<std::size_t>(
      std::count_if(s.begin(), s.end(), [](char c) { return !is_continuation_byte(c); }));
}

// What every parse records: where and which node rules failed (the farthest position wins), and
// how deep arrays and objects nest.
class FailureState {
 public:
  explicit FailureState(std::string_view text) : begin_(text.data()) {}

  [[nodiscard]] std::size_t offset(const char* at) const {
    return static_cast<std::size_t>(at - begin_);
  }

  void enter_container() { ++depth_; }
  void leave_container() { --depth_; }
  // Called just after the opening bracket or brace of the innermost container.
  void check_nesting(const char* bracket) const {
    if (depth_ > MAX_NESTING) {
      throw NestingExceeded{offset(bracket)};
    }
  }

  void record_failure(Json5Rule rule, std::size_t position) {
    if (position > failure_position) {
      failure_position = position;
      failure_rules = 0;
    }
    if (position == failure_position) {
      failure_rules |= std::uint64_t{1} << static_cast<unsigned>(rule);
    }
  }

  std::size_t failure_position = 0;
  std::uint64_t failure_rules = 0;  // one bit per Json5Rule, by number

 private:
  const char* begin_;
  std::size_t depth_ = 0;  // arrays and objects being matched
};

// The parser state of a parse that builds the node list. Node rules open a record when they
// start (so a parent comes before its children) and either close it or drop it with everything
// made since.
class ParseState : public FailureState {
 public:
  explicit ParseState(std::string_view text) : FailureState(text) { open_.reserve(64); }

  // A node rule with children: its record goes in first, so that a parent precedes them.
  void open_node(Json5Rule rule, const char* at) {
    open_.push_back(nodes.size());
    nodes.push_back(NodeRecord::make(offset(at), 0, 0, rule));
  }

  void close_node(const char* at) {
    const std::size_t index = pop_open();
    nodes[index].end = offset(at);
    nodes[index].set_next(nodes.size());
  }

  void fail_node() {
    const std::size_t index = pop_open();
    record_failure(nodes[index].rule(), nodes[index].begin);
    nodes.truncate(index);
  }

  // A node rule without children makes its record only when it has matched.
  void open_leaf(const char* at) { open_.push_back(offset(at)); }

  void close_leaf(Json5Rule rule, const char* at) {
    const std::size_t begin = pop_open();
    if (rule == Json5Rule::char_literal) {
      add_char_literal_run(begin, offset(at));
      return;
    }
    nodes.push_back(NodeRecord::make(begin, offset(at), nodes.size() + 1, rule));
  }

  // char_literal nodes for every character between the two positions.
  void add_char_literals(const char* begin, const char* end) {
    add_char_literal_run(offset(begin), offset(end));
  }

  void fail_leaf(Json5Rule rule) { record_failure(rule, pop_open()); }

  void add_char_literal_run(std::size_t begin, std::size_t end) {
    // Consecutive characters of one string or identifier share a record: a record per
    // character would cost many times the text's size in memory. The record before a
    // char_literal is its parent's or a sibling's, so an adjacent char_literal is a sibling.
    if (!nodes.empty()) {
      NodeRecord& previous = nodes.back();
      if (previous.rule() == Json5Rule::char_literal && previous.end == begin) {
        previous.end = end;
        return;
      }
    }
    nodes.push_back(NodeRecord::make(begin, end, nodes.size() + 1, Json5Rule::char_literal));
  }

  // A silent rule that can fail after making nodes (a pair whose key matched) drops them itself.
  void open_group(const char* /*at*/) { open_.push_back(nodes.size()); }
  void close_group() { pop_open(); }
  void fail_group() { nodes.truncate(pop_open()); }

  NodeList nodes;

 private:
  std::size_t pop_open() {
    assert(!open_.empty());
    const std::size_t index = open_.back();
    open_.pop_back();
    return index;
  }

  std::vector<std::size_t> open_;  // node records (or group marks) being matched, innermost last
};

// The parser state of a parse that only checks the text, as converting its tree would: no node
// list, so memory stays small whatever the size of the text. The conversion's value errors come
// from numbers and from escapes inside strings and identifiers; each is found when its node
// matches and is kept under the start of the node the conversion would report it at. A node
// that is dropped (its rule or an enclosing pair failed) takes the errors found inside it along,
// exactly as the node list would lose their records. Every kept node starts before any node
// dropped later, and the conversion reads nodes in text order, so the error at the smallest
// start is the one the conversion meets first.
class CheckState : public FailureState {
 public:
  explicit CheckState(std::string_view text) : FailureState(text), text_(text) {
    open_.reserve(64);
  }

  void open_node(Json5Rule rule, const char* at) { open_.push_back(Open{offset(at), rule}); }
  void close_node(const char* /*at*/) { pop_open(); }
  void fail_node() {
    const Open node = pop_open();
    record_failure(node.rule, node.begin);
    drop_errors_from(node.begin);
  }

  void open_leaf(const char* at) { open_.push_back(Open{offset(at), Json5Rule::value}); }

  void close_leaf(Json5Rule rule, const char* at) {
    const std::size_t begin = pop_open().begin;
    const std::string_view matched = text_.substr(begin, offset(at) - begin);
    if (rule == Json5Rule::number) {
      auto value = number_text_to_value(matched);
      if (!value) {
        keep_error(begin, std::move(value.error()));
      }
    } else if (rule == Json5Rule::hex_escape_sequence ||
               rule == Json5Rule::unicode_escape_sequence) {
      auto code = escape_code_point(matched);
      if (!code) {
        // Reported at the start of the string or identifier the escape is part of.
        keep_error(open_.empty() ? begin : open_.back().begin, std::move(code.error()));
      }
    }
  }

  void add_char_literals(const char* /*begin*/, const char* /*end*/) {}

  void fail_leaf(Json5Rule rule) { record_failure(rule, pop_open().begin); }

  void open_group(const char* at) { open_.push_back(Open{offset(at), Json5Rule::pair}); }
  void close_group() { pop_open(); }
  void fail_group() { drop_errors_from(pop_open().begin); }

  // The conversion's first error, located; none when the conversion would succeed.
  [[nodiscard]] std::optional<Json5Error> value_error() const {
    if (!error_) {
      return std::nullopt;
    }
    Json5Error error = error_->error;
    if (!error.location) {
      error.location = location_of(text_, error_->at);
    }
    return error;
  }

 private:
  struct Open {
    std::size_t begin;
    Json5Rule rule;  // of a node rule with children; unused for leaves and pairs
  };
  struct KeptError {
    std::size_t at;  // start of the node the error is reported at
    Json5Error error;
  };

  Open pop_open() {
    assert(!open_.empty());
    const Open top = open_.back();
    open_.pop_back();
    return top;
  }

  void keep_error(std::size_t at, Json5Error error) {
    if (!error_ || at < error_->at) {
      error_ = KeptError{at, std::move(error)};
    }
  }

  void drop_errors_from(std::size_t begin) {
    if (error_ && error_->at >= begin) {
      error_.reset();
    }
  }

  std::string_view text_;  // the text being parsed
  std::vector<Open> open_;
  std::optional<KeptError> error_;
};

template <typename Rule>
inline constexpr bool IS_CONTAINER =
    std::is_same_v<Rule, grammar::array> || std::is_same_v<Rule, grammar::object>;

// Makes nodes for the node rules and records their failures; every other rule passes through.
// PEGTL calls `failure` before it rewinds the input, so the start of a failed node is taken from
// what `start` pushed, not from the input.
template <typename Rule>
struct Control : pegtl::normal<Rule> {
  template <typename ParseInput, typename State>
  static void start(const ParseInput& in, State& state) {
    if constexpr (grammar::ParentRule<Rule>) {
      if constexpr (IS_CONTAINER<Rule>) {
        state.enter_container();
      }
      state.open_node(Rule::RULE, in.current());
    } else if constexpr (grammar::NodeRule<Rule>) {
      state.open_leaf(in.current());
    } else if constexpr (std::is_same_v<Rule, grammar::pair>) {
      state.open_group(in.current());
    }
  }

  template <typename ParseInput, typename State>
  static void success(const ParseInput& in, State& state) {
    if constexpr (grammar::ParentRule<Rule>) {
      if constexpr (IS_CONTAINER<Rule>) {
        state.leave_container();
      }
      state.close_node(in.current());
    } else if constexpr (grammar::NodeRule<Rule>) {
      state.close_leaf(Rule::RULE, in.current());
    } else if constexpr (std::is_same_v<Rule, grammar::pair>) {
      state.close_group();
    }
  }

  template <typename ParseInput, typename State>
  static void failure(const ParseInput& /*in*/, State& state) {
    if constexpr (grammar::ParentRule<Rule>) {
      if constexpr (IS_CONTAINER<Rule>) {
        state.leave_container();
      }
      state.fail_node();
    } else if constexpr (grammar::NodeRule<Rule>) {
      state.fail_leaf(Rule::RULE);
    } else if constexpr (std::is_same_v<Rule, grammar::pair>) {
      state.fail_group();
    }
  }
};

using Input = pegtl::memory_input<pegtl::tracking_mode::lazy, pegtl::eol::lf_crlf>;

template <typename Rule, typename State>
bool match_rule(Input& in, State& state) {
  return pegtl::parse<Rule, pegtl::nothing, Control>(in, state);
}

bool match_start_rule(Json5Rule start, Input& in, ParseState& state) {
  namespace g = grammar;
  switch (start) {
    case Json5Rule::EOI:
      return match_rule<g::EOI>(in, state);
    case Json5Rule::COMMENT:
      return match_rule<g::COMMENT>(in, state);
    case Json5Rule::WHITESPACE:
      return match_rule<g::WHITESPACE>(in, state);
    case Json5Rule::array:
      return match_rule<g::array>(in, state);
    case Json5Rule::boolean:
      return match_rule<g::boolean>(in, state);
    case Json5Rule::char_escape_sequence:
      return match_rule<g::char_escape_sequence>(in, state);
    case Json5Rule::char_literal:
      return match_rule<g::char_literal>(in, state);
    case Json5Rule::decimal_integer_literal:
      return match_rule<g::decimal_integer_literal>(in, state);
    case Json5Rule::decimal_literal:
      return match_rule<g::decimal_literal>(in, state);
    case Json5Rule::double_quote_char:
      return match_rule<g::double_quote_char>(in, state);
    case Json5Rule::escape_char:
      return match_rule<g::escape_char>(in, state);
    case Json5Rule::escape_sequence:
      return match_rule<g::escape_sequence>(in, state);
    case Json5Rule::exponent_part:
      return match_rule<g::exponent_part>(in, state);
    case Json5Rule::hex_escape_sequence:
      return match_rule<g::hex_escape_sequence>(in, state);
    case Json5Rule::hex_integer_literal:
      return match_rule<g::hex_integer_literal>(in, state);
    case Json5Rule::identifier:
      return match_rule<g::identifier>(in, state);
    case Json5Rule::identifier_part:
      return match_rule<g::identifier_part>(in, state);
    case Json5Rule::identifier_start:
      return match_rule<g::identifier_start>(in, state);
    case Json5Rule::key:
      return match_rule<g::key>(in, state);
    case Json5Rule::line_continuation:
      return match_rule<g::line_continuation>(in, state);
    case Json5Rule::line_terminator:
      return match_rule<g::line_terminator>(in, state);
    case Json5Rule::line_terminator_sequence:
      return match_rule<g::line_terminator_sequence>(in, state);
    case Json5Rule::non_escape_char:
      return match_rule<g::non_escape_char>(in, state);
    case Json5Rule::nul_escape_sequence:
      return match_rule<g::nul_escape_sequence>(in, state);
    case Json5Rule::null:
      return match_rule<g::null>(in, state);
    case Json5Rule::number:
      return match_rule<g::number>(in, state);
    case Json5Rule::numeric_literal:
      return match_rule<g::numeric_literal>(in, state);
    case Json5Rule::object:
      return match_rule<g::object>(in, state);
    case Json5Rule::pair:
      return match_rule<g::pair>(in, state);
    case Json5Rule::single_escape_char:
      return match_rule<g::single_escape_char>(in, state);
    case Json5Rule::single_quote_char:
      return match_rule<g::single_quote_char>(in, state);
    case Json5Rule::string:
      return match_rule<g::string>(in, state);
    case Json5Rule::text:
      return match_rule<g::text>(in, state);
    case Json5Rule::unicode_escape_sequence:
      return match_rule<g::unicode_escape_sequence>(in, state);
    case Json5Rule::unicode_letter:
      return match_rule<g::unicode_letter>(in, state);
    case Json5Rule::value:
      return match_rule<g::value>(in, state);
  }
  return false;
}

// The line holding `position`, up to and including the LF that ends it. Line ends are shown as
// symbols when the error stands on one, and dropped otherwise.
std::string shown_line_of(std::string_view text, std::size_t position) {
  const std::size_t last_lf = text.substr(0, position).rfind('\n');
  const std::size_t start = last_lf == std::string_view::npos ? 0 : last_lf + 1;
  const std::size_t next_lf = text.find('\n', position);
  const std::size_t end = next_lf == std::string_view::npos ? text.size() : next_lf + 1;
  const std::string_view slice = text.substr(start, end - start);
  const bool on_line_end =
      position < text.size() && (text[position] == '\n' || text[position] == '\r');
  std::string shown;
  shown.reserve(slice.size() + 8);
  for (const char c : slice) {
    if (c == '\r' || c == '\n') {
      if (on_line_end) {
        shown += c == '\r' ? "\u240D" : "\u240A";
      }
      continue;
    }
    shown += c;
  }
  return shown;
}

// A TAB under each TAB and a space under every other character before the column, then "^---".
std::string marker_of(std::string_view shown_line, std::size_t column) {
  std::string marker;
  std::size_t characters = 0;
  for (const char c : shown_line) {
    if (is_continuation_byte(c)) {
      continue;
    }
    if (characters + 1 >= column) {
      break;
    }
    marker += c == '\t' ? '\t' : ' ';
    ++characters;
  }
  marker += "^---";
  return marker;
}

std::string expected_list(const std::vector<Json5Rule>& rules) {
  std::string list;
  for (std::size_t i = 0; i < rules.size(); ++i) {
    if (i > 0) {
      if (rules.size() == 2) {
        list += " or ";
      } else if (i + 1 == rules.size()) {
        list += ", or ";
      } else {
        list += ", ";
      }
    }
    list += name(rules[i]);
  }
  return list;
}

Json5SyntaxError make_syntax_error(std::string_view text, Json5Rule start,
                                   const FailureState& state) {
  Json5SyntaxError error;
  error.position = state.failure_position;
  for (int rule = 0; rule < JSON5_RULE_COUNT; ++rule) {
    if ((state.failure_rules >> rule) & 1) {
      error.expected.push_back(static_cast<Json5Rule>(rule));
    }
  }
  // Only a start rule below the node rules can fail without a node rule failing; then the
  // start rule itself is what was expected, at the start.
  if (error.expected.empty()) {
    error.position = 0;
    error.expected.push_back(start);
  }
  const SourceLocation location = location_of(text, error.position);
  error.line = location.line;
  error.column = location.column;
  error.shown_line = shown_line_of(text, error.position);
  return error;
}

}  // namespace

SourceLocation location_of(std::string_view text, std::size_t offset) {
  const std::string_view before = text.substr(0, std::min(offset, text.size()));
  const std::size_t lines =
      static_cast<std::size_t>(std::count(before.begin(), before.end(), '\n'));
  const std::size_t last_lf = before.rfind('\n');
  const std::string_view line =
      last_lf == std::string_view::npos ? before : before.substr(last_lf + 1);
  return SourceLocation{lines + 1, count_characters(line) + 1};
}

std::string Json5SyntaxError::display() const {
  const std::string line_text = std::to_string(line);
  const std::string s(line_text.size(), ' ');
  std::string out;
  out += s + "--> " + line_text + ":" + std::to_string(column) + "\n";
  out += s + " |\n";
  out += line_text + " | " + shown_line + "\n";
  out += s + " | " + marker_of(shown_line, column) + "\n";
  out += s + " |\n";
  out += s + " = expected " + expected_list(expected);
  return out;
}

Json5Error Json5Error::from_syntax_error(const Json5SyntaxError& error) {
  return Json5Error{error.display(), SourceLocation{error.line, error.column}};
}

std::vector<NodeRef> NodeRef::children() const {
  std::vector<NodeRef> out;
  const NodeList& nodes = tree->nodes;
  for (std::size_t i = index + 1; i < nodes[index].next(); i = nodes[i].next()) {
    const NodeRecord& child = nodes[i];
    if (child.rule() != Json5Rule::char_literal) {
      out.push_back(NodeRef{tree, i, child.begin, child.end});
      continue;
    }
    for (std::size_t at = child.begin; at < child.end;) {
      std::size_t length = 1;
      while (at + length < child.end && is_continuation_byte(tree->text[at + length])) {
        ++length;
      }
      out.push_back(NodeRef{tree, i, at, at + length});
      at += length;
    }
  }
  return out;
}

std::vector<Node> Node::children() const {
  std::vector<Node> out;
  for (const NodeRef& child : ref_.children()) {
    out.emplace_back(tree_, child);
  }
  return out;
}

std::expected<std::vector<Node>, ParseFailure> json5_parse_rule(Json5Rule start,
                                                                std::string_view text) {
  ParseState state(text);
  Input in(text.data(), text.data() + text.size(), "");
  try {
    if (!match_start_rule(start, in, state)) {
      return std::unexpected(ParseFailure{make_syntax_error(text, start, state)});
    }
  } catch (const NestingExceeded& e) {
    return std::unexpected(
        ParseFailure{Json5Error{"recursion limit exceeded", location_of(text, e.position)}});
  } catch (const pegtl::parse_error& e) {
    // The grammar raises no errors of its own; this keeps PEGTL's exceptions inside the folder.
    return std::unexpected(ParseFailure{Json5Error{e.what(), std::nullopt}});
  }
  auto tree = std::make_shared<ParseTree>(ParseTree{text, std::move(state.nodes)});
  std::vector<Node> top;
  std::size_t i = 0;
  while (i < tree->nodes.size()) {
    const NodeRecord& node = tree->nodes[i];
    top.emplace_back(tree, NodeRef{tree.get(), i, node.begin, node.end});
    i = node.next();
  }
  return top;
}

std::expected<Node, Json5Error> json5_parse_top_node(std::string_view text) {
  auto nodes = json5_parse_rule(Json5Rule::text, text);
  if (!nodes) {
    if (const auto* syntax = std::get_if<Json5SyntaxError>(&nodes.error())) {
      return std::unexpected(Json5Error::from_syntax_error(*syntax));
    }
    return std::unexpected(std::get<Json5Error>(std::move(nodes.error())));
  }
  // `text` always leaves the value's node and then the EOI node.
  assert(!nodes->empty());
  return std::move(nodes->front());
}

std::expected<void, Json5Error> json5_check(std::string_view text) {
  CheckState state(text);
  Input in(text.data(), text.data() + text.size(), "");
  try {
    if (!match_rule<grammar::text>(in, state)) {
      return std::unexpected(
          Json5Error::from_syntax_error(make_syntax_error(text, Json5Rule::text, state)));
    }
  } catch (const NestingExceeded& e) {
    return std::unexpected(Json5Error{"recursion limit exceeded", location_of(text, e.position)});
  } catch (const pegtl::parse_error& e) {
    return std::unexpected(Json5Error{e.what(), std::nullopt});
  }
  if (auto error = state.value_error()) {
    return std::unexpected(std::move(*error));
  }
  return {};
}

std::expected<json::Value, Json5Error> json5_to_value(std::string_view text) {
  auto top = json5_parse_top_node(text);
  if (!top) {
    return std::unexpected(std::move(top.error()));
  }
  // The tree is released when `top` goes out of scope, whether the conversion failed or not.
  return node_to_value(top->ref());
}

}  // namespace vardel::json5

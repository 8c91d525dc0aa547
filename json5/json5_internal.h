// The JSON5 reader's inner parts: the parse driver, the parse tree and the conversion steps.
// For json5/ and its tests only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <expected>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "json/value.h"
#include "json5/json5_error.h"
#include "json5/json5_rule.h"

namespace vardel::json5 {

// Arrays and objects may nest this deep; the opening bracket of one level more is refused.
inline constexpr std::size_t MAX_NESTING = 127;

// One node in the flat node list of a parse, which holds every node in text order, a parent
// before its children. A run of consecutive `char_literal` pieces of one string or identifier is
// held as one record spanning all of them; `NodeRef::children` hands them out one character at
// a time. 24 bytes: the rule shares a word with the index past the subtree.
struct NodeRecord {
  std::size_t begin;  // byte offsets of the matched text
  std::size_t end;
  std::uint64_t next_and_rule;  // next << 8 | rule

  [[nodiscard]] static NodeRecord make(std::size_t begin, std::size_t end, std::size_t next,
                                       Json5Rule rule) {
    return NodeRecord{begin, end, (std::uint64_t{next} << 8) | static_cast<std::uint8_t>(rule)};
  }
  [[nodiscard]] Json5Rule rule() const { return static_cast<Json5Rule>(next_and_rule & 0xFF); }
  // The index of the first record after this node's subtree.
  [[nodiscard]] std::size_t next() const { return next_and_rule >> 8; }
  void set_next(std::size_t next) {
    next_and_rule = (std::uint64_t{next} << 8) | (next_and_rule & 0xFF);
  }
};

// The node records, in blocks of fixed size: a growing list never copies what it holds, and
// each block is written once, when it fills.
class NodeList {
 public:
  [[nodiscard]] std::size_t size() const { return size_; }
  [[nodiscard]] bool empty() const { return size_ == 0; }
  [[nodiscard]] const NodeRecord& operator[](std::size_t i) const {
    return blocks_[i >> BLOCK_BITS][i & BLOCK_MASK];
  }
  [[nodiscard]] NodeRecord& operator[](std::size_t i) {
    return blocks_[i >> BLOCK_BITS][i & BLOCK_MASK];
  }
  [[nodiscard]] NodeRecord& back() { return (*this)[size_ - 1]; }
  void push_back(const NodeRecord& record) {
    if ((size_ >> BLOCK_BITS) == blocks_.size()) {
      blocks_.push_back(std::make_unique_for_overwrite<NodeRecord[]>(BLOCK_MASK + 1));
    }
    (*this)[size_++] = record;
  }
  // Requires: size <= size().
  void truncate(std::size_t size) { size_ = size; }

 private:
  static constexpr std::size_t BLOCK_BITS = 14;
  static constexpr std::size_t BLOCK_MASK = (std::size_t{1} << BLOCK_BITS) - 1;

  std::vector<std::unique_ptr<NodeRecord[]>> blocks_;
  std::size_t size_ = 0;
};

// The nodes of a successful parse and the text they were made from.
struct ParseTree {
  std::string_view text;  // points into the caller's text, which must outlive the tree
  NodeList nodes;
};

// A node of a parse tree, without ownership: valid while the tree is.
struct NodeRef {
  const ParseTree* tree = nullptr;
  std::size_t index = 0;  // of its record
  std::size_t begin = 0;  // its own span: a single character of a char_literal run, else the
  std::size_t end = 0;    // record's span

  [[nodiscard]] Json5Rule rule() const { return tree->nodes[index].rule(); }
  [[nodiscard]] std::string_view text() const { return tree->text.substr(begin, end - begin); }
  // The child nodes, in text order; each char_literal is one character.
  [[nodiscard]] std::vector<NodeRef> children() const;
};

// A node that shares ownership of its parse tree with every other node of the same parse; the
// tree is released with the last of them. The text must outlive them all.
class Node {
 public:
  Node(std::shared_ptr<const ParseTree> tree, NodeRef ref) : tree_(std::move(tree)), ref_(ref) {}

  [[nodiscard]] const NodeRef& ref() const { return ref_; }
  [[nodiscard]] Json5Rule rule() const { return ref_.rule(); }
  [[nodiscard]] std::size_t begin() const { return ref_.begin; }
  [[nodiscard]] std::size_t end() const { return ref_.end; }
  [[nodiscard]] std::string_view text() const { return ref_.text(); }
  [[nodiscard]] std::vector<Node> children() const;

 private:
  std::shared_ptr<const ParseTree> tree_;
  NodeRef ref_;
};

// Line and column of a byte offset: lines end at LF (a CR LF counts once), columns count
// characters from 1. `offset` may be the end of the text.
[[nodiscard]] SourceLocation location_of(std::string_view text, std::size_t offset);

// Why a parse failed: the grammar refused the text, or it nests beyond MAX_NESTING (the error
// "recursion limit exceeded", located at the opening bracket or brace of the level too many).
using ParseFailure = std::variant<Json5SyntaxError, Json5Error>;

// Matches `start` from the start of `text` and returns the top-level nodes. Only `text` has to
// reach the end of the text. Any rule is matched as the grammar reaches it: a rule inside a
// string, identifier or number without the implicit skipping.
[[nodiscard]] std::expected<std::vector<Node>, ParseFailure> json5_parse_rule(
    Json5Rule start, std::string_view text);
// Parses a whole document and returns its value node.
[[nodiscard]] std::expected<Node, Json5Error> json5_parse_top_node(std::string_view text);

// The conversion of a parsed tree to a Value. Every error comes back located.
[[nodiscard]] std::expected<json::Value, Json5Error> node_to_value(NodeRef node);

// The children of an array or object, taken from the front; what is left is simply dropped.
class MemberQueue {
 public:
  explicit MemberQueue(NodeRef parent);
  [[nodiscard]] bool empty() const { return next_ == end_; }
  // Requires: !empty().
  [[nodiscard]] NodeRef take_front();

 private:
  const ParseTree* tree_;
  std::size_t next_;
  std::size_t end_;
};

[[nodiscard]] MemberQueue node_children(NodeRef node);
[[nodiscard]] bool node_to_bool(NodeRef node);
// A key's text; no key (an empty optional) when the queue is empty.
[[nodiscard]] std::expected<std::optional<std::string>, Json5Error> object_first_key(
    MemberQueue& queue);
[[nodiscard]] std::expected<std::optional<std::string>, Json5Error> object_next_key(
    MemberQueue& queue);
// Requires: !queue.empty() (the grammar gives every key a value).
[[nodiscard]] std::expected<json::Value, Json5Error> object_next_value(MemberQueue& queue);
[[nodiscard]] std::expected<std::string, Json5Error> node_to_first_key(NodeRef node);
[[nodiscard]] std::expected<std::string, Json5Error> node_to_key(NodeRef node);

// Whether a number's text is read as an integer.
[[nodiscard]] bool is_integer_text(std::string_view text);
// The errors of these come back without a location.
[[nodiscard]] std::expected<std::int64_t, Json5Error> node_to_integer(NodeRef node);
[[nodiscard]] std::expected<double, Json5Error> node_to_float(NodeRef node);
[[nodiscard]] std::expected<std::int64_t, Json5Error> text_to_integer(std::string_view text);
[[nodiscard]] std::expected<double, Json5Error> text_to_float(std::string_view text);
// The value of a number node's text: an integer, a float, or null for NaN and the infinities.
[[nodiscard]] std::expected<json::Value, Json5Error> number_text_to_value(std::string_view text);
[[nodiscard]] std::expected<std::uint32_t, Json5Error> hex_text_to_u32(std::string_view text);
// The character a hex or unicode escape's digits stand for; a surrogate or a value beyond
// U+10FFFF is refused.
[[nodiscard]] std::expected<std::uint32_t, Json5Error> escape_code_point(std::string_view hex);
// A string or identifier node's text; an error is located at the node's start.
[[nodiscard]] std::expected<std::string, Json5Error> node_to_string(NodeRef node);
// One piece of a string or identifier; an error comes back without a location.
[[nodiscard]] std::expected<std::string, Json5Error> node_to_string_piece(NodeRef node);
// The character a char_escape_sequence stands for.
[[nodiscard]] std::string unescape_char(NodeRef node);

}  // namespace vardel::json5

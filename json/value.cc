#include "json/value.h"

#include <algorithm>
#include <cassert>

namespace vardel::json {

namespace {

bool key_less(const Member& m, std::string_view key) {
  return std::string_view(m.key) < key;
}

}  // namespace

Object Object::from_members(Members members) {
  // Parsed documents mostly come in order already; then there is nothing to sort or drop.
  bool ordered = true;
  for (std::size_t i = 1; i < members.size(); ++i) {
    if (!(members[i - 1].key < members[i].key)) {
      ordered = false;
      break;
    }
  }
  if (ordered) {
    Object object;
    object.members_ = std::move(members);
    return object;
  }
  // A stable sort keeps repeated keys in document order, so the last of each run wins.
  std::stable_sort(members.begin(), members.end(),
                   [](const Member& a, const Member& b) { return a.key < b.key; });
  std::size_t out = 0;
  for (std::size_t i = 0; i < members.size(); ++i) {
    if (i + 1 < members.size() && members[i + 1].key == members[i].key) {
      continue;
    }
    if (out != i) {
      members[out] = std::move(members[i]);
    }
    ++out;
  }
  members.resize(out);
  Object object;
  object.members_ = std::move(members);
  return object;
}

Object Object::from_sorted_members(Members members) {
  assert(std::adjacent_find(members.begin(), members.end(), [](const Member& a, const Member& b) {
           return !(a.key < b.key);
         }) == members.end());
  Object object;
  object.members_ = std::move(members);
  return object;
}

const Value* Object::find(std::string_view key) const {
  auto it = std::lower_bound(members_.begin(), members_.end(), key, key_less);
  if (it == members_.end() || it->key != key) {
    return nullptr;
  }
  return &it->value;
}

void Object::insert_or_assign(std::string_view key, Value value) {
  auto it = std::lower_bound(members_.begin(), members_.end(), key, key_less);
  if (it != members_.end() && it->key == key) {
    it->value = std::move(value);
    return;
  }
  members_.insert(it, Member{String(key), std::move(value)});
}

bool operator==(const Object& a, const Object& b) {
  return a.members_ == b.members_;
}

}  // namespace vardel::json

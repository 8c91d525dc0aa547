// Number text, compact text, value equality and object building.

#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "json/json.h"
#include "json/value.h"

namespace vardel::json {
namespace {

using namespace std::string_literals;

TEST(NumberText, Positional) {
  struct Case {
    double d;
    std::string want;
  };
  const Case cases[] = {
      {5, "5"},
      {100, "100"},
      {1.5, "1.5"},
      {-2.5, "-2.5"},
      {0.1, "0.1"},
      {0.1 + 0.2, "0.30000000000000004"},
      {1e20, "100000000000000000000"},
      {1e21, "1000000000000000000000"},
      {1e-7, "0.0000001"},
      {static_cast<double>(18446744073709551615u), "18446744073709552000"},
      {static_cast<double>(9007199254740993u), "9007199254740992"},
      {0.0, "0"},
      {-0.0, "-0"},
      {123.456, "123.456"},
      {-0.001, "-0.001"},
      {5e-324, "0." + std::string(323, '0') + "5"},
      {1.7976931348623157e308, "17976931348623157" + std::string(292, '0')},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.want);
    EXPECT_EQ(number_text(c.d), c.want);
  }
}

TEST(WriteCompact, Doubles) {
  struct Case {
    double d;
    std::string_view want;
  };
  constexpr Case CASES[] = {
      {0.00001, "0.00001"},
      {1.0, "1.0"},
      {0.1, "0.1"},
      {0.5, "0.5"},
      {1230000000000000.0, "1230000000000000.0"},
      {9007199254740992.0, "9007199254740992.0"},
      {0.0, "0.0"},
      {-0.0, "-0.0"},
      {-123.25, "-123.25"},
      {1e-6, "1e-6"},
      {1.5e-7, "1.5e-7"},
      {1e16, "1e16"},
      {1.23e16, "1.23e16"},
      {1e20, "1e20"},
      {1e100, "1e100"},
      {-2.5e-300, "-2.5e-300"},
      {5e-324, "5e-324"},
      {1.8446744073709552e19, "1.8446744073709552e19"},
  };
  for (const Case& c : CASES) {
    SCOPED_TRACE(c.want);
    EXPECT_EQ(write_compact(Value(c.d)), c.want);
  }
}

TEST(WriteCompact, Values) {
  Members inner;
  inner.push_back({"x", Value("q\"\\\n\x01\x1F\xC3\xA9/")});
  Members outer;
  outer.push_back({"b", Value(Array{Value(std::uint64_t{1}), Value(std::int64_t{-2}), Value(3.5),
                                    Value(true), Value(false), Value(nullptr)})});
  outer.push_back({"a", Value(Object::from_members(std::move(inner)))});
  outer.push_back({"", Value(Array{})});
  Value value(Object::from_members(std::move(outer)));
  EXPECT_EQ(write_compact(value), R"({"":[],"a":{"x":"q\"\\\n\u0001\u001f)"
                                  "\xC3\xA9"
                                  R"(/"},"b":[1,-2,3.5,true,false,null]})");

  EXPECT_EQ(write_compact(Value(std::numeric_limits<std::uint64_t>::max())),
            "18446744073709551615");
  EXPECT_EQ(write_compact(Value(std::numeric_limits<std::int64_t>::min())), "-9223372036854775808");
  EXPECT_EQ(write_compact(Value("\b\f\r\t\0"s)), R"("\b\f\r\t\u0000")");
  EXPECT_EQ(write_compact(Value(Object{})), "{}");
  // No reader makes a double that is not finite; written anyway, it must not break the text.
  EXPECT_EQ(write_compact(Value(Array{Value(std::numeric_limits<double>::infinity())})), "[null]");
  EXPECT_EQ(number_text(std::numeric_limits<double>::quiet_NaN()), "null");
}

// Parsing and writing again gives the same text for a document already in compact form.
TEST(WriteCompact, RoundTripsParsedText) {
  for (std::string_view text :
       {R"({"a":[1,-1,1.0,-0.0,1e-7,"\u0000"],"b":{"c":null}})", R"([[],{},"",0,0.5])"}) {
    auto value = parse(text);
    ASSERT_TRUE(value) << value.error().display();
    EXPECT_EQ(write_compact(*value), text);
  }
}

Value object_of(Members members) {
  return Value(Object::from_members(std::move(members)));
}

TEST(ValueEquality, FollowsKindAndValue) {
  struct Case {
    Value a;
    Value b;
    bool equal;
  };
  const Value one_u(std::uint64_t{1});
  const Case cases[] = {
      {Value(), Value(nullptr), true},
      {Value(true), Value(true), true},
      {Value(true), Value(false), false},
      {Value(false), Value(nullptr), false},
      {one_u, Value(std::uint64_t{1}), true},
      {one_u, Value(1.0), false},
      {one_u, Value(std::int64_t{1}), false},
      {Value(std::int64_t{-5}), Value(std::int64_t{-5}), true},
      {Value(0.0), Value(-0.0), true},
      {Value(0.1 + 0.2), Value(0.3), false},
      {Value("a"), Value("a"), true},
      {Value("\xC3\xA9"), Value("e\xCC\x81"), false},
      {Value(""), Value(nullptr), false},
      {Value(Array{one_u, Value(2.0)}), Value(Array{one_u, Value(2.0)}), true},
      {Value(Array{one_u, Value(2.0)}), Value(Array{Value(2.0), one_u}), false},
      {Value(Array{one_u}), Value(Array{one_u, one_u}), false},
      {object_of({{"a", one_u}, {"b", Value("x")}}), object_of({{"b", Value("x")}, {"a", one_u}}),
       true},
      {object_of({{"a", one_u}}), object_of({{"a", Value(1.0)}}), false},
      {object_of({{"a", one_u}}), object_of({{"a", one_u}, {"b", one_u}}), false},
      {object_of({{"a", one_u}}), object_of({{"b", one_u}}), false},
      {Value(Array{Value(0.0)}), Value(Array{Value(-0.0)}), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(write_compact(c.a) + " vs " + write_compact(c.b));
    EXPECT_EQ(c.a == c.b, c.equal);
    EXPECT_EQ(c.b == c.a, c.equal);
  }
}

TEST(Object, FromMembersKeepsTheLastOfARepeatedKey) {
  struct Case {
    std::vector<std::string> keys;  // each gets its index as value
    std::string want;
  };
  const Case cases[] = {
      {{"b", "a", "b"}, R"({"a":1,"b":2})"},
      {{"a", "a", "a"}, R"({"a":2})"},
      {{"a", "b", "c"}, R"({"a":0,"b":1,"c":2})"},
      {{"c", "b", "a", "c", "b"}, R"({"a":2,"b":4,"c":3})"},
      {{"B", "a", "\xC3\xA9", "A"}, "{\"A\":3,\"B\":0,\"a\":1,\"\xC3\xA9\":2}"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.want);
    Members members;
    for (std::size_t i = 0; i < c.keys.size(); ++i) {
      members.push_back({String(c.keys[i]), Value(std::uint64_t{i})});
    }
    EXPECT_EQ(write_compact(object_of(std::move(members))), c.want);
  }
}

}  // namespace
}  // namespace vardel::json

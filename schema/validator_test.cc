#include "schema/validator.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "json/json.h"

namespace vardel::schema {

void PrintTo(const ValidationError& e, std::ostream* os);

namespace {

using json::Value;
using ::testing::ElementsAreArray;

Value parse(std::string_view text) {
  auto value = json::parse(text);
  EXPECT_TRUE(value) << text << ": " << value.error().display();
  return value ? std::move(*value) : Value();
}

std::vector<ValidationError> validate(std::string_view schema, std::string_view instance,
                                      ValidatorOptions options = ValidatorOptions::default_()) {
  auto validator = Validator::new_(parse(schema), std::move(options));
  EXPECT_TRUE(validator) << schema;
  if (!validator) {
    return {};
  }
  return validator->validate(parse(instance));
}

std::vector<std::string> messages(const std::vector<ValidationError>& errors) {
  std::vector<std::string> texts;
  for (const ValidationError& error : errors) {
    texts.push_back(error.message);
  }
  return texts;
}

// A record written as texts: the two values as JSON ("" for none).
struct Record {
  std::string_view instance_path, schema_path, keyword, message, instance_value, schema_value;
};

ValidationError to_error(const Record& r) {
  ValidationError error{std::string(r.instance_path),
                        std::string(r.schema_path),
                        std::string(r.keyword),
                        std::string(r.message),
                        std::nullopt,
                        std::nullopt};
  if (!r.instance_value.empty()) {
    error.instance_value = parse(r.instance_value);
  }
  if (!r.schema_value.empty()) {
    error.schema_value = parse(r.schema_value);
  }
  return error;
}

std::string show(const std::optional<Value>& value) {
  return value ? json::write_compact(*value) : "(none)";
}

// Compares whole records; the compact text also tells 1 from 1.0 and 0.0 from -0.0.
void expect_records(const std::vector<ValidationError>& got, const std::vector<Record>& want) {
  ASSERT_EQ(got.size(), want.size()) << ::testing::PrintToString(got);
  for (std::size_t i = 0; i < got.size(); ++i) {
    const ValidationError expected = to_error(want[i]);
    EXPECT_EQ(got[i], expected) << "record " << i << ": " << ::testing::PrintToString(got[i]);
    EXPECT_EQ(show(got[i].instance_value), show(expected.instance_value)) << "record " << i;
    EXPECT_EQ(show(got[i].schema_value), show(expected.schema_value)) << "record " << i;
  }
}

struct Case {
  std::string_view schema, instance;
  std::vector<std::string> want;  // messages, in order
};

void run_cases(const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.schema) + " on " + std::string(c.instance));
    EXPECT_THAT(messages(validate(c.schema, c.instance)), ElementsAreArray(c.want));
  }
}

TEST(ValidatorNew, RefusesSchemasThatAreNotObjects) {
  for (std::string_view schema : {"[]", "[{}]", "\"a\"", "5", "-1.5", "true", "false", "null"}) {
    SCOPED_TRACE(schema);
    auto validator = Validator::new_(parse(schema), ValidatorOptions::default_());
    ASSERT_FALSE(validator);
    expect_records({validator.error()},
                   {{"", "", "schema", "Schema must be an object", "", schema}});
  }
}

TEST(ValidatorNew, AcceptsAnyObjectWithoutLookingInside) {
  auto validator = Validator::new_(
      parse(R"({"pattern": "(", "type": 5, "properties": [], "format": "nonsense"})"),
      ValidatorOptions::default_());
  ASSERT_TRUE(validator);
  EXPECT_TRUE(validator->validate(parse("null")).empty());
}

// A validator knows its schema's objects by where they lie: a copy must find its own, a moved
// one must keep them, and both must outlive the validator they came from.
TEST(ValidatorNew, CopiesAndMovesValidateLikeTheOriginal) {
  const char* schema = R"({"type": "object", "required": ["a"],
      "properties": {"a": {"type": "integer", "maximum": 3}}, "additionalProperties": false})";
  auto original = Validator::new_(parse(schema), ValidatorOptions::default_());
  ASSERT_TRUE(original);
  std::optional<Validator> copy(*original);
  std::optional<Validator> moved;
  {
    Validator source = *original;
    moved.emplace(std::move(source));
  }
  original = std::unexpected(ValidationError{});  // the first validator is gone
  for (const Validator* validator : {&*copy, &*moved}) {
    EXPECT_TRUE(validator->validate(parse(R"({"a": 2})")).empty());
    const auto errors = validator->validate(parse(R"({"a": 4.5, "b": 1})"));
    ASSERT_EQ(errors.size(), 3U);
    EXPECT_EQ(errors[0].keyword, "type");
    EXPECT_EQ(errors[1].keyword, "maximum");
    EXPECT_EQ(errors[2].keyword, "additionalProperties");
  }
}

// Keywords whose values are of the wrong type, other names, other groups' keywords and nested
// schemas that are not objects all accept.
TEST(Validator, IgnoresWhatIsNotAKeywordItHonours) {
  run_cases({
      {"{}", R"({"a": [1, "x", null]})", {}},
      {R"({"Type": "string", "MinLength": 5})", "5", {}},
      {R"({"$ref": "#/x", "allOf": [{"type": "string"}], "exclusiveMinimum": 9})", "5", {}},
      {R"({"type": 5})", "1", {}},
      {R"({"type": {"a": "string"}})", "1", {}},
      {R"({"minimum": "9", "maximum": null, "multipleOf": "2"})", "5", {}},
      {R"({"multipleOf": 0})", "5", {}},
      {R"({"multipleOf": -2})", "5", {}},
      {R"({"multipleOf": 0.0})", "5", {}},
      {R"({"minLength": "2"})", R"("a")", {}},
      {R"({"minLength": 2.0})", R"("a")", {}},
      {R"({"minLength": -1, "maxLength": -1})", R"("a")", {}},
      {R"({"maxLength": "0"})", R"("a")", {}},
      {R"({"maxLength": 0e0})", R"("a")", {}},
      {R"({"pattern": 5})", R"("a")", {}},
      {R"({"format": 5})", R"("x")", {}},
      {R"({"minItems": 2.0})", "[1]", {}},
      {R"({"minItems": 1e0})", "[]", {}},
      {R"({"minItems": -1, "maxItems": -1})", "[1]", {}},
      {R"({"maxItems": -0})", "[1]", {}},
      {R"({"minItems": "2"})", "[1]", {}},
      {R"({"minItems": 18446744073709551616})", "[1]", {}},
      {R"({"minItems": 0})", "[]", {}},
      {R"({"uniqueItems": false})", "[1, 1]", {}},
      {R"({"uniqueItems": 1})", "[1, 1]", {}},
      {R"({"uniqueItems": "true"})", "[1, 1]", {}},
      {R"({"items": false})", R"(["x", 2])", {}},
      {R"({"items": true})", R"(["x", 2])", {}},
      {R"({"items": 5})", R"([1, "x"])", {}},
      {R"({"items": [{"type": "string"}]})", R"(["x", 2])", {}},
      {R"({"minProperties": 1.0, "maxProperties": -1})", "{}", {}},
      {R"({"required": "a"})", "{}", {}},
      {R"({"required": [1, null, {"a": 1}]})", "{}", {}},
      {R"({"properties": {"a": false}})", R"({"a": 1})", {}},
      {R"({"properties": {"a": 5}, "additionalProperties": false})", R"({"a": 1})", {}},
      {R"({"properties": {"a": {"type": "string"}}})", "{}", {}},
      {R"({"additionalProperties": true})", R"({"a": 1})", {}},
      {R"({"additionalProperties": null})", R"({"a": 1})", {}},
      {R"({"additionalProperties": 0})", R"({"a": 1})", {}},
      {R"({"additionalProperties": "no"})", R"({"a": 1})", {}},
      {R"({"additionalProperties": []})", R"({"a": 1})", {}},
      {R"({"enum": "a"})", R"("b")", {}},
      {R"({"enum": {"a": 1}})", R"("b")", {}},
      // Keywords of another type's group.
      {R"({"minimum": 5, "maxItems": 0, "minProperties": 9, "required": ["a"]})", R"("abc")", {}},
      {R"({"minimum": 5, "minLength": 9, "required": ["a"]})", "[1]", {}},
      {R"({"minLength": 9, "minItems": 9, "minProperties": 9, "format": "email"})", "5", {}},
      {R"({"minItems": 2, "minProperties": 0})", "{}", {}},
      {R"({"minItems": 0, "minProperties": 2})", "[]", {}},
      {R"({"format": "email", "pattern": "^x$"})", "[]", {}},
      {R"({"uniqueItems": true, "items": {"type": "string"}})", R"({"a": 1, "b": 1})", {}},
  });
}

TEST(Validator, TypeKeyword) {
  run_cases({
      {R"({"type": "integer"})", "1", {}},
      {R"({"type": "integer"})", "-1", {}},
      {R"({"type": "integer"})", "18446744073709551615", {}},
      {R"({"type": "integer"})", "1.0", {"Expected type integer, got number"}},
      {R"({"type": "integer"})", "1e2", {"Expected type integer, got number"}},
      {R"({"type": "integer"})", "1.5", {"Expected type integer, got number"}},
      {R"({"type": "integer"})", "-0", {"Expected type integer, got number"}},
      {R"({"type": "integer"})", "18446744073709551616", {"Expected type integer, got number"}},
      {R"({"type": "number"})", "1", {}},
      {R"({"type": "number"})", "-1.5", {}},
      {R"({"type": "number"})", R"("1")", {"Expected type number, got string"}},
      {R"({"type": "Number"})", "1", {"Expected type Number, got number"}},
      {R"({"type": "string"})", R"("")", {}},
      {R"({"type": "null"})", "null", {}},
      {R"({"type": "null"})", "false", {"Expected type null, got boolean"}},
      {R"({"type": "boolean"})", "null", {"Expected type boolean, got null"}},
      {R"({"type": "array"})", "{}", {"Expected type array, got object"}},
      {R"({"type": "object"})", "[]", {"Expected type object, got array"}},
      {R"({"type": "string"})", "1", {"Expected type string, got number"}},
      {R"({"type": []})", "null", {"Expected type one of [], got null"}},
      {R"({"type": [1, true]})", R"("x")", {"Expected type one of [], got string"}},
      {R"({"type": ["string", 5]})", "1", {"Expected type string, got number"}},
      {R"({"type": ["string", "null"]})",
       "true",
       {"Expected type one of [string, null], got boolean"}},
      {R"({"type": ["string", "null"]})", "null", {}},
      {R"({"type": ["integer", "object"]})",
       "2.5",
       {"Expected type one of [integer, object], got number"}},
  });
}

TEST(Validator, NumberKeywords) {
  run_cases({
      {R"({"minimum": 5})", "5", {}},
      {R"({"minimum": 5})", "5.0", {}},
      {R"({"minimum": 5})", "4.5", {"Value 4.5 is less than minimum 5"}},
      {R"({"minimum": 5})", "3", {"Value 3 is less than minimum 5"}},
      {R"({"minimum": 5})", R"("4")", {}},
      {R"({"minimum": -1.5})", "-2", {"Value -2 is less than minimum -1.5"}},
      {R"({"minimum": 0.1})", "1e-7", {"Value 0.0000001 is less than minimum 0.1"}},
      {R"({"minimum": 0})", "-0", {}},
      {R"({"maximum": 10})", "10", {}},
      {R"({"maximum": 10})", "1e20", {"Value 100000000000000000000 exceeds maximum 10"}},
      {R"({"maximum": 10})",
       "18446744073709551615",
       {"Value 18446744073709552000 exceeds maximum 10"}},
      {R"({"maximum": 9007199254740992})", "9007199254740993", {}},
      {R"({"maximum": -1})", "-0", {"Value -0 exceeds maximum -1"}},
      {R"({"maximum": 1e21})",
       "1e22",
       {"Value 10000000000000000000000 exceeds maximum 1000000000000000000000"}},
      {R"({"multipleOf": 0.1})", "1", {}},
      {R"({"multipleOf": 0.1})", "0.3", {"Value 0.3 is not a multiple of 0.1"}},
      {R"({"multipleOf": 2})", "7", {"Value 7 is not a multiple of 2"}},
      {R"({"multipleOf": 2})", "-4", {}},
      {R"({"multipleOf": 1.5})", "4.5", {}},
      {R"({"multipleOf": 3})", "1e20", {}},
      {R"({"multipleOf": 0.1})",
       "1e308",
       {"Value 1" + std::string(308, '0') + " is not a multiple of 0.1"}},
      {R"({"multipleOf": 0.7})", "4503599627370497", {}},
      {R"({"minimum": 5, "maximum": 1, "multipleOf": 2})",
       "3",
       {"Value 3 is less than minimum 5", "Value 3 exceeds maximum 1",
        "Value 3 is not a multiple of 2"}},
  });
}

TEST(Validator, StringKeywords) {
  run_cases({
      {R"({"minLength": 2})", R"("ab")", {}},
      {R"({"minLength": 2})", "\"\xC3\xA9\"", {"String length 1 is less than minimum 2"}},
      {R"({"minLength": 2})", "\"\xF0\x9F\x98\x80\"", {"String length 1 is less than minimum 2"}},
      {R"({"maxLength": 1})", "\"\xF0\x9F\x98\x80\"", {}},
      {R"({"maxLength": 2})", R"("abc")", {"String length 3 exceeds maximum 2"}},
      {R"({"maxLength": 0})", R"("")", {}},
      {R"({"pattern": "b"})", R"("abc")", {}},
      {R"({"pattern": "^b"})", R"("abc")", {"String 'abc' does not match pattern '^b'"}},
      {R"({"pattern": "c$"})", R"("abc\n")", {"String 'abc\n' does not match pattern 'c$'"}},
      {R"({"pattern": "^\\d+$"})", "\"\xD9\xA1\xD9\xA2\"", {}},
      {R"({"pattern": "("})", R"("x")", {"Invalid regex pattern: '('"}},
      {R"({"pattern": "(a)\\1"})", R"("aa")", {"Invalid regex pattern: '(a)\\1'"}},
      {R"j({"pattern": "a(?=b)"})j", R"("ab")", {"Invalid regex pattern: 'a(?=b)'"}},
      {R"({"items": {"pattern": "("}})",
       R"(["a", "b", "c"])",
       {"Invalid regex pattern: '('", "Invalid regex pattern: '('", "Invalid regex pattern: '('"}},
      {R"({"minLength": 5, "maxLength": 1, "pattern": "x", "format": "date", "enum": [1], "const": 1})",
       R"("it's")",
       {"String length 4 is less than minimum 5", "String length 4 exceeds maximum 1",
        "String 'it's' does not match pattern 'x'", "String 'it's' is not a valid date",
        "Value is not one of the allowed enum values",
        "Value does not match the required constant"}},
  });
}

TEST(Validator, EnumAndConst) {
  run_cases({
      {R"({"enum": [1]})", "1", {}},
      {R"({"enum": [1]})", "1.0", {"Value is not one of the allowed enum values"}},
      {R"({"enum": [0.0]})", "-0.0", {}},
      {R"({"enum": []})", "null", {"Value is not one of the allowed enum values"}},
      {R"({"enum": [{"a": 1, "b": 2}]})", R"({"b": 2, "a": 1})", {}},
      {R"({"enum": [[1, 2]]})", "[2, 1]", {"Value is not one of the allowed enum values"}},
      {R"({"enum": ["a", null]})", "null", {}},
      {R"({"const": null})", "null", {}},
      {R"({"const": null})", "0", {"Value does not match the required constant"}},
      {R"({"const": "e\u0301"})", "\"\xC3\xA9\"", {"Value does not match the required constant"}},
      {R"({"const": {"a": [1]}})", R"({"a": [1]})", {}},
      {R"({"const": -1})", "-1.0", {"Value does not match the required constant"}},
  });
}

TEST(Validator, ArrayKeywords) {
  run_cases({
      {R"({"minItems": 2})", "[1, 2]", {}},
      {R"({"minItems": 2})", "[1]", {"Array length 1 is less than minimum 2"}},
      {R"({"maxItems": 0})", "[]", {}},
      {R"({"maxItems": 0})", "[null]", {"Array length 1 exceeds maximum 0"}},
      {R"({"uniqueItems": true})", "[1, 2, 1, 2]", {"Array contains duplicate items"}},
      {R"({"uniqueItems": true})", "[]", {}},
      {R"({"uniqueItems": true})", "[1, 1.0]", {}},
      {R"({"uniqueItems": true})", "[0.0, -0.0]", {}},
      {R"({"uniqueItems": true})", R"(["a", "A"])", {}},
      {R"({"uniqueItems": true})", "[[1], [1, 1]]", {}},
      {R"({"uniqueItems": true})", "[[1, 1]]", {}},
      {R"({"uniqueItems": true})", "[null, null]", {"Array contains duplicate items"}},
      {R"({"uniqueItems": true})",
       R"([{"a": 1, "b": 2}, {"b": 2, "a": 1}])",
       {"Array contains duplicate items"}},
      {R"({"uniqueItems": true})", R"(["a\"", "a\u0022"])", {"Array contains duplicate items"}},
      {R"({"items": {"type": "string"}})", R"(["x", 2])", {"Expected type string, got number"}},
      {R"({"items": {"type": "string"}})", "[]", {}},
      {R"({"items": {"items": {"type": "null"}}})",
       "[[null], [1, null, 2]]",
       {"Expected type null, got number", "Expected type null, got number"}},
  });
}

// However many names `required` holds, the missing ones are reported in the array's order.
TEST(Validator, RequiredReportsInArrayOrderAtAnyLength) {
  for (int count : {3, 64, 65, 70}) {
    SCOPED_TRACE(count);
    std::string schema = R"({"required": [)";
    std::string instance = "{";
    std::vector<std::string> want;
    for (int i = count - 1; i >= 0; --i) {  // names in falling order, unlike the members
      const std::string name = "n" + std::to_string(100 + i);
      schema += (i == count - 1 ? "\"" : ", \"") + name + "\"";
      if (i == count - 1 || i == 1) {
        want.push_back("Missing required property '" + name + "'");
      } else {
        instance += (instance.size() == 1 ? "\"" : ", \"") + name + "\": 0";
      }
    }
    schema += "]}";
    instance += "}";
    EXPECT_THAT(messages(validate(schema, instance)), ElementsAreArray(want));
  }
}

TEST(Validator, ObjectKeywords) {
  run_cases({
      {R"({"minProperties": 1})", "{}", {"Object has 0 properties, minimum is 1"}},
      {R"({"minProperties": 1})", R"({"a": 1})", {}},
      {R"({"maxProperties": 1})", R"({"a": 1, "b": 2})", {"Object has 2 properties, maximum is 1"}},
      {R"({"maxProperties": 1})", R"({"a": 1, "a": 2})", {}},
      {R"({"required": ["a", 1, "a"]})",
       "{}",
       {"Missing required property 'a'", "Missing required property 'a'"}},
      {R"({"required": ["b", "a", "c"]})",
       R"({"a": null})",
       {"Missing required property 'b'", "Missing required property 'c'"}},
      {R"({"required": ["A"]})", R"({"a": 1})", {"Missing required property 'A'"}},
      {R"({"properties": {"a": {"type": "string"}}})",
       R"({"a": 1, "b": 1})",
       {"Expected type string, got number"}},
      {R"({"additionalProperties": false})",
       R"({"b": 1, "a": 2})",
       {"Additional property 'a' is not allowed", "Additional property 'b' is not allowed"}},
      {R"({"properties": {"a": {}}, "additionalProperties": false})",
       R"({"b": 1, "a": 2})",
       {"Additional property 'b' is not allowed"}},
      {R"({"properties": ["a"], "additionalProperties": false})",
       R"({"b": 1, "a": 2})",
       {"Additional property 'a' is not allowed", "Additional property 'b' is not allowed"}},
      {R"({"properties": {"b": {}}, "additionalProperties": {"type": "string"}})",
       R"({"a": 1, "b": 2, "c": "x", "d": null})",
       {"Expected type string, got number", "Expected type string, got null"}},
      {R"({"maxProperties": 1, "required": ["c"], "additionalProperties": false})",
       R"({"b": 1, "a": 2})",
       {"Object has 2 properties, maximum is 1", "Missing required property 'c'",
        "Additional property 'a' is not allowed", "Additional property 'b' is not allowed"}},
  });
}

// Records hold copies of the values, and the number keywords record the double view.
TEST(Validator, RecordsNameTheFailingValues) {
  struct FullCase {
    std::string_view schema, instance;
    std::vector<Record> want;
  };
  const std::vector<FullCase> cases = {
      {R"({"minimum": 5})",
       "3",
       {{"", "/minimum", "minimum", "Value 3 is less than minimum 5", "3.0", "5"}}},
      {R"({"minimum": 1.0})",
       "-7",
       {{"", "/minimum", "minimum", "Value -7 is less than minimum 1", "-7.0", "1.0"}}},
      {R"({"maximum": 0})",
       "9007199254740993",
       {{"", "/maximum", "maximum", "Value 9007199254740992 exceeds maximum 0",
         "9007199254740992.0", "0"}}},
      {R"({"multipleOf": 2})",
       "3",
       {{"", "/multipleOf", "multipleOf", "Value 3 is not a multiple of 2", "3.0", "2"}}},
      {R"({"type": ["string", 5]})",
       "1",
       {{"", "/type", "type", "Expected type string, got number", "1", R"(["string", 5])"}}},
      {R"({"minLength": 3})",
       R"("ab")",
       {{"", "/minLength", "minLength", "String length 2 is less than minimum 3", R"("ab")", "3"}}},
      {R"({"pattern": "("})",
       R"("ab")",
       {{"", "/pattern", "pattern", "Invalid regex pattern: '('", R"("ab")", R"("(")"}}},
      {R"({"format": "ipv4"})",
       R"("1.2.3")",
       {{"", "/format", "format", "String '1.2.3' is not a valid ipv4", R"("1.2.3")",
         R"("ipv4")"}}},
      {R"({"enum": [1, 2]})",
       "1.0",
       {{"", "/enum", "enum", "Value is not one of the allowed enum values", "1.0", "[1, 2]"}}},
      {R"({"const": [1]})",
       "[1.0]",
       {{"", "/const", "const", "Value does not match the required constant", "[1.0]", "[1]"}}},
      {R"({"minItems": 3})",
       "[1, [2]]",
       {{"", "/minItems", "minItems", "Array length 2 is less than minimum 3", "[1, [2]]", "3"}}},
      {R"({"uniqueItems": true})",
       R"([1, 2, 1, 2])",
       {{"/2", "/uniqueItems", "uniqueItems", "Array contains duplicate items", "1", "true"}}},
      {R"({"items": {"uniqueItems": true}})",
       R"([[], [0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 3, 3]])",
       {{"/1/10", "/items/uniqueItems", "uniqueItems", "Array contains duplicate items", "3",
         "true"}}},
      {R"({"maxProperties": 0})",
       R"({"a": 1})",
       {{"", "/maxProperties", "maxProperties", "Object has 1 properties, maximum is 0",
         R"({"a": 1})", "0"}}},
      {R"({"required": ["a", 1, "b"]})",
       R"({"c": 1})",
       {{"", "/required", "required", "Missing required property 'a'", R"({"c": 1})",
         R"(["a", 1, "b"])"},
        {"", "/required", "required", "Missing required property 'b'", R"({"c": 1})",
         R"(["a", 1, "b"])"}}},
      {R"({"properties": {"a": {"items": {"type": "string"}}}, "additionalProperties": false})",
       R"({"b": {"x": 1}, "a": [1]})",
       {{"/a/0", "/properties/a/items/type", "type", "Expected type string, got number", "1",
         R"("string")"},
        {"/b", "/additionalProperties", "additionalProperties",
         "Additional property 'b' is not allowed", R"({"x": 1})", "false"}}},
      {R"({"properties": {"a": {"items": {"type": "number"}}}})",
       R"({"a": [1, "x"]})",
       {{"/a/1", "/properties/a/items/type", "type", "Expected type number, got string", R"("x")",
         R"("number")"}}},
      {R"({"additionalProperties": {"items": {"const": 0}}})",
       R"({"k": [0, 1]})",
       {{"/k/1", "/additionalProperties/items/const", "const",
         "Value does not match the required constant", "1", "0"}}},
  };
  for (const FullCase& c : cases) {
    SCOPED_TRACE(std::string(c.schema) + " on " + std::string(c.instance));
    expect_records(validate(c.schema, c.instance), c.want);
  }
}

// Keys go into both paths verbatim: no escaping of "/" or "~", and the empty key adds a lone "/".
// The record names the first item that repeats an earlier one, for short arrays of strings
// (compared pair by pair) as for longer or mixed arrays (compared by compact text).
TEST(Validator, UniqueItemsNamesTheFirstRepeat) {
  std::string seventeen = "[";
  for (int i = 0; i < 16; ++i) {
    seventeen += "\"s" + std::to_string(i) + "\", ";
  }
  seventeen += "\"s3\"]";
  struct RepeatCase {
    std::string instance;
    std::string_view path, value;  // empty: no record
  };
  const RepeatCase cases[] = {
      {R"(["a", "b", "a", "b"])", "/2", R"("a")"},
      {R"(["x", "y", "z", "y"])", "/3", R"("y")"},
      {R"(["a long string, past any inline size", "a long string, past any inline size"])", "/1",
       R"("a long string, past any inline size")"},
      {R"(["\u0000", "\\u0000", "a\"b", "a\\\"b"])", "", ""},
      {R"(["a", 1, "a"])", "/2", R"("a")"},
      {seventeen, "/16", R"("s3")"},
  };
  for (const RepeatCase& c : cases) {
    SCOPED_TRACE(c.instance);
    const auto got = validate(R"({"uniqueItems": true})", c.instance);
    if (c.path.empty()) {
      expect_records(got, {});
    } else {
      expect_records(got, {{c.path, "/uniqueItems", "uniqueItems", "Array contains duplicate items",
                            c.value, "true"}});
    }
  }
}

TEST(Validator, PathsHoldKeysVerbatim) {
  expect_records(
      validate(
          R"({"properties": {"x/y": {"type": "null"}, "": {"type": "null"}, "~0": {"type": "null"}}})",
          R"({"x/y": 1, "": 2, "~0": 3})"),
      {{"/", "/properties//type", "type", "Expected type null, got number", "2", R"("null")"},
       {"/x/y", "/properties/x/y/type", "type", "Expected type null, got number", "1", R"("null")"},
       {"/~0", "/properties/~0/type", "type", "Expected type null, got number", "3", R"("null")"}});
}

TEST(Validator, OrdersRecordsDepthFirst) {
  run_cases({
      {R"({"type": "string", "enum": ["a"]})",
       "5",
       {"Expected type string, got number", "Value is not one of the allowed enum values"}},
      {R"({"type": "number", "minLength": 5})",
       R"("abc")",
       {"Expected type number, got string", "String length 3 is less than minimum 5"}},
      {R"({"properties": {"a": {"type": "string"}}, "const": {"a": "x"}})",
       R"({"a": 1})",
       {"Expected type string, got number", "Value does not match the required constant"}},
      {R"({"minItems": 3, "uniqueItems": true, "items": {"type": "string"}, "enum": [[]]})",
       "[1, 1]",
       {"Array length 2 is less than minimum 3", "Array contains duplicate items",
        "Expected type string, got number", "Expected type string, got number",
        "Value is not one of the allowed enum values"}},
  });
}

TEST(Validator, StopAtFirstErrorSkipsCallsThatStartLater) {
  ValidatorOptions stop = ValidatorOptions::default_();
  stop.stop_at_first_error = true;
  const std::string_view two_members =
      R"({"properties": {"a": {"type": "string"}, "b": {"type": "string"}}})";
  EXPECT_THAT(messages(validate(two_members, R"({"a": 1, "b": 2})", stop)),
              ElementsAreArray({"Expected type string, got number"}));
  EXPECT_EQ(validate(two_members, R"({"a": 1, "b": 2})").size(), 2u);
  // The call that found the first failure, and those above it, run to their end.
  EXPECT_THAT(messages(validate(R"({"type": "string", "enum": ["a"]})", "5", stop)),
              ElementsAreArray({"Expected type string, got number",
                                "Value is not one of the allowed enum values"}));
  EXPECT_THAT(messages(validate(R"({"items": {"type": "string"}, "const": []})", "[1, 2]", stop)),
              ElementsAreArray({"Expected type string, got number",
                                "Value does not match the required constant"}));
}

TEST(Validator, CustomFormatsOnlyForOtherNames) {
  ValidatorOptions options = ValidatorOptions::default_();
  options.custom_formats["even"] = [](std::string_view text) { return text.size() % 2 == 0; };
  options.custom_formats["date"] = [](std::string_view) { return true; };
  options.custom_formats["null"] = nullptr;
  expect_records(
      validate(R"({"format": "even"})", R"("x")", options),
      {{"", "/format", "format", "String 'x' is not a valid even", R"("x")", R"("even")"}});
  EXPECT_TRUE(validate(R"({"format": "even"})", R"("xy")", options).empty());
  EXPECT_THAT(messages(validate(R"({"format": "date"})", R"("x")", options)),
              ElementsAreArray({"String 'x' is not a valid date"}));
  EXPECT_TRUE(validate(R"({"format": "null"})", R"("x")", options).empty());
  // Names are exact: these are not built in and have no entry.
  for (std::string_view schema : {R"({"format": "URI"})", R"({"format": "Date"})",
                                  R"({"format": "date-time "})", R"({"format": "unknown"})"}) {
    EXPECT_TRUE(validate(schema, R"("abc")", options).empty()) << schema;
  }
}

Value object_of(std::string key, Value value) {
  json::Object object;
  object.insert_or_assign(std::move(key), std::move(value));
  return Value(std::move(object));
}

// 127 levels of nesting, as deep as the parser goes: 126 containers around an empty array, with
// a schema that follows them all the way down. Built by hand, since a schema that follows
// `properties` this deep nests twice as deep as the document.
TEST(Validator, DeepDocumentsGiveFullPaths) {
  for (bool objects : {false, true}) {
    SCOPED_TRACE(objects ? "properties" : "items");
    Value instance{json::Array{}};
    Value schema = object_of("minItems", Value(std::uint64_t{1}));
    std::string want_instance, want_schema;
    for (int i = 0; i < 126; ++i) {
      if (objects) {
        instance = object_of("k", std::move(instance));
        schema = object_of("properties", object_of("k", std::move(schema)));
        want_instance += "/k";
        want_schema += "/properties/k";
      } else {
        json::Array array;
        array.push_back(std::move(instance));
        instance = Value(std::move(array));
        schema = object_of("items", std::move(schema));
        want_instance += "/0";
        want_schema += "/items";
      }
    }
    auto validator = Validator::new_(std::move(schema), ValidatorOptions::default_());
    ASSERT_TRUE(validator);
    auto errors = validator->validate(instance);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].instance_path, want_instance);
    EXPECT_EQ(errors[0].schema_path, want_schema + "/minItems");
    EXPECT_EQ(errors[0].message, "Array length 0 is less than minimum 1");
  }
}

}  // namespace

void PrintTo(const ValidationError& e, std::ostream* os) {
  *os << "{" << e.instance_path << " | " << e.schema_path << " | " << e.keyword << " | "
      << e.message << " | " << show(e.instance_value) << " | " << show(e.schema_value) << "}";
}

}  // namespace vardel::schema

// The validator's entry points and the recursive engine that applies a schema to a value.
#include "schema/validator.h"

#include <charconv>
#include <string>
#include <utility>

#include "schema/validator_internal.h"

namespace vardel::schema {

std::string Path::text() const {
  std::string text;
  for (const Step& step : steps_) {
    text += '/';
    if (step.is_index) {
      char digits[24];
      const auto end = std::to_chars(digits, digits + sizeof digits, step.value).ptr;
      text.append(digits, end);
    } else {
      text.append(step.name, step.value);
    }
  }
  return text;
}

ValidationError make_error(const Path& instance_path, const Path& schema_path,
                           std::string_view keyword, std::string message,
                           json::Value instance_value, json::Value schema_value) {
  std::string keyword_path = schema_path.text();
  keyword_path += '/';
  keyword_path += keyword;
  return ValidationError{instance_path.text(), std::move(keyword_path),   std::string(keyword),
                         std::move(message),   std::move(instance_value), std::move(schema_value)};
}

Validator::Validator(json::Value schema, ValidatorOptions options)
    : schema_(std::move(schema)),
      options_(std::move(options)),
      keywords_(std::make_unique<const KeywordTable>(schema_)) {}

// A copy has a schema of its own, at other addresses, so it gets a table of its own.
Validator::Validator(const Validator& other)
    : schema_(other.schema_),
      options_(other.options_),
      keywords_(std::make_unique<const KeywordTable>(schema_)) {}

Validator& Validator::operator=(const Validator& other) {
  if (this != &other) {
    *this = Validator(other);
  }
  return *this;
}

// Moving a schema keeps its objects where they are, so the table moves with it.
Validator::Validator(Validator&& other) noexcept = default;
Validator& Validator::operator=(Validator&& other) noexcept = default;
Validator::~Validator() = default;

std::expected<Validator, ValidationError> Validator::new_(json::Value schema,
                                                          ValidatorOptions options) {
  if (!schema.is_object()) {
    return std::unexpected(ValidationError{"", "", "schema", "Schema must be an object",
                                           std::nullopt, std::move(schema)});
  }
  return Validator(std::move(schema), std::move(options));
}

std::vector<ValidationError> Validator::validate(const json::Value& instance) const {
  std::vector<ValidationError> errors;
  Path instance_path;
  Path schema_path;
  validate_value(instance, schema_, instance_path, schema_path, errors);
  return errors;
}

void Validator::validate_value(const json::Value& value, const json::Value& schema,
                               Path& instance_path, Path& schema_path,
                               std::vector<ValidationError>& errors) const {
  if (options_.stop_at_first_error && !errors.empty()) {
    return;
  }
  // Any sub-schema that is not an object, true and false included, accepts everything.
  if (!schema.is_object()) {
    return;
  }
  // A schema object outside the table (only an empty one) has its keywords found here.
  Keywords found;
  const Keywords* known = keywords_->find(schema.as_object());
  if (known == nullptr) {
    found = Keywords::of(schema.as_object());
    known = &found;
  }
  const Keywords& keywords = *known;
  check_type(value, keywords, instance_path, schema_path, errors);
  switch (value.kind()) {
    case json::Value::Kind::unsigned_integer:
    case json::Value::Kind::signed_integer:
    case json::Value::Kind::floating:
      check_number(value, keywords, instance_path, schema_path, errors);
      break;
    case json::Value::Kind::string:
      check_string(value, keywords, instance_path, schema_path, errors);
      if (keywords.format() != nullptr) {
        check_format(value, *keywords.format(), instance_path, schema_path, errors);
      }
      break;
    case json::Value::Kind::array:
      check_array(value, keywords, instance_path, schema_path, errors);
      break;
    case json::Value::Kind::object:
      check_object(value, keywords, instance_path, schema_path, errors);
      break;
    case json::Value::Kind::null:
    case json::Value::Kind::boolean:
      break;
  }
  check_enum(value, keywords, instance_path, schema_path, errors);
  check_const(value, keywords, instance_path, schema_path, errors);
}

}  // namespace vardel::schema

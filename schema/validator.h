// The schema validator: checks a JSON value against a JSON Schema object and returns every
// failure as a record.
#pragma once

#include <expected>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "json/value.h"

namespace vardel::schema {

class Keywords;
class KeywordTable;
class Path;

// A format check of the caller's: true when the text is valid for the format. Holds no state.
using FormatCheck = bool (*)(std::string_view text);

struct ValidatorOptions {
  // Checks for format names outside the built-in seven, by exact name.
  std::map<std::string, FormatCheck, std::less<>> custom_formats;
  // Once a failure is recorded, nested checks that start later are skipped.
  bool stop_at_first_error = false;

  // No custom formats; every failure is reported.
  [[nodiscard]] static ValidatorOptions default_() { return {}; }
};

// One failure. It owns its texts and copies, so it outlives the document and the schema.
struct ValidationError {
  std::string instance_path;  // "/"-joined keys and indexes into the document, unescaped
  std::string schema_path;    // the sub-schema's path, "/" and the keyword
  std::string keyword;        // as written in the schema; "schema" for a schema that is no object
  std::string message;
  std::optional<json::Value> instance_value;
  std::optional<json::Value> schema_value;

  friend bool operator==(const ValidationError&, const ValidationError&) = default;
};

// A schema object and the options; never changed once made, so one serves any number of
// documents.
class Validator {
 public:
  // Fails only when the schema is not a JSON object ("Schema must be an object"). The schema's
  // keywords are only looked up here; what they say is first looked at when a document is
  // validated.
  [[nodiscard]] static std::expected<Validator, ValidationError> new_(json::Value schema,
                                                                      ValidatorOptions options);

  Validator(const Validator& other);
  Validator(Validator&& other) noexcept;
  Validator& operator=(const Validator& other);
  Validator& operator=(Validator&& other) noexcept;
  ~Validator();

  // Returns every failure of the document, in check order; empty when it is valid.
  [[nodiscard]] std::vector<ValidationError> validate(const json::Value& instance) const;

  // The schema object as it was given.
  [[nodiscard]] const json::Value& schema() const { return schema_; }
  // The options as they were given.
  [[nodiscard]] const ValidatorOptions& options() const { return options_; }

 private:
  Validator(json::Value schema, ValidatorOptions options);

  // The recursive engine. The two paths are working stacks: each nested step pushes onto them
  // and pops before returning, so on return they hold what they held on entry.
  void validate_value(const json::Value& value, const json::Value& schema, Path& instance_path,
                      Path& schema_path, std::vector<ValidationError>& errors) const;

  void check_type(const json::Value& value, const Keywords& schema, const Path& instance_path,
                  const Path& schema_path, std::vector<ValidationError>& errors) const;
  void check_number(const json::Value& value, const Keywords& schema, const Path& instance_path,
                    const Path& schema_path, std::vector<ValidationError>& errors) const;
  void check_string(const json::Value& value, const Keywords& schema, const Path& instance_path,
                    const Path& schema_path, std::vector<ValidationError>& errors) const;
  void check_format(const json::Value& value, const json::Value& format, const Path& instance_path,
                    const Path& schema_path, std::vector<ValidationError>& errors) const;
  void check_enum(const json::Value& value, const Keywords& schema, const Path& instance_path,
                  const Path& schema_path, std::vector<ValidationError>& errors) const;
  void check_const(const json::Value& value, const Keywords& schema, const Path& instance_path,
                   const Path& schema_path, std::vector<ValidationError>& errors) const;
  void check_array(const json::Value& value, const Keywords& schema, Path& instance_path,
                   Path& schema_path, std::vector<ValidationError>& errors) const;
  void check_object(const json::Value& value, const Keywords& schema, Path& instance_path,
                    Path& schema_path, std::vector<ValidationError>& errors) const;
  // `properties` is nullptr when the schema has no such member.
  void check_additional_properties(const json::Object& members, const json::Value* properties,
                                   const json::Value& additional, Path& instance_path,
                                   Path& schema_path, std::vector<ValidationError>& errors) const;

  json::Value schema_;  // always an object
  ValidatorOptions options_;
  std::unique_ptr<const KeywordTable> keywords_;  // of schema_'s objects
};

}  // namespace vardel::schema

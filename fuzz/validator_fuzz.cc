// The schema validator on arbitrary bytes: the schema is the JSON text up to the first NUL
// byte, the document the JSON text after it (without a NUL, the schema is validated against
// itself). Validation never crashes; the same schema nested under "properties" or "items"
// gives the same records with longer paths; and stopping at the first error keeps a
// subsequence of the full list that starts with its first record.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "json/json.h"
#include "schema/validator.h"

namespace {

using vardel::fuzz::check;
namespace schema = vardel::schema;

bool is_subsequence(const std::vector<schema::ValidationError>& part,
                    const std::vector<schema::ValidationError>& whole) {
  std::size_t j = 0;
  for (const schema::ValidationError& error : part) {
    while (j < whole.size() && !(whole[j] == error)) {
      ++j;
    }
    if (j == whole.size()) {
      return false;
    }
    ++j;
  }
  return true;
}

schema::ValidatorOptions options(bool stop_at_first_error) {
  schema::ValidatorOptions o = schema::ValidatorOptions::default_();
  o.custom_formats.emplace("even", [](std::string_view text) { return text.size() % 2 == 0; });
  o.stop_at_first_error = stop_at_first_error;
  return o;
}

// The schema as the value of `keyword` ("properties" under the key "k", or "items"), and
// the document in the matching place: validated there, each record is the plain one with
// both paths extended.
void check_nested(const vardel::json::Value& schema_value, const vardel::json::Value& document,
                  const std::vector<schema::ValidationError>& plain, bool as_property) {
  namespace json = vardel::json;
  json::Object wrapper;
  json::Value placed;
  if (as_property) {
    json::Object properties;
    properties.insert_or_assign("k", schema_value);
    wrapper.insert_or_assign("properties", json::Value(std::move(properties)));
    json::Object holder;
    holder.insert_or_assign("k", document);
    placed = json::Value(std::move(holder));
  } else {
    wrapper.insert_or_assign("items", schema_value);
    placed = json::Value(json::Array{document});
  }
  auto nested = schema::Validator::new_(json::Value(std::move(wrapper)), options(false));
  check(nested.has_value(), "a wrapping schema is accepted");
  std::vector<schema::ValidationError> want = plain;
  for (schema::ValidationError& error : want) {
    error.instance_path.insert(0, as_property ? "/k" : "/0");
    error.schema_path.insert(0, as_property ? "/properties/k" : "/items");
  }
  check(nested->validate(placed) == want, "a nested schema gives the same records, deeper");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  namespace json = vardel::json;
  const std::string_view input = vardel::fuzz::as_text(data, size);
  const std::size_t nul = input.find('\0');
  auto schema_value = json::parse(input.substr(0, nul));
  if (!schema_value) {
    return 0;
  }
  auto document = nul == std::string_view::npos ? schema_value : json::parse(input.substr(nul + 1));
  if (!document) {
    return 0;
  }

  auto all = schema::Validator::new_(*schema_value, options(false));
  check(all.has_value() == schema_value->is_object(), "only an object is a schema");
  if (!all) {
    check(all.error().keyword == "schema", "a refused schema's record names \"schema\"");
    return 0;
  }
  const std::vector<schema::ValidationError> errors = all->validate(*document);
  for (const schema::ValidationError& error : errors) {
    check(error.instance_path.empty() || error.instance_path[0] == '/',
          "instance paths start with \"/\"");
    check(!error.message.empty(), "every record has a message");
  }

  // A document always equals itself: const and enum hold it.
  for (const char* keyword : {"const", "enum"}) {
    json::Object equal;
    equal.insert_or_assign(keyword, keyword[0] == 'c' ? *document
                                                      : json::Value(json::Array{*document}));
    auto self = schema::Validator::new_(json::Value(std::move(equal)), options(false));
    check(self && self->validate(*document).empty(), "a document is its own const and enum");
  }

  check_nested(*schema_value, *document, errors, true);
  check_nested(*schema_value, *document, errors, false);

  auto first = schema::Validator::new_(std::move(*schema_value), options(true));
  check(first.has_value(), "the same schema is accepted again");
  const std::vector<schema::ValidationError> early = first->validate(*document);
  check(early.empty() == errors.empty(), "stopping early finds a failure when there is one");
  check(early.size() <= errors.size(), "stopping early finds no more");
  check(early.empty() || early.front() == errors.front(), "stopping early keeps the first");
  check(is_subsequence(early, errors), "stopping early keeps records in order");
  return 0;
}

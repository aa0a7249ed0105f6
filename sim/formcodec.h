#pragma once

#include <optional>
#include <string>
#include <vector>

namespace fenwixsim {

// One name=value pair of a form or query, in the order it arrived.
struct FormField {
    std::string name;
    std::string value;
};
using Form = std::vector<FormField>;

// The terminal's client sends its form text followed by the text's terminating zero byte.
std::string stripOneTrailingNul(const std::string& body);

// Decodes %XX escapes only; '+' stays '+', and a '%' not followed by two hex digits stays as is.
std::string percentDecode(const std::string& text);

// Splits "a=1&b=2" into ordered pairs and decodes each name and value. A part without '='
// becomes a name with an empty value; an empty text gives no fields.
Form parseForm(const std::string& text);

// Splits a request target into its path and its raw query (without the '?').
void splitTarget(const std::string& target, std::string& path, std::string& query);

// First value of the field with that exact name.
std::optional<std::string> formValue(const Form& form, const std::string& name);
std::string formValueOr(const Form& form, const std::string& name, const std::string& fallback);

}  // namespace fenwixsim

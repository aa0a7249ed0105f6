// Builds the form texts and query strings sent to the backend from ordered key/value pairs, so no
// caller joins pairs by hand. Values go out as they are (UTF-8 text, JSON punctuation included);
// only the characters that would split or reinterpret a pair are percent-escaped.
#pragma once

#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

// '%', '&', '+' and '=' as %25, %26, %2B, %3D; everything else unchanged.
std::string escapeFormValue(std::string_view value);

// As escapeFormValue, and also ' ' as %20 and '#' as %23, which would end or break a URL.
std::string escapeQueryValue(std::string_view value);

class FormData {
public:
    // Appends one pair; keys are taken as given. An empty value gives "key=" (the trailing
    // "temp=" several reports end with).
    FormData& add(std::string_view key, std::string_view value);

    template <typename Int, typename = std::enable_if_t<std::is_integral_v<Int>>>
    FormData& add(std::string_view key, Int value) {
        if constexpr (std::is_same_v<Int, bool>) {
            return add(key, std::string_view(value ? "1" : "0"));
        } else {
            return add(key, std::string_view(std::to_string(value)));
        }
    }

    // "k1=v1&k2=v2" for a request body.
    std::string formText() const;

    // "?k1=v1&k2=v2" to append to a URL; empty when there are no pairs.
    std::string queryText() const;

    bool empty() const { return m_pairs.empty(); }

private:
    std::string join(std::string (*escape)(std::string_view)) const;

    std::vector<std::pair<std::string, std::string>> m_pairs;
};

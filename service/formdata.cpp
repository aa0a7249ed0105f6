#include "service/formdata.h"

namespace {

bool isFormReserved(char c) {
    return c == '%' || c == '&' || c == '+' || c == '=';
}

bool isQueryReserved(char c) {
    return isFormReserved(c) || c == ' ' || c == '#';
}

template <typename Reserved>
std::string escapeWith(std::string_view value, Reserved reserved) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(value.size());
    for (char c : value) {
        if (reserved(c)) {
            const auto byte = static_cast<unsigned char>(c);
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 0x0F];
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace

std::string escapeFormValue(std::string_view value) {
    return escapeWith(value, isFormReserved);
}

std::string escapeQueryValue(std::string_view value) {
    return escapeWith(value, isQueryReserved);
}

FormData& FormData::add(std::string_view key, std::string_view value) {
    m_pairs.emplace_back(std::string(key), std::string(value));
    return *this;
}

std::string FormData::formText() const {
    return join(escapeFormValue);
}

std::string FormData::queryText() const {
    if (m_pairs.empty()) {
        return {};
    }
    return "?" + join(escapeQueryValue);
}

std::string FormData::join(std::string (*escape)(std::string_view)) const {
    std::string out;
    for (const auto& [key, value] : m_pairs) {
        if (!out.empty()) {
            out += '&';
        }
        out += key;
        out += '=';
        out += escape(value);
    }
    return out;
}

#include "sim/formcodec.h"

namespace fenwixsim {

namespace {
int hexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}
}  // namespace

std::string stripOneTrailingNul(const std::string& body) {
    if (!body.empty() && body.back() == '\0') {
        return body.substr(0, body.size() - 1);
    }
    return body;
}

std::string percentDecode(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 &&
            hexValue(text[i + 2]) >= 0) {
            out += static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

Form parseForm(const std::string& text) {
    Form form;
    if (text.empty()) {
        return form;
    }
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('&', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        const std::string part = text.substr(start, end - start);
        const size_t eq = part.find('=');
        if (eq == std::string::npos) {
            form.push_back({percentDecode(part), std::string()});
        } else {
            form.push_back({percentDecode(part.substr(0, eq)), percentDecode(part.substr(eq + 1))});
        }
        start = end + 1;
    }
    return form;
}

void splitTarget(const std::string& target, std::string& path, std::string& query) {
    const size_t q = target.find('?');
    if (q == std::string::npos) {
        path = target;
        query.clear();
    } else {
        path = target.substr(0, q);
        query = target.substr(q + 1);
    }
}

std::optional<std::string> formValue(const Form& form, const std::string& name) {
    for (const auto& field : form) {
        if (field.name == name) {
            return field.value;
        }
    }
    return std::nullopt;
}

std::string formValueOr(const Form& form, const std::string& name, const std::string& fallback) {
    auto v = formValue(form, name);
    return v ? *v : fallback;
}

}  // namespace fenwixsim

#include "sim/strictchecker.h"

#include "sim/jsonutil.h"
#include "sim/strictformats.h"

#include <iostream>

namespace fenwixsim {

namespace {
constexpr size_t kMaxKept = 5000;
const char kFormType[] = "application/x-www-form-urlencoded";

std::string joinNames(const Form& form) {
    std::string out;
    for (const auto& field : form) {
        if (!out.empty()) {
            out += '&';
        }
        out += field.name;
    }
    return out;
}

std::string joinNames(const FormFormat& format) {
    std::string out;
    for (const auto& field : format.fields) {
        if (!out.empty()) {
            out += '&';
        }
        out += field.name;
    }
    return out;
}

std::string visible(const std::string& bytes) {
    std::string out;
    for (char c : bytes) {
        if (c == '\0') {
            out += "\\0";
        } else if (c == '\n') {
            out += "\\n";
        } else {
            out += c;
        }
    }
    return sanitizeUtf8(out);
}

class Inspection {
public:
    Inspection(const SimRequest& request, std::vector<Deviation>& out)
        : request_(request), out_(out) {}

    void add(const std::string& expected, const std::string& got) {
        out_.push_back({request_.seq, request_.path, expected, got});
    }

    void framing(const FormFormat& format) {
        if (request_.version != "HTTP/1.1") {
            add("HTTP/1.1", request_.version);
        }
        if (request_.method != format.method) {
            add("method " + format.method, "method " + request_.method);
        }
        const std::string type = request_.header("Content-Type");
        if (type != kFormType) {
            add(std::string("Content-Type: ") + kFormType, "Content-Type: " + type);
        }
        if (format.method == "POST") {
            postBody();
        } else {
            getBody();
        }
    }

    void fields(const FormFormat& format) {
        const Form& form = format.method == "POST" ? request_.form : request_.queryForm;
        if (joinNames(form) != joinNames(format)) {
            add("parameters " + joinNames(format), "parameters " + joinNames(form));
            return;
        }
        for (size_t i = 0; i < format.fields.size(); ++i) {
            const std::string problem = checkValue(format.fields[i], form[i].value);
            if (!problem.empty()) {
                add(format.fields[i].name + "=" + describeRule(format.fields[i]),
                    format.fields[i].name + "=" + visible(form[i].value) + " (" + problem + ")");
            }
        }
        if (format.path == "/api/business/app/register") {
            registrationIdentity(form);
        }
    }

private:
    void postBody() {
        const std::string& body = request_.body;
        if (body.empty() || body.back() != '\0') {
            add("body ending with one zero byte", "body \"" + visible(body) + "\"");
        } else if (body.find('\0') != body.size() - 1) {
            add("one zero byte, at the end of the body", "body \"" + visible(body) + "\"");
        }
    }

    void getBody() {
        const std::string length = request_.header("Content-Length");
        if (length != "1") {
            add("Content-Length: 1 (a body of one zero byte)",
                "Content-Length: " + (length.empty() ? std::string("<none>") : length));
        }
    }

    void registrationIdentity(const Form& form) {
        const std::string unique = formValueOr(form, "uniqueno", "");
        const std::string deviceKey = formValueOr(form, "devicekey", "");
        const std::string pushKey = formValueOr(form, "pushkey", "");
        if (deviceKey != "DSK_" + unique) {
            add("devicekey=DSK_" + unique, "devicekey=" + deviceKey);
        }
        if (pushKey.compare(0, 5 + unique.size(), "UDSK_" + unique) != 0) {
            add("pushkey=UDSK_" + unique + "<clock>", "pushkey=" + pushKey);
        }
    }

    const SimRequest& request_;
    std::vector<Deviation>& out_;
};
}  // namespace

std::vector<Deviation> StrictChecker::inspect(const SimRequest& request) {
    std::vector<Deviation> found;
    const FormFormat* format = findFormat(request.path);
    if (format == nullptr) {
        // Downloads use other paths; under /api/ only the terminal's own paths exist.
        if (request.path.compare(0, 5, "/api/") == 0) {
            found.push_back(
                {request.seq, request.path, "a path the terminal uses", "path " + request.path});
        }
        return found;
    }
    Inspection inspection(request, found);
    inspection.framing(*format);
    inspection.fields(*format);
    return found;
}

std::vector<Deviation> StrictChecker::check(const SimRequest& request) {
    if (!enabled_) {
        return {};
    }
    std::vector<Deviation> found = inspect(request);
    if (found.empty()) {
        return found;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& d : found) {
        std::cerr << "fenwix-sim strict: #" << d.seq << " " << d.path << " expected " << d.expected
                  << " got " << d.got << std::endl;
        deviations_.push_back(d);
        if (deviations_.size() > kMaxKept) {
            deviations_.pop_front();
        }
    }
    return found;
}

Json::Value StrictChecker::toJson() const {
    Json::Value list(Json::arrayValue);
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& d : deviations_) {
        Json::Value v;
        v["seq"] = static_cast<Json::Int64>(d.seq);
        v["path"] = d.path;
        v["expected"] = d.expected;
        v["got"] = d.got;
        list.append(v);
    }
    Json::Value out;
    out["enabled"] = enabled_.load();
    out["deviations"] = list;
    return out;
}

void StrictChecker::clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    deviations_.clear();
}

}  // namespace fenwixsim

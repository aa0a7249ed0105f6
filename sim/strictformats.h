#pragma once

#include <string>
#include <vector>

namespace fenwixsim {

// What a form value must look like.
enum class ValueRule {
    Any,
    Fixed,       // exactly `fixed`
    Empty,       // present with no value
    Int32,       // signed decimal that fits 32 bits
    UInt32,      // unsigned decimal that fits 32 bits
    ZeroOrOne,   // "0" or "1"
    TrueFalse,   // "true" or "false"
    OneOf,       // one of the '|'-separated texts in `fixed`
    DeviceKey,   // "DSK_" + unique number
    PushKey,     // "UDSK_" + unique number + decimal clock
    EventArray,  // compact JSON array of one event object, ending with a line feed
    StatusJson,  // compact JSON statistics document, ending with a line feed
};

struct FieldRule {
    std::string name;
    ValueRule rule = ValueRule::Any;
    std::string fixed;
};

// The exact form (or query, for GET) that the terminal sends to one path.
struct FormFormat {
    std::string path;
    std::string method;
    std::vector<FieldRule> fields;
};

const std::vector<FormFormat>& terminalFormats();
const FormFormat* findFormat(const std::string& path);

// A short human text for a rule, e.g. "0|1" or "<signed 32-bit decimal>".
std::string describeRule(const FieldRule& field);
// Empty when the value follows the rule, else what is wrong with it.
std::string checkValue(const FieldRule& field, const std::string& value);

}  // namespace fenwixsim

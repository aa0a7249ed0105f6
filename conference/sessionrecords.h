// Readers of the JSON records the conference session hands the controller through main-window
// events. The texts carry what the conference library reported, so they are read without
// trusting their shape.
#pragma once

#include <string>

enum class ScreenFixResult {
    Unreadable,  // not a JSON object
    Failed,
    Succeeded,  // "success" is the boolean true
};

ScreenFixResult readScreenFixResult(const std::string& text);

// The "uri" of a removed-source record (empty when absent or not a text); false when the text
// is not a JSON object.
bool readRemovedSourceUri(const std::string& text, std::string& uri);

// The host name whose lookup hangs in the integration tests (support_stalledlookup.cpp).
#pragma once

#include <chrono>

inline constexpr const char* kStalledLookupHost = "stalled-lookup.invalid";
inline constexpr std::chrono::milliseconds kStalledLookupTime{9000};

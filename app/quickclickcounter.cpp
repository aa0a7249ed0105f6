#include "app/quickclickcounter.h"

namespace {

constexpr std::int64_t kQuickClickMs = 1000;
constexpr int kClicksToClose = 5;

}  // namespace

bool CQuickClickCounter::click(std::int64_t nowMs) {
    if (m_count == 0) {
        m_lastMs = nowMs;
    }
    if (nowMs - m_lastMs >= kQuickClickMs) {
        m_count = 0;
        m_lastMs = 0;
        return false;
    }
    ++m_count;
    m_lastMs = nowMs;
    if (m_count < kClicksToClose) {
        return false;
    }
    m_count = 0;
    m_lastMs = 0;
    return true;
}

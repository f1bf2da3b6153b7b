#include "core/reconnectschedule.h"

#include <array>
#include <cstddef>

namespace {
constexpr std::array<int, 5> waits = {5, 10, 20, 40, 60};
} // namespace

int TReconnectSchedule::delaySeconds(int attempt)
{
    if (attempt < 0)
        attempt = 0;
    return attempt < int(waits.size()) ? waits[std::size_t(attempt)] : waits.back();
}

int TReconnectSchedule::next()
{
    m_running = true;
    const int seconds = delaySeconds(m_step);
    // The step stops where the waits do, so it cannot overflow in a
    // schedule that runs for years.
    if (m_step < int(waits.size()))
        ++m_step;
    return seconds;
}

void TReconnectSchedule::end()
{
    m_running = false;
    m_step = 0;
}

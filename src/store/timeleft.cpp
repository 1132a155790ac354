#include "timeleft.h"

#include <algorithm>
#include <cmath>

namespace mendral {

void TimeLeft::start(int total, double now, const QString &line)
{
    m_line = line;
    m_total = total;
    m_start = now;
    m_shown.reset();
    m_shownAt = now;
}

std::optional<double> TimeLeft::update(int done, double now)
{
    const double elapsed = now - m_start;
    if (m_total <= 0 || done < minDone || elapsed < minElapsed)
        return std::nullopt;
    done = std::min(done, m_total);
    // The average over the whole run: photos differ in cost, and a single slow one must not
    // swing the estimate.
    const double estimate = double(m_total - done) * elapsed / double(done);
    if (m_shown) {
        const double counted = std::max(0.0, *m_shown - (now - m_shownAt));
        const double noise = std::max(5.0, 0.1 * counted);
        m_shown = std::min(estimate, counted + noise);
    } else {
        m_shown = estimate;
    }
    m_shownAt = now;
    return m_shown;
}

QString TimeLeft::line(int done, double now)
{
    const auto left = update(done, now);
    return left ? m_line + QStringLiteral("，") + text(*left) : m_line;
}

QString TimeLeft::text(double seconds)
{
    if (!(seconds >= 0))
        return {};
    if (seconds < 60)
        return QStringLiteral("还剩不到 1 分钟");
    const int minutes = int(std::ceil(seconds / 60.0));
    if (minutes < 120)
        return QStringLiteral("还剩约 ") + QString::number(minutes) + QStringLiteral(" 分钟");
    const double hours = seconds / 3600.0;
    return QStringLiteral("还剩约 ") + QString::number(std::round(hours * 2.0) / 2.0) + QStringLiteral(" 小时");
}

} // namespace mendral

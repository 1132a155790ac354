#include "timeleft.h"

#include <algorithm>
#include <cmath>

namespace mendral {

namespace {

// How far an estimate of `seconds` moves between photos without the rate having changed.
double noise(double seconds)
{
    return std::max(5.0, 0.1 * seconds);
}

// An estimate of `seconds` made at `then`, counted down with the clock to `now`.
double countedDown(double seconds, double then, double now)
{
    return std::max(0.0, seconds - (now - then));
}

} // namespace

void TimeLeft::start(int total, double now, const QString &line)
{
    m_line = line;
    m_total = total;
    m_start = now;
    m_shown.reset();
    m_shownAt = now;
    m_worded.reset();
    m_wordedAt = now;
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
        const double counted = countedDown(*m_shown, m_shownAt, now);
        m_shown = std::min(estimate, counted + noise(counted));
    } else {
        m_shown = estimate;
    }
    m_shownAt = now;
    return m_shown;
}

QString TimeLeft::line(int done, double now)
{
    const auto left = update(done, now);
    if (!left)
        return m_line;
    // The words follow the estimate down at once, but up only when it has risen past its noise
    // since they were chosen: an estimate wavering by a few seconds about a minute's boundary
    // otherwise turned the line from "还剩不到 1 分钟" to "约 2 分钟" and back, twice in one import.
    const double counted = m_worded ? countedDown(*m_worded, m_wordedAt, now) : 0.0;
    if (!m_worded || *left <= counted || *left > counted + noise(counted)) {
        m_worded = *left;
        m_wordedAt = now;
    }
    return m_line + QStringLiteral("，") + text(countedDown(*m_worded, m_wordedAt, now));
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

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

// The figure the words give for `seconds`: 0 for under a minute, else whole minutes rounded up.
int minutesOf(double seconds)
{
    return seconds < 60.0 ? 0 : int(std::ceil(seconds / 60.0));
}

// How far past the top of its words' range an estimate must rise before the words go up.
constexpr double wordMargin = 30.0;

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
    // The words follow the estimate down at once, but up only when it has risen past the top of
    // their range by its noise, and by half a minute at least. Rising words chosen from the
    // estimate itself counted down across a minute's boundary seconds later: "还剩不到 1 分钟"
    // turned to "约 2 分钟" and back twice in the last two minutes of a card of 3,080 photos.
    const int shown = m_worded ? minutesOf(*m_worded) : 0;
    const int estimate = minutesOf(*left);
    if (!m_worded || estimate < shown
        || (estimate > shown && *left > std::max(shown, 1) * 60.0 + std::max(wordMargin, noise(*left))))
        m_worded = *left;
    return m_line + QStringLiteral("，") + text(*m_worded);
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

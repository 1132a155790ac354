#pragma once

#include <QString>

#include <optional>

namespace mendral {

/**
 * How long a run of work has left, from the rate measured so far. Silent until a few items are
 * done; after that the estimate counts down with the clock and only rises when the measured
 * rate says so by more than its noise, and the words only once it has left their range by more
 * than that, so the line the user reads never jumps back much, nor wavers between two figures.
 */
class TimeLeft {
public:
    /** Starts a run of total items at the given time (seconds, any steady clock). */
    void start(int total, double now, const QString &line = {});
    /** The line given at start, followed by the time left once there is an estimate. */
    QString line(int done, double now);
    /** Records that done items are finished; returns the seconds left once there is an estimate. */
    std::optional<double> update(int done, double now);
    /** The words for a number of seconds left: "还剩约 2 分钟", "还剩不到 1 分钟", … */
    static QString text(double seconds);

    static constexpr int minDone = 4;          // items finished before a first estimate
    static constexpr double minElapsed = 3.0;  // seconds measured before a first estimate

private:
    QString m_line;
    int m_total = 0;
    double m_start = 0;
    std::optional<double> m_shown; // last estimate given, and when
    double m_shownAt = 0;
    std::optional<double> m_worded; // the estimate the line's words were last made from
};

} // namespace mendral

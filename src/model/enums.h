#pragma once

#include <QString>

#include <array>
#include <optional>

namespace mendral {

/** Which groups the review walks through. */
enum class GroupFilter { all, pending, decided };

inline constexpr std::array<GroupFilter, 3> allGroupFilters{GroupFilter::all, GroupFilter::pending,
                                                            GroupFilter::decided};

/** Raw value, also the filter's id and its label. */
QString rawValue(GroupFilter filter);
std::optional<GroupFilter> groupFilterFromRawValue(const QString &raw);

/** Where the import pipeline stands. */
enum class Phase { idle, scanning, analyzing, ready };

QString label(Phase phase);

} // namespace mendral

#pragma once

#include <QString>

namespace mendral::Clusterer {

/** printf-style formatting of one number into a reason text (C library rounding). */
QString formatReason(const char *format, double value);

/** Appends a merge line to the trace when the trace is switched on. */
void traceMerge(const QString &nameI, const QString &nameJ, float d, double dt, float sideA,
                float sideB, int peopleA, int peopleB, const QString &reason);

} // namespace mendral::Clusterer

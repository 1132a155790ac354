#include "grouping/trace.h"

#include "grouping/clusterer.h"

#include <cstdio>
#include <string>

namespace mendral::Clusterer {

std::optional<QStringList> trace;

namespace {

// printf formatting (not Qt's), so numbers round the way the C library rounds them.
template <typename... Args>
QString formatted(const char *format, Args... args)
{
    const int length = std::snprintf(nullptr, 0, format, args...);
    if (length <= 0)
        return {};
    std::string text(size_t(length) + 1, '\0');
    std::snprintf(text.data(), text.size(), format, args...);
    text.resize(size_t(length));
    return QString::fromStdString(text);
}

} // namespace

QString formatReason(const char *format, double value)
{
    return formatted(format, value);
}

void traceMerge(const QString &nameI, const QString &nameJ, float d, double dt, float sideA,
                float sideB, int peopleA, int peopleB, const QString &reason)
{
    if (!trace)
        return;
    trace->append(formatted("merge %s+%s d=%.3f dt=%.0fs scale %.2f/%.2f 人 %d/%d | %s",
                            nameI.toUtf8().constData(), nameJ.toUtf8().constData(), double(d),
                            dt, double(sideA), double(sideB), peopleA, peopleB,
                            reason.toUtf8().constData()));
}

} // namespace mendral::Clusterer

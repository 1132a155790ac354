#include "enums.h"

namespace mendral {

QString rawValue(GroupFilter filter)
{
    switch (filter) {
    case GroupFilter::all: return QStringLiteral("全部");
    case GroupFilter::pending: return QStringLiteral("待确认");
    case GroupFilter::decided: return QStringLiteral("已决定");
    }
    return {};
}

std::optional<GroupFilter> groupFilterFromRawValue(const QString &raw)
{
    for (GroupFilter f : allGroupFilters)
        if (rawValue(f) == raw)
            return f;
    return std::nullopt;
}

QString label(Phase phase)
{
    switch (phase) {
    case Phase::idle: return QStringLiteral("等待导入");
    case Phase::scanning: return QStringLiteral("正在扫描");
    case Phase::analyzing: return QStringLiteral("正在分析");
    case Phase::ready: return QStringLiteral("就绪");
    }
    return {};
}

} // namespace mendral

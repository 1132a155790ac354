// Construction, settings and the plain field setters of the store.

#include "appstore.h"

namespace mendral {

AppStore::AppStore(StoreDialogs *dialogs, QSettings *settings, const QString &cachePath, QObject *parent)
    : QObject(parent), m_dialogs(dialogs), m_settings(settings),
      m_cachePath(cachePath.isEmpty() ? AnalysisCache::defaultPath() : cachePath)
{
    if (!m_settings) {
        m_ownSettings = std::make_unique<QSettings>(QStringLiteral("Mendral"), QStringLiteral("Mendral"));
        m_settings = m_ownSettings.get();
    }
    if (m_settings->contains(QStringLiteral("simFactor")))
        setSimFactor(m_settings->value(QStringLiteral("simFactor")).toDouble());
    if (m_settings->contains(QStringLiteral("includeSubfolders")))
        setIncludeSubfolders(m_settings->value(QStringLiteral("includeSubfolders")).toBool());
    if (m_settings->contains(QStringLiteral("showDecidedPane")))
        setShowDecidedPane(m_settings->value(QStringLiteral("showDecidedPane")).toBool());
    if (m_settings->contains(QStringLiteral("decidedFlatMode")))
        setDecidedFlatMode(m_settings->value(QStringLiteral("decidedFlatMode")).toBool());
    m_cache = AnalysisCache::load(m_cachePath);
    m_decisions.setReport([this](const QString &text) { setErrorText(text); });
    connect(this, &AppStore::groupsChanged, this, [this] { m_decisions.changed(); });
}

AppStore::~AppStore()
{
    m_generation->fetch_add(1); // any import still running stops at its next check
    m_decisions.setReport({});
    m_decisions.leave(); // the last decisions reach the disk when the window closes
    for (QFuture<void> &f : m_pending)
        f.waitForFinished(); // its callbacks still point at this store
}

ClusterOptions AppStore::clusterOptions() const
{
    ClusterOptions o;
    o.timeGap = m_timeGap;
    o.simFactor = float(m_simFactor);
    o.maxGroupSize = std::max(m_maxGroupSize, 2);
    return o;
}

QString AppStore::summaryStatusText() const
{
    int review = 0;
    for (const PhotoGroup &g : m_groups)
        review += g.needsReview ? 1 : 0;
    return QString::number(m_photos.size()) + QStringLiteral(" 张 · ") + QString::number(m_groups.size()) +
           QStringLiteral(" 组 · 需要你确认 ") + QString::number(review) + QStringLiteral(" 组");
}

void AppStore::setPhotos(std::vector<Photo> photos)
{
    m_photos = std::move(photos);
    Q_EMIT photosChanged();
}

void AppStore::setGroups(std::vector<PhotoGroup> groups)
{
    m_groups = std::move(groups);
    Q_EMIT groupsChanged();
}

void AppStore::setPhase(Phase phase)
{
    if (m_phase == phase)
        return;
    m_phase = phase;
    Q_EMIT phaseChanged();
}

void AppStore::setProgress(double value)
{
    if (m_progress == value)
        return;
    m_progress = value;
    Q_EMIT progressChanged();
}

void AppStore::setStatusText(const QString &text)
{
    if (m_statusText == text)
        return;
    m_statusText = text;
    Q_EMIT textsChanged();
}

void AppStore::setErrorText(std::optional<QString> text)
{
    if (m_errorText == text)
        return;
    m_errorText = std::move(text);
    Q_EMIT textsChanged();
}

void AppStore::setFilter(GroupFilter filter)
{
    if (m_filter == filter)
        return;
    m_filter = filter;
    Q_EMIT selectionChanged();
}

void AppStore::setReviewGroupID(std::optional<int> id)
{
    if (m_reviewGroupID == id)
        return;
    m_reviewGroupID = id;
    Q_EMIT selectionChanged();
}

void AppStore::setSelectedGroupID(std::optional<int> id)
{
    if (m_selectedGroupID == id)
        return;
    m_selectedGroupID = id;
    Q_EMIT selectionChanged();
}

void AppStore::setSelectionInDecidedPane(bool value)
{
    if (m_selectionInDecidedPane == value)
        return;
    m_selectionInDecidedPane = value;
    Q_EMIT selectionChanged();
}

void AppStore::setDecidedFlatMode(bool value)
{
    m_decidedFlatMode = value;
    m_settings->setValue(QStringLiteral("decidedFlatMode"), value);
    Q_EMIT settingsChanged();
}

void AppStore::setShowSettings(bool value)
{
    if (m_showSettings == value)
        return;
    m_showSettings = value;
    Q_EMIT settingsChanged();
}

void AppStore::setTimeGap(double value)
{
    m_timeGap = value;
    Q_EMIT settingsChanged();
}

void AppStore::setSimFactor(double value)
{
    m_simFactor = value;
    m_settings->setValue(QStringLiteral("simFactor"), value);
    Q_EMIT settingsChanged();
}

void AppStore::setMaxGroupSize(int value)
{
    m_maxGroupSize = value;
    Q_EMIT settingsChanged();
}

void AppStore::setIncludeSubfolders(bool value)
{
    m_includeSubfolders = value;
    m_settings->setValue(QStringLiteral("includeSubfolders"), value);
    Q_EMIT settingsChanged();
}

void AppStore::setShowDecidedPane(bool value)
{
    m_showDecidedPane = value;
    m_settings->setValue(QStringLiteral("showDecidedPane"), value);
    Q_EMIT settingsChanged();
}

void AppStore::setSyncedCount(int count)
{
    if (m_syncedCount == count)
        return;
    m_syncedCount = count;
    Q_EMIT exportStateChanged();
}

void AppStore::setDestFolder(std::optional<QString> folder)
{
    if (m_destFolder == folder)
        return;
    m_destFolder = std::move(folder);
    Q_EMIT exportStateChanged();
}

} // namespace mendral

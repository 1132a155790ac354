#include "decisionkeeper.h"

#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>

namespace mendral {

namespace {

constexpr int kWriteInterval = 1000; // ms: at most one write a second

} // namespace

DecisionKeeper::DecisionKeeper(QString dir, const std::vector<Photo> &photos,
                               const std::vector<PhotoGroup> &groups)
    : m_dir(std::move(dir)), m_photos(photos), m_groups(groups)
{
    m_pool.setMaxThreadCount(1); // writes land in the order they were made
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] { writeNow(); });
}

DecisionKeeper::~DecisionKeeper()
{
    leave();
    m_pool.waitForDone();
}

void DecisionKeeper::setWritable(bool writable)
{
    m_writable = writable;
}

void DecisionKeeper::prepare(const QString &folder, const std::vector<Photo> &photos)
{
    // Only what an identity needs crosses to the keeper's thread, not the analyses.
    std::vector<Photo> light;
    light.reserve(photos.size());
    for (const Photo &p : photos) {
        light.emplace_back(p.url, QStringList(), 0.0, p.fileSize, 0, 0, false);
        light.back().id = p.id;
    }
    const QString path = DecisionStore::fileFor(m_dir, folder);
    m_path = path;
    m_preparedFolder = folder;
    m_prepared = QtConcurrent::run(&m_pool, [folder, path, light = std::move(light)] {
        return Prepared{DecisionStore::identify(folder, light), DecisionStore::read(path, folder)};
    });
}

int DecisionKeeper::restore(std::vector<PhotoGroup> &groups)
{
    if (!m_prepared.isValid())
        return 0;
    // Waiting on the future itself could run the reading here, ahead of a write still queued
    // before it: wait for the keeper's thread instead (usually long done, unless every photo
    // came from the cache).
    m_pool.waitForDone();
    Prepared prepared = m_prepared.result();
    m_prepared = QFuture<Prepared>();
    m_identities = std::move(prepared.identities);
    m_absent = FolderDecisions();
    m_folder = m_preparedFolder;
    m_restored = 0;
    m_dirty = false;
    m_failureReported = false;
    m_damaged = prepared.stored.damaged;
    if (m_damaged) {
        if (m_writable)
            setDamagedFileAside();
        else
            report(QStringLiteral("上次的选择记录无法读取：") + m_path);
    }
    if (!prepared.stored.decisions)
        return 0;
    m_absent = DecisionStore::absentFrom(*prepared.stored.decisions, m_identities);
    m_restored = DecisionStore::restore(groups, m_photos, m_identities, *prepared.stored.decisions);
    return m_restored;
}

void DecisionKeeper::changed()
{
    if (!m_folder || !m_writable)
        return;
    m_dirty = true;
    if (m_timer.isActive())
        return;
    const qint64 since = m_sinceWrite.isValid() ? m_sinceWrite.elapsed() : kWriteInterval;
    m_timer.start(int(std::max<qint64>(0, kWriteInterval - since)));
}

void DecisionKeeper::leave()
{
    writeNow();
    m_folder.reset();
    m_restored = 0;
    m_prepared = QFuture<Prepared>(); // a superseded import's reading is dropped
    m_identities.clear();
    m_absent = FolderDecisions();
    m_damaged = false;
}

void DecisionKeeper::waitForWrites()
{
    m_pool.waitForDone();
}

void DecisionKeeper::writeNow()
{
    m_timer.stop();
    if (!m_folder || !m_writable || !m_dirty)
        return;
    if (m_damaged && !setDamagedFileAside())
        return;
    m_dirty = false;
    FolderDecisions decisions =
        DecisionStore::collect(*m_folder, m_photos, m_groups, m_identities, m_absent);
    m_sinceWrite.start();
    QtConcurrent::run(&m_pool, [path = m_path, decisions = std::move(decisions)] {
        return DecisionStore::save(path, decisions);
    }).then(&m_timer, [this](const std::optional<QString> &error) {
        if (!error) {
            m_failureReported = false;
        } else if (!m_failureReported) {
            m_failureReported = true; // once, not at every keystroke
            report(QStringLiteral("选择记录无法保存：") + *error);
        }
    });
}

bool DecisionKeeper::setDamagedFileAside()
{
    if (const auto moved = DecisionStore::setAside(m_path)) {
        m_damaged = false;
        report(QStringLiteral("上次的选择记录无法读取，已移到一边：") + *moved +
               QStringLiteral("。这次从头开始选。"));
        return true;
    }
    // Writing over it would destroy what may still be saved by hand: keep nothing this time.
    report(QStringLiteral("上次的选择记录无法读取，也无法移开：") + m_path +
           QStringLiteral("。这次的选择不会保存。"));
    m_folder.reset();
    return false;
}

void DecisionKeeper::report(const QString &text)
{
    if (m_report)
        m_report(text);
}

} // namespace mendral

#include "ui/statusbar.h"

#include "store/appstore.h"
#include "ui/theme.h"
#include "ui/widgets.h"

#include <QDir>
#include <QHBoxLayout>
#include <QPainter>

namespace mendral {

StatusBar::StatusBar(AppStore &store, QWidget *parent) : QWidget(parent), m_store(store)
{
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(16, 6, 16, 6);
    row->setSpacing(10);

    row->addWidget(makeSymbol("square.and.arrow.up.on.square", 10, theme::secondary(), this));
    m_destination = new ElidedLabel(this);
    m_destination->setFont(theme::font(11));
    m_destination->setColor(theme::secondary());
    row->addWidget(m_destination, 1);

    m_noticeRow = new QWidget(this);
    auto *noticeRow = new QHBoxLayout(m_noticeRow);
    noticeRow->setContentsMargins(0, 0, 0, 0);
    noticeRow->setSpacing(4);
    noticeRow->addWidget(makeSymbol("exclamationmark.triangle", 11, theme::orange(), m_noticeRow));
    m_modelNotice = new ElidedLabel(m_noticeRow);
    m_modelNotice->setFont(theme::font(11));
    m_modelNotice->setColor(theme::orange());
    noticeRow->addWidget(m_modelNotice, 1);
    row->addWidget(m_noticeRow, 2);

    m_picked = new QWidget(this);
    auto *pickedRow = new QHBoxLayout(m_picked);
    pickedRow->setContentsMargins(0, 0, 0, 0);
    pickedRow->setSpacing(4);
    pickedRow->addWidget(makeSymbol("checkmark.circle", 11, theme::accent(), m_picked));
    m_pickedText = makeLabel(QString(), 11, QFont::Normal, theme::accent(), m_picked);
    pickedRow->addWidget(m_pickedText);
    row->addWidget(m_picked);

    m_restored = makeLabel(QString(), 11, QFont::Normal, theme::secondary(), this);
    row->addWidget(m_restored);

    m_synced = makeLabel(QString(), 11, QFont::Normal, theme::secondary(), this);
    row->addWidget(m_synced);

    m_reveal = makePlainButton("arrow.up.forward.app", 11, theme::accent(), QStringLiteral("打开导出文件夹"), this);
    m_reveal->setFont(theme::font(11));
    m_reveal->setCursor(Qt::PointingHandCursor);
    row->addWidget(m_reveal);

    connect(m_reveal, &QPushButton::clicked, this, [this] { m_store.revealDestination(); });
    for (auto signal : {&AppStore::exportStateChanged, &AppStore::groupsChanged, &AppStore::photosChanged,
                        &AppStore::textsChanged, &AppStore::phaseChanged})
        connect(&m_store, signal, this, &StatusBar::refresh);
    refresh();
}

void StatusBar::refresh()
{
    const auto &dest = m_store.destFolder();
    m_destination->setText(dest ? QStringLiteral("上次导出到：") + QDir::toNativeSeparators(*dest)
                                : QStringLiteral("还没导出过 · 选好照片后点右上角「导出」"));
    const int picked = m_store.pickedCount();
    m_picked->setVisible(picked >= 1);
    m_pickedText->setText(QStringLiteral("已选 ") + QString::number(picked) + QStringLiteral(" 张"));
    const int restored = m_store.phase() == Phase::ready ? m_store.restoredGroupCount() : 0;
    m_restored->setVisible(restored >= 1);
    m_restored->setText(QStringLiteral("已恢复上次的选择 ") + QString::number(restored) + QStringLiteral(" 组"));
    const int synced = m_store.syncedCount();
    m_synced->setVisible(synced >= 1);
    m_synced->setText(QStringLiteral("本次已导出 ") + QString::number(synced) + QStringLiteral(" 个文件"));
    m_reveal->setEnabled(dest.has_value());
    const QString &notice = m_store.modelNotice();
    m_noticeRow->setVisible(!notice.isEmpty());
    m_modelNotice->setText(notice);
    m_noticeRow->setToolTip(notice);
}

void StatusBar::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), theme::barBackground());
}

} // namespace mendral

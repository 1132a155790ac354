#include "ui/headerbar.h"

#include "store/appstore.h"
#include "ui/icons.h"
#include "ui/settingspanel.h"
#include "ui/statchip.h"
#include "ui/theme.h"
#include "ui/widgets.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QPainter>
#include <QVBoxLayout>

namespace mendral {

namespace {

QString lastComponent(const QString &folder)
{
    QString f = folder;
    while (f.size() > 1 && f.endsWith(QLatin1Char('/')))
        f.chop(1);
    const QString name = QFileInfo(f).fileName();
    return name.isEmpty() ? f : name;
}

/** A small text on a faint capsule. */
class Badge : public QLabel {
public:
    Badge(const QString &text, QWidget *parent) : QLabel(text, parent)
    {
        setFont(theme::font(9, QFont::Medium));
        setContentsMargins(6, 1, 6, 1);
        setAlignment(Qt::AlignCenter);
    }

protected:
    void paintEvent(QPaintEvent *e) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(theme::primary(0.07));
        p.drawRoundedRect(QRectF(rect()), height() / 2.0, height() / 2.0);
        p.end();
        QLabel::paintEvent(e);
    }
};

} // namespace

QString HeaderBar::exportToolTip(int pickedCount)
{
    if (pickedCount == 0)
        return QStringLiteral("进组把要用的照片选上，再点导出");
    return QStringLiteral("把已选的 ") + QString::number(pickedCount) + QStringLiteral(" 张照片导出到指定位置");
}

HeaderBar::HeaderBar(AppStore &store, QWidget *parent) : QWidget(parent), m_store(store)
{
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(16, 9, 16, 9);
    row->setSpacing(14);

    row->addWidget(makeSymbol("square.stack.3d.down.right", 18, theme::accent(), this));

    auto *titleBlock = new QVBoxLayout;
    titleBlock->setSpacing(1);
    auto *titleRow = new QHBoxLayout;
    titleRow->setSpacing(5);
    titleRow->addWidget(makeLabel(QStringLiteral("DorvaniPhoto"), 13, QFont::DemiBold, theme::primary(), this));
    m_badge = new Badge(QStringLiteral("含子文件夹"), this);
    titleRow->addWidget(m_badge);
    titleRow->addStretch();
    titleBlock->addLayout(titleRow);
    m_folder = makeLabel(QString(), 11, QFont::Normal, theme::secondary(), this);
    titleBlock->addWidget(m_folder);
    row->addLayout(titleBlock);

    m_chipRow = new QWidget(this);
    auto *chipLayout = new QHBoxLayout(m_chipRow);
    chipLayout->setContentsMargins(0, 0, 0, 0);
    chipLayout->setSpacing(14);
    auto *divider = new Divider(Qt::Vertical, m_chipRow);
    divider->setFixedHeight(22);
    chipLayout->addWidget(divider);
    auto *chips = new QHBoxLayout;
    chips->setSpacing(8);
    const char *labels[] = {"张", "组", "待确认", "组已选", "组忽略"};
    for (size_t i = 0; i < m_chips.size(); ++i) {
        m_chips[i] = new StatChip(QString::fromUtf8(labels[i]), m_chipRow);
        chips->addWidget(m_chips[i]);
    }
    chipLayout->addLayout(chips);
    row->addWidget(m_chipRow);

    row->addStretch(1);

    m_working = new QWidget(this);
    auto *workingRow = new QHBoxLayout(m_working);
    workingRow->setContentsMargins(0, 0, 0, 0);
    workingRow->setSpacing(6);
    m_spinner = new Spinner(14, m_working);
    workingRow->addWidget(m_spinner);
    m_workingText = makeLabel(QString(), 11, QFont::Normal, theme::secondary(), m_working);
    m_workingText->setMaximumWidth(280);
    m_workingText->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    workingRow->addWidget(m_workingText);
    row->addWidget(m_working);

    m_settingsButton = makePlainButton("slider.horizontal.3", 16, theme::primary(0.75), QString(), this);
    m_settingsButton->setToolTip(QStringLiteral("分组参数"));
    m_settingsButton->setFixedSize(28, 26);
    row->addWidget(m_settingsButton);

    m_exportButton = new QPushButton(QStringLiteral("导出"), this);
    m_exportButton->setIcon(icons::icon("square.and.arrow.up", Qt::white));
    m_exportButton->setIconSize(QSize(13, 13));
    makeProminent(m_exportButton);
    row->addWidget(m_exportButton);

    m_popup = new SettingsPopup(store, this);

    connect(m_settingsButton, &QPushButton::clicked, this, [this] {
        if (m_popup->justClosedByClickOn(m_settingsButton))
            return; // that click only closed the panel
        m_store.setShowSettings(!m_store.showSettings());
    });
    connect(m_exportButton, &QPushButton::clicked, this, [this] { m_store.exportPicked(); });

    for (auto signal : {&AppStore::photosChanged, &AppStore::groupsChanged, &AppStore::phaseChanged,
                        &AppStore::textsChanged, &AppStore::settingsChanged, &AppStore::exportStateChanged})
        connect(&m_store, signal, this, &HeaderBar::refresh);
    connect(&m_store, &AppStore::settingsChanged, this, &HeaderBar::followSettingsPopup);
    refresh();
}

void HeaderBar::refresh()
{
    const bool hasPhotos = !m_store.photos().empty();
    m_badge->setVisible(hasPhotos && m_store.includeSubfolders());
    const auto &source = m_store.sourceFolder();
    m_folder->setText(source ? lastComponent(*source) : QStringLiteral("未导入"));

    m_chipRow->setVisible(hasPhotos);
    if (hasPhotos) {
        const AppStore::Stats s = m_store.stats();
        m_chips[0]->setValue(s.photos, theme::primary());
        m_chips[1]->setValue(s.groups, theme::primary());
        m_chips[2]->setValue(s.pending, s.pending >= 1 ? theme::orange() : theme::secondary());
        m_chips[3]->setValue(s.picked, s.picked >= 1 ? theme::green() : theme::secondary());
        m_chips[4]->setValue(s.skipped, theme::secondary());
    }

    const bool working = m_store.phase() == Phase::scanning || m_store.phase() == Phase::analyzing;
    m_working->setVisible(working);
    m_workingText->setText(m_store.statusText());

    m_exportButton->setEnabled(hasPhotos);
    m_exportButton->setToolTip(exportToolTip(m_store.pickedCount()));
}

void HeaderBar::followSettingsPopup()
{
    if (m_store.showSettings() && !m_popup->isVisible())
        m_popup->showBelow(m_settingsButton);
    else if (!m_store.showSettings() && m_popup->isVisible())
        m_popup->hide();
}

void HeaderBar::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), theme::barBackground());
}

} // namespace mendral

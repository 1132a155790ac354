#include "ui/settingspanel.h"

#include "store/appstore.h"
#include "ui/icons.h"
#include "ui/theme.h"
#include "ui/widgets.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>

#include <cmath>

namespace mendral {

namespace {

// The slider counts twentieths: k / 20.0 gives the same doubles as the decimal literals, so
// the word at exactly 0.95 or 1.05 is "标准".
constexpr int kSteps = 20;

int sliderValue(double factor)
{
    return int(std::lround(std::clamp(factor, SettingsPanel::sliderMin, SettingsPanel::sliderMax) * kSteps));
}

} // namespace

QString SettingsPanel::similarityWord(double simFactor)
{
    if (simFactor < 0.95)
        return QStringLiteral("更细");
    if (simFactor > 1.05)
        return QStringLiteral("更粗");
    return QStringLiteral("标准");
}

QString SettingsPanel::thresholdText(float calibratedThreshold)
{
    if (!(calibratedThreshold > 0))
        return QString();
    return QString::asprintf("%.2f", double(calibratedThreshold));
}

SettingsPanel::SettingsPanel(AppStore &store, QWidget *parent) : QWidget(parent), m_store(store)
{
    setFixedWidth(320);
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(18, 18, 18, 18);
    column->setSpacing(16);

    column->addWidget(makeLabel(QStringLiteral("分组参数"), 13, QFont::DemiBold, theme::primary(), this));

    auto *similarity = new QVBoxLayout;
    similarity->setSpacing(6);
    auto *wordRow = new QHBoxLayout;
    wordRow->addWidget(makeLabel(QStringLiteral("画面近似程度"), 12, QFont::Normal, theme::primary(), this));
    wordRow->addStretch();
    m_word = makeLabel(QString(), 11, QFont::Normal, theme::secondary(), this);
    wordRow->addWidget(m_word);
    similarity->addLayout(wordRow);
    m_slider = new QSlider(Qt::Horizontal, this);
    m_slider->setRange(sliderValue(sliderMin), sliderValue(sliderMax));
    m_slider->setSingleStep(1);
    m_slider->setPageStep(2);
    similarity->addWidget(m_slider);
    auto *calibration = new QHBoxLayout;
    calibration->setSpacing(4);
    calibration->addWidget(makeLabel(QStringLiteral("阈值按本场距离分布自动校准"), 10, QFont::Normal,
                                     theme::secondary(), this));
    m_threshold = makeLabel(QString(), 10, QFont::Normal, theme::primary(), this);
    calibration->addWidget(m_threshold);
    calibration->addStretch();
    similarity->addLayout(calibration);
    column->addLayout(similarity);

    column->addWidget(new Divider(Qt::Horizontal, this));
    m_subfolders = new QCheckBox(QStringLiteral("导入时包含子文件夹"), this);
    m_subfolders->setFont(theme::font(12));
    column->addWidget(m_subfolders);

    column->addWidget(new Divider(Qt::Horizontal, this));
    m_regroup = new QPushButton(QStringLiteral("按当前参数重新分组"), this);
    m_regroup->setIcon(icons::icon("arrow.triangle.2.circlepath", Qt::white));
    m_regroup->setIconSize(QSize(13, 13));
    makeProminent(m_regroup);
    m_regroup->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    column->addWidget(m_regroup);

    connect(m_slider, &QSlider::valueChanged, this, [this](int v) { m_store.setSimFactor(v / double(kSteps)); });
    connect(m_subfolders, &QCheckBox::toggled, this, [this](bool on) { m_store.setIncludeSubfolders(on); });
    connect(m_regroup, &QPushButton::clicked, this, [this] { m_store.regroup(); });
    for (auto signal : {&AppStore::settingsChanged, &AppStore::photosChanged})
        connect(&m_store, signal, this, &SettingsPanel::refresh);
    refresh();
}

void SettingsPanel::refresh()
{
    {
        const QSignalBlocker block(m_slider);
        m_slider->setValue(sliderValue(m_store.simFactor()));
    }
    m_word->setText(similarityWord(m_store.simFactor()));
    const QString threshold = thresholdText(m_store.calibratedThreshold());
    m_threshold->setText(threshold);
    m_threshold->setVisible(!threshold.isEmpty());
    {
        const QSignalBlocker block(m_subfolders);
        m_subfolders->setChecked(m_store.includeSubfolders());
    }
    m_regroup->setEnabled(!m_store.photos().empty());
}

SettingsPopup::SettingsPopup(AppStore &store, QWidget *anchorOwner)
    : QFrame(anchorOwner, Qt::Popup), m_store(store)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(1, 1, 1, 1);
    m_panel = new SettingsPanel(store, this);
    layout->addWidget(m_panel);
}

void SettingsPopup::showBelow(QWidget *anchor)
{
    m_anchor = anchor;
    m_closedOnAnchor = false;
    adjustSize();
    QPoint pos = anchor->mapToGlobal(QPoint(anchor->width() / 2 - width() / 2, anchor->height() + 4));
    if (const QScreen *screen = anchor->screen()) {
        const QRect area = screen->availableGeometry();
        pos.setX(std::clamp(pos.x(), area.left(), std::max(area.left(), area.right() - width())));
    }
    move(pos);
    show();
}

bool SettingsPopup::justClosedByClickOn(QWidget *button)
{
    // The click that belongs to the closing press arrives right after it.
    const bool closed = m_closedOnAnchor && button == m_anchor && m_closedAt.isValid() &&
                        m_closedAt.elapsed() < 800;
    m_closedOnAnchor = false;
    return closed;
}

void SettingsPopup::mousePressEvent(QMouseEvent *event)
{
    // A press on the anchor button closes the panel; the button's own click that follows must
    // then not open it again.
    if (m_anchor && !rect().contains(event->position().toPoint())) {
        const QPoint local = m_anchor->mapFromGlobal(event->globalPosition().toPoint());
        m_closedOnAnchor = m_anchor->rect().contains(local);
        m_closedAt.start();
    }
    QFrame::mousePressEvent(event);
}

void SettingsPopup::hideEvent(QHideEvent *event)
{
    QFrame::hideEvent(event);
    m_store.setShowSettings(false);
}

void SettingsPopup::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), theme::windowBackground());
    p.setPen(theme::separator());
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}

} // namespace mendral

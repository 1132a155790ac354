#include "ui/review/reviewbars.h"

#include "model/photogroup.h"
#include "store/appstore.h"
#include "ui/icons.h"
#include "ui/review/pill.h"
#include "ui/review/reviewview.h"
#include "ui/theme.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QToolButton>

namespace mendral {

namespace {

QFont monospaced(qreal px, QFont::Weight weight = QFont::Normal)
{
    QFont f = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    f.setPixelSize(int(px));
    f.setWeight(weight);
    return f;
}

QLabel *label(QWidget *parent, const QFont &font, const QColor &colour)
{
    auto *l = new QLabel(parent);
    l->setFont(font);
    theme::setForeground(l, colour);
    l->setWordWrap(false);
    return l;
}

QToolButton *iconButton(QWidget *parent)
{
    auto *b = new QToolButton(parent);
    b->setAutoRaise(true);
    b->setFocusPolicy(Qt::NoFocus);
    b->setToolButtonStyle(Qt::ToolButtonIconOnly);
    return b;
}

Pill chip(const QString &text, const QColor &tint)
{
    Pill pill;
    pill.text = text;
    pill.font = theme::font(10, QFont::Medium);
    pill.foreground = tint;
    pill.fill = theme::withAlpha(tint, 0.12);
    pill.padH = 7;
    pill.padV = 3;
    return pill;
}

void paintBar(QWidget *w)
{
    QPainter p(w);
    p.fillRect(w->rect(), theme::barBackground());
}

struct Hint {
    QStringList caps;
    QString word;
    int levels; // bit per level
};

std::vector<Hint> hints(bool actualSize)
{
    return {
        {{QStringLiteral("←"), QStringLiteral("→")}, QStringLiteral("换张"), 0b011},
        {{QStringLiteral("↑"), QStringLiteral("↓")}, QStringLiteral("换组"), 0b011},
        {{QStringLiteral("Tab")}, QStringLiteral("对比"), 0b111},
        {{QStringLiteral("⌘")}, QStringLiteral("多选"), 0b001},
        {{QStringLiteral("⏎")}, QStringLiteral("选/取消"), 0b111},
        {{QStringLiteral("A")}, QStringLiteral("采纳推荐"), 0b011},
        {{QStringLiteral("空格")}, actualSize ? QStringLiteral("缩回") : QStringLiteral("100%"), 0b001},
    };
}

Pill keycap(const QString &key)
{
    Pill pill;
    pill.text = key;
    pill.font = monospaced(9, QFont::Bold);
    pill.foreground = theme::primary(0.75);
    pill.fill = theme::primary(0.08);
    pill.padH = 4.5;
    pill.padV = 2;
    pill.radius = 3;
    return pill;
}

Pill hintWord(const QString &word)
{
    Pill pill;
    pill.text = word;
    pill.font = theme::font(10);
    pill.foreground = theme::tertiary();
    return pill;
}

constexpr qreal partGap = 3;
constexpr qreal levelGap[3] = {6, 8, 8};

} // namespace

ReviewTopBar::ReviewTopBar(ReviewView &view, QWidget *parent) : QWidget(parent), m_view(view)
{
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(14, 8, 14, 8);
    row->setSpacing(10);

    m_back = new QToolButton(this);
    m_back->setAutoRaise(true);
    m_back->setFocusPolicy(Qt::NoFocus);
    m_back->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_back->setText(QStringLiteral("总览"));
    m_back->setFont(theme::font(12));
    m_back->setIcon(icons::icon("chevron.left"));
    m_back->setIconSize(QSize(12, 12));
    connect(m_back, &QToolButton::clicked, this, [this] { m_view.store().closeReview(); });
    row->addWidget(m_back);

    auto *divider = new QWidget(this);
    divider->setFixedSize(1, 16);
    divider->setAutoFillBackground(true);
    QPalette dp = divider->palette();
    dp.setColor(QPalette::Window, theme::separator());
    divider->setPalette(dp);
    row->addWidget(divider);

    m_title = label(this, theme::font(13, QFont::DemiBold), theme::primary());
    row->addWidget(m_title);
    m_count = label(this, theme::font(11), theme::secondary());
    row->addWidget(m_count);
    m_position = label(this, monospaced(11), theme::tertiary());
    row->addWidget(m_position);
    row->addStretch(1);

    m_badge = new PillLabel(this);
    row->addWidget(m_badge);

    m_compare = iconButton(this);
    m_compare->setIconSize(QSize(14, 14));
    m_compare->setToolTip(QStringLiteral("并排对比组内全部照片（Tab / C）"));
    connect(m_compare, &QToolButton::clicked, this, [this] { m_view.toggleCompare(); });
    row->addWidget(m_compare);

    m_actual = iconButton(this);
    m_actual->setIconSize(QSize(13, 13));
    m_actual->setToolTip(QStringLiteral("切换 100% 实际像素（空格）"));
    connect(m_actual, &QToolButton::clicked, this, [this] { m_view.setActualSize(!m_view.actualSize()); });
    row->addWidget(m_actual);

    m_pane = iconButton(this);
    m_pane->setIconSize(QSize(12, 12));
    connect(m_pane, &QToolButton::clicked, this,
            [this] { m_view.store().setShowDecidedPane(!m_view.store().showDecidedPane()); });
    row->addWidget(m_pane);
}

void ReviewTopBar::sync()
{
    const PhotoGroup *group = m_view.group();
    if (!group)
        return;
    const AppStore &store = m_view.store();
    m_title->setText(QStringLiteral("第 %1 组").arg(group->id + 1));
    m_count->setText(QStringLiteral("%1 张 · 正在看第 %2 张").arg(group->count()).arg(m_view.cursor() + 1));

    const auto visible = store.visibleGroups();
    int at = -1;
    for (size_t i = 0; i < visible.size(); ++i)
        if (visible[i].id == group->id) {
            at = int(i);
            break;
        }
    m_position->setVisible(at >= 0);
    if (at >= 0)
        m_position->setText(QStringLiteral("（%1 / %2）").arg(at + 1).arg(visible.size()));

    Pill badge;
    badge.padH = 8;
    badge.padV = 3;
    switch (group->status()) {
    case GroupStatus::pending:
        badge.text = QStringLiteral("待确认");
        badge.symbol = "questionmark.circle";
        badge.font = theme::font(11);
        badge.foreground = theme::orange();
        badge.fill = theme::withAlpha(theme::orange(), 0.12);
        break;
    case GroupStatus::picked:
        badge.text = QStringLiteral("已选定 %1 张").arg(group->picks.size());
        badge.symbol = "checkmark.circle.fill";
        badge.font = theme::font(11, QFont::Medium);
        badge.foreground = Qt::white;
        badge.fill = theme::green();
        break;
    case GroupStatus::skipped:
        badge.text = QStringLiteral("已跳过");
        badge.symbol = "minus.circle";
        badge.font = theme::font(11);
        badge.foreground = theme::secondary();
        badge.padH = 0;
        break;
    }
    m_badge->setPill(badge);

    m_compare->setVisible(group->count() >= 2);
    m_compare->setIcon(m_view.compare() ? icons::icon("rectangle.split.1x2.fill", theme::accent())
                                        : icons::icon("rectangle.split.1x2", theme::primary()));
    m_actual->setIcon(icons::icon(m_view.actualSize() ? "arrow.down.right.and.arrow.up.left"
                                                      : "arrow.up.left.and.arrow.down.right"));
    const bool shown = store.showDecidedPane();
    m_pane->setIcon(icons::icon(shown ? "chevron.right" : "chevron.left", theme::secondary()));
    m_pane->setToolTip(shown ? QStringLiteral("收起右侧「已选」栏（⌘→）") : QStringLiteral("展开右侧「已选」栏（⌘←）"));
}

void ReviewTopBar::paintEvent(QPaintEvent *)
{
    paintBar(this);
}

ReviewKeyHints::ReviewKeyHints(QWidget *parent) : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
}

void ReviewKeyHints::setActualSize(bool on)
{
    if (on == m_actualSize)
        return;
    m_actualSize = on;
    updateGeometry();
    update();
}

QStringList ReviewKeyHints::words(int level) const
{
    QStringList out;
    for (const Hint &h : hints(m_actualSize))
        if (h.levels & (1 << level))
            out << h.word;
    return out;
}

qreal ReviewKeyHints::paintLevel(QPainter *p, int level, qreal x, qreal centreY) const
{
    const qreal start = x;
    bool first = true;
    for (const Hint &h : hints(m_actualSize)) {
        if (!(h.levels & (1 << level)))
            continue;
        if (!first)
            x += levelGap[level];
        first = false;
        for (const QString &cap : h.caps) {
            const Pill k = keycap(cap);
            const QSizeF s = k.size();
            if (p)
                k.paint(*p, QRectF(QPointF(x, centreY - s.height() / 2), s));
            x += s.width() + partGap;
        }
        const Pill w = hintWord(h.word);
        const QSizeF s = w.size();
        if (p)
            w.paint(*p, QRectF(QPointF(x, centreY - s.height() / 2), s));
        x += s.width();
    }
    return x - start;
}

int ReviewKeyHints::levelWidth(int level) const
{
    return int(std::ceil(paintLevel(nullptr, level, 0, 0)));
}

int ReviewKeyHints::chosenLevel() const
{
    for (int level = 0; level < 3; ++level)
        if (levelWidth(level) <= width())
            return level;
    return 2;
}

QSize ReviewKeyHints::sizeHint() const
{
    return {levelWidth(0), 20};
}

QSize ReviewKeyHints::minimumSizeHint() const
{
    return {0, 20};
}

void ReviewKeyHints::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const int level = chosenLevel();
    // Right-aligned: the space to the left is the bar's flexible gap.
    paintLevel(&p, level, width() - levelWidth(level), height() / 2.0);
}

ReviewActionBar::ReviewActionBar(ReviewView &view, QWidget *parent) : QWidget(parent), m_view(view)
{
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(14, 10, 14, 10);
    row->setSpacing(12);

    auto *chips = new QWidget(this);
    auto *chipRow = new QHBoxLayout(chips);
    chipRow->setContentsMargins(0, 0, 0, 0);
    chipRow->setSpacing(6);
    m_raw = new PillLabel(chips);
    m_raw->setPill(chip(QStringLiteral("RAW"), theme::secondary()));
    chipRow->addWidget(m_raw);
    m_companions = new PillLabel(chips);
    chipRow->addWidget(m_companions);
    row->addWidget(chips);

    m_selection = new QWidget(this);
    auto *selRow = new QHBoxLayout(m_selection);
    selRow->setContentsMargins(0, 0, 0, 0);
    selRow->setSpacing(5);
    m_selectionCount = new PillLabel(m_selection);
    selRow->addWidget(m_selectionCount);
    auto *howTo = new PillLabel(m_selection);
    Pill how;
    how.text = QStringLiteral("⏎ 一起选入 · 点空白取消");
    how.font = theme::font(10);
    how.foreground = theme::secondary();
    howTo->setPill(how);
    selRow->addWidget(howTo);
    row->addWidget(m_selection);

    row->addSpacing(8);
    m_hints = new ReviewKeyHints(this);
    row->addWidget(m_hints, 1);

    m_skip = new QPushButton(QStringLiteral("跳过本组"), this);
    m_skip->setFocusPolicy(Qt::NoFocus);
    m_skip->setFont(theme::font(13));
    m_skip->setToolTip(QStringLiteral("本组一张都不要，进入下一组"));
    m_skip->setMinimumHeight(28);
    m_skip->setStyleSheet(QStringLiteral("QPushButton { padding: 4px 18px; }"));
    connect(m_skip, &QPushButton::clicked, this, [this] { m_view.skipGroup(); });
    row->addWidget(m_skip);
}

void ReviewActionBar::sync()
{
    const Photo *photo = m_view.currentPhoto();
    m_raw->setVisible(photo && photo->isRAW && photo->fileSize > 0);
    const int companions = photo ? int(photo->companions.size()) : 0;
    m_companions->setVisible(companions >= 1);
    if (companions >= 1)
        m_companions->setPill(chip(QStringLiteral("+%1 关联文件").arg(companions), theme::secondary()));

    const size_t k = m_view.compareSel().size();
    m_selection->setVisible(k > 0);
    if (k > 0) {
        Pill count;
        count.text = QStringLiteral("已多选 %1 张").arg(k);
        count.symbol = "checkmark.circle.fill";
        count.font = theme::font(10, QFont::DemiBold);
        count.foreground = Qt::white;
        count.fill = theme::accent();
        count.padH = 7;
        count.padV = 3;
        m_selectionCount->setPill(count);
    }
    m_hints->setActualSize(m_view.actualSize());
}

void ReviewActionBar::paintEvent(QPaintEvent *)
{
    paintBar(this);
}

} // namespace mendral

#include "ui/groupcard.h"

#include "model/photo.h"
#include "ui/icons.h"
#include "ui/theme.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QToolTip>
#include <QPainter>
#include <QPainterPath>

namespace mendral {

namespace {

constexpr qreal kRadius = 9;
constexpr int kBadgeSide = 17;
constexpr int kBadgeInset = 6;

QString numberText(const PhotoGroup &g)
{
    return QStringLiteral("第 ") + QString::number(g.id + 1) + QStringLiteral(" 组");
}

QString detailText(const PhotoGroup &g)
{
    if (!g.picks.empty())
        return QStringLiteral("·已选 ") + QString::number(g.picks.size()) + QStringLiteral(" 张");
    return QStringLiteral("·") + QString::number(g.count()) + QStringLiteral(" 张");
}

} // namespace

GroupCard::GroupCard(ImageStore &images, QWidget *parent) : ThumbWidget(images, parent)
{
    setCursor(Qt::PointingHandCursor);
}

int GroupCard::shownPhotoIndex(const PhotoGroup &group)
{
    // A pick is a position within the group; the first pick in position order.
    for (int position : group.picks)
        if (position >= 0 && position < group.count())
            return group.indices[size_t(position)];
    return group.indices.empty() ? -1 : group.indices.front();
}

void GroupCard::setGroup(const PhotoGroup &group, const std::vector<Photo> &photos)
{
    m_group = group;
    m_shownIndex = shownPhotoIndex(group);
    const bool valid = m_shownIndex >= 0 && size_t(m_shownIndex) < photos.size();
    setPhotoUrl(valid ? photos[size_t(m_shownIndex)].url : QString());
    setToolTip(numberText(group) + QStringLiteral(" · ") + QString::number(group.count()) + QStringLiteral(" 张"));
    update();
}

void GroupCard::setSelected(bool selected)
{
    if (m_selected == selected)
        return;
    m_selected = selected;
    update();
}

QString GroupCard::captionText() const
{
    return numberText(m_group) + detailText(m_group);
}

void GroupCard::setFrame(const QRect &frame)
{
    setGeometry(frame.adjusted(-glowMargin, -glowMargin, glowMargin, glowMargin));
}

QRect GroupCard::frame() const
{
    return geometry().adjusted(glowMargin, glowMargin, -glowMargin, -glowMargin);
}

QRectF GroupCard::reviewMarkRect() const
{
    if (m_group.status() != GroupStatus::pending || !m_group.needsReview)
        return {};
    // Where a decided group's status badge sits: a pending group has none.
    const QRectF card = QRectF(rect()).adjusted(glowMargin, glowMargin, -glowMargin, -glowMargin);
    return {card.right() - kBadgeInset - kBadgeSide, card.top() + kBadgeInset, qreal(kBadgeSide), qreal(kBadgeSide)};
}

QString GroupCard::toolTipAt(QPoint point) const
{
    const QRectF mark = reviewMarkRect();
    if (!mark.isEmpty() && mark.adjusted(-2, -2, 2, 2).contains(point))
        return m_group.reason.isEmpty() ? QStringLiteral("需确认") : m_group.reason;
    return toolTip();
}

bool GroupCard::event(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        auto *help = static_cast<QHelpEvent *>(event);
        QToolTip::showText(help->globalPos(), toolTipAt(help->pos()), this);
        return true;
    }
    return ThumbWidget::event(event);
}

void GroupCard::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF card = QRectF(rect()).adjusted(glowMargin, glowMargin, -glowMargin, -glowMargin);
    const QRectF thumb(card.left(), card.top(), card.width(), thumbHeight);

    if (m_selected) {
        // The glow: the accent colour fading outwards over about five pixels.
        for (int i = 5; i >= 1; --i) {
            p.setPen(QPen(theme::withAlpha(theme::accent(), 0.09 * (6 - i)), 1.0));
            p.setBrush(Qt::NoBrush);
            p.drawRoundedRect(thumb.adjusted(-i, -i, i, i), kRadius + i, kRadius + i);
        }
    }
    paintThumbnail(p, thumb, kRadius);
    if (m_selected) {
        p.setPen(QPen(theme::accent(), 2.5));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(thumb.adjusted(0.5, 0.5, -0.5, -0.5), kRadius, kRadius);
    }

    // Status badge at the top-right corner.
    const GroupStatus status = m_group.status();
    if (status == GroupStatus::picked) {
        QFont f = theme::font(10, QFont::Bold);
        const QString digits = QString::number(m_group.picks.size());
        const int w = std::max(kBadgeSide, QFontMetrics(f).horizontalAdvance(digits) + 8);
        const QRectF badge(thumb.right() - kBadgeInset - w, thumb.top() + kBadgeInset, w, kBadgeSide);
        p.setPen(Qt::NoPen);
        p.setBrush(theme::green());
        p.drawRoundedRect(badge, kBadgeSide / 2.0, kBadgeSide / 2.0);
        p.setPen(Qt::white);
        p.setFont(f);
        p.drawText(badge, Qt::AlignCenter, digits);
    } else if (status == GroupStatus::skipped) {
        const QRectF badge(thumb.right() - kBadgeInset - kBadgeSide, thumb.top() + kBadgeInset, kBadgeSide,
                           kBadgeSide);
        p.setPen(Qt::NoPen);
        p.setBrush(theme::gray());
        p.drawEllipse(badge);
        const QPixmap minus = icons::pixmap("minus", 9, Qt::white, devicePixelRatioF());
        p.drawPixmap(QPointF(badge.center().x() - 4.5, badge.center().y() - 4.5), minus);
    }

    const QRectF mark = reviewMarkRect();
    if (!mark.isEmpty()) {
        p.setPen(QPen(QColor(255, 255, 255, 200), 1));
        p.setBrush(theme::orange());
        p.drawEllipse(mark.adjusted(0.5, 0.5, -0.5, -0.5));
        p.setPen(Qt::white);
        p.setFont(theme::font(11, QFont::Bold));
        p.drawText(mark, Qt::AlignCenter, QStringLiteral("!"));
    }

    // Caption: the number, then the picks in green or the size in the secondary colour.
    const QRectF caption(card.left(), thumb.bottom() + captionGap, card.width(), captionHeight);
    const QFont numberFont = theme::font(11.5, QFont::Medium);
    const QFont detailFont = theme::font(11);
    const QString number = numberText(m_group);
    const QString detail = detailText(m_group);
    const qreal numberWidth = QFontMetricsF(numberFont).horizontalAdvance(number);
    p.setFont(numberFont);
    p.setPen(theme::primary());
    p.drawText(caption, Qt::AlignLeft | Qt::AlignVCenter, number);
    p.setFont(detailFont);
    p.setPen(m_group.picks.empty() ? theme::secondary() : theme::green());
    const QRectF rest = caption.adjusted(numberWidth, 0, 0, 0);
    p.drawText(rest, Qt::AlignLeft | Qt::AlignVCenter,
               QFontMetrics(detailFont).elidedText(detail, Qt::ElideRight, int(rest.width())));
}

void GroupCard::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        Q_EMIT clicked(m_group.id);
        event->accept();
        return;
    }
    ThumbWidget::mousePressEvent(event);
}

void GroupCard::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        Q_EMIT doubleClicked(m_group.id);
        event->accept();
        return;
    }
    ThumbWidget::mouseDoubleClickEvent(event);
}

} // namespace mendral

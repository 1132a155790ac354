#include "ui/groupgridview.h"

#include "imagecache/imagestore.h"
#include "store/appstore.h"
#include "ui/decidedrail.h"
#include "ui/grouppane.h"
#include "ui/review/reviewview.h"
#include "ui/theme.h"
#include "ui/widgets.h"

#include <QEasingCurve>
#include <QPainter>
#include <QVariantAnimation>

#include <cmath>

namespace mendral {

int GroupGridView::leftWidthFor(int width, qreal shown)
{
    const qreal hidden = width - railWidth;
    const qreal open = width * 0.6;
    return std::max(0, int(std::lround(hidden + (open - hidden) * std::clamp(shown, 0.0, 1.0))));
}

GroupGridView::GroupGridView(AppStore &store, ImageStore *images, QWidget *parent)
    : QWidget(parent), m_store(store), m_images(images ? *images : ImageStore::shared())
{
    m_pending = new GroupPane(store, GroupPane::Kind::pending, m_images, this);
    m_decided = new GroupPane(store, GroupPane::Kind::decided, m_images, this);
    m_rail = new DecidedRail(store, railWidth, this);
    m_divider = new Divider(Qt::Vertical, this);
    for (GroupPane *pane : {m_pending, m_decided})
        connect(pane, &GroupPane::thumbnailLoaded, this, &GroupGridView::thumbnailLoaded);

    m_slide = new QVariantAnimation(this);
    m_slide->setDuration(slideMilliseconds);
    m_slide->setEasingCurve(QEasingCurve::InOutQuad);
    connect(m_slide, &QVariantAnimation::valueChanged, this, [this](const QVariant &v) {
        m_shown = v.toReal();
        layoutParts();
    });

    m_shown = m_store.showDecidedPane() ? 1 : 0;
    connect(&m_store, &AppStore::settingsChanged, this, &GroupGridView::followDecidedPane);
    connect(&m_store, &AppStore::selectionChanged, this, &GroupGridView::followReview);
    followReview();
    layoutParts();
}

bool GroupGridView::isSliding() const
{
    return m_slide->state() == QAbstractAnimation::Running;
}

void GroupGridView::followDecidedPane()
{
    const qreal target = m_store.showDecidedPane() ? 1 : 0;
    const qreal heading = isSliding() ? m_slide->endValue().toReal() : m_shown;
    if (heading == target)
        return;
    m_slide->stop();
    if (!isVisible()) {
        m_shown = target;
        layoutParts();
        return;
    }
    m_slide->setStartValue(m_shown);
    m_slide->setEndValue(target);
    m_slide->start();
}

void GroupGridView::followReview()
{
    const auto id = m_store.reviewGroupID();
    if (id && !m_review) {
        m_review = new ReviewView(m_store, this);
        m_review->setGroupID(*id);
        m_pending->hide();
        m_review->show();
        m_review->setFocus(Qt::OtherFocusReason);
        layoutParts();
    } else if (id && m_review) {
        if (m_review->groupID() != *id)
            m_review->setGroupID(*id);
    } else if (!id && m_review) {
        // The review screen goes; the pending pane comes back and takes focus as its rules say.
        ReviewView *old = m_review;
        m_review = nullptr;
        old->hide();
        old->deleteLater();
        m_pending->show();
        layoutParts();
        m_decided->applyFocusRules();
    }
}

void GroupGridView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    layoutParts();
}

void GroupGridView::layoutParts()
{
    const int w = width(), h = height();
    const int left = leftWidthFor(w, m_shown);
    QWidget *leftPart = m_review ? static_cast<QWidget *>(m_review) : m_pending;
    leftPart->setGeometry(0, 0, left, h);
    if (m_shown > 0) {
        m_rail->hide();
        m_decided->setGeometry(left + 1, 0, std::max(0, w - left - 1), h);
        m_decided->show();
    } else {
        m_decided->hide();
        m_rail->setGeometry(left, 0, railWidth, h);
        m_rail->show();
    }
    m_divider->setGeometry(left, 0, 1, h);
    m_divider->raise();
}

bool GroupGridView::visibleThumbnailsLoaded() const
{
    return m_pending->visibleThumbnailsLoaded() && m_decided->visibleThumbnailsLoaded();
}

void GroupGridView::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), theme::windowBackground());
    p.fillRect(rect(), theme::withAlpha(theme::underPageBackground(), 0.5));
}

} // namespace mendral

#include "ui/review/reviewcanvas.h"

#include "model/photogroup.h"
#include "ui/review/comparegrid.h"
#include "ui/review/overlay.h"
#include "ui/review/photocanvas.h"
#include "ui/review/pill.h"
#include "ui/review/reviewview.h"
#include "ui/widgets.h"
#include "ui/theme.h"

#include <QPainter>
#include <QVariantAnimation>

namespace mendral {

ReviewCanvas::ReviewCanvas(ReviewView &view, QWidget *parent)
    : QWidget(parent), m_view(view), m_spinner(new Spinner(28, this)), m_hintAnimation(new QVariantAnimation(this))
{
    m_pickLabel = new Overlay([this](QPainter &p, const QRect &r) { paintPickLabel(p, r); }, this);
    m_hint = new Overlay([this](QPainter &p, const QRect &r) { paintHint(p, r); }, this);
    m_hintAnimation->setDuration(150);
    m_hintAnimation->setEasingCurve(QEasingCurve::OutCubic);
    connect(m_hintAnimation, &QVariantAnimation::valueChanged, this, [this](const QVariant &v) {
        m_hintProgress = v.toReal();
        m_hint->update();
    });
}

void ReviewCanvas::sync()
{
    const PhotoGroup *group = m_view.group();
    const bool compareShown = m_view.compare() && group && group->count() > 1;
    if (compareShown) {
        delete m_photo;
        m_photo = nullptr;
        if (!m_grid) {
            m_grid = new CompareGrid(m_view, this);
            m_grid->setGeometry(rect());
            m_grid->show();
        }
        m_grid->sync();
    } else {
        delete m_grid;
        m_grid = nullptr;
        const Photo *photo = m_view.currentPhoto();
        if (!photo) {
            delete m_photo;
            m_photo = nullptr;
        } else if (!m_photo || m_photo->photo().id != photo->id) {
            // Each photo gets a fresh canvas, so a previous photo never shows while loading.
            delete m_photo;
            m_photo = new PhotoCanvas(m_view.images(), *photo, m_view.actualSize(), maxPixel, this,
                                      &m_view.fittedCache());
            // Stepping within a group at 100 % keeps looking at the same spot of the picture
            // (set before the canvas is shown, so its 100 % view starts there).
            m_photo->setStartSpot(m_view.actualSizeSpot());
            connect(m_photo, &PhotoCanvas::spotMoved, this, [this](QPointF spot) { m_view.setActualSizeSpot(spot); });
            m_photo->setGeometry(rect());
            m_photo->show();
        } else {
            if (m_view.actualSize() && !m_photo->actualSize())
                m_photo->setStartSpot(m_view.actualSizeSpot()); // entering 100 %: no spot yet, the face
            m_photo->setActualSize(m_view.actualSize());
        }
    }
    m_spinner->setVisible(!compareShown && !m_photo);
    m_pickLabel->setVisible(!compareShown);
    m_pickLabel->raise();
    m_pickLabel->update();

    const auto &hint = m_view.boundaryHint();
    if (hint && (!m_hintShown || *hint != m_hintText)) {
        m_hintText = *hint;
        m_hintShown = true;
        m_hintAnimation->stop();
        m_hintAnimation->setStartValue(0.0);
        m_hintAnimation->setEndValue(1.0);
        m_hintAnimation->start();
    } else if (!hint && m_hintShown) {
        m_hintShown = false;
        m_hintAnimation->stop();
        m_hintAnimation->setStartValue(m_hintProgress);
        m_hintAnimation->setEndValue(0.0);
        m_hintAnimation->start();
    }
    m_hint->raise();
}

bool ReviewCanvas::showsSpinner() const
{
    return m_spinner->isVisibleTo(this) || (m_photo && !m_photo->hasImage());
}

QString ReviewCanvas::pickLabelText() const
{
    const PhotoGroup *group = m_view.group();
    if (!group || group->picks.empty() || !m_view.currentPhoto())
        return {};
    const int k = int(group->picks.size());
    if (group->picks.count(m_view.cursor()))
        return k == 1 ? QStringLiteral("已选定这张") : QStringLiteral("已选定这张（共 %1 张）").arg(k);
    QStringList list;
    for (int p : group->picks)
        list << QString::number(p + 1);
    return QStringLiteral("已选定：第 %1 张").arg(list.join(QStringLiteral("、")));
}

QString ReviewCanvas::recommendationText() const
{
    const PhotoGroup *group = m_view.group();
    if (!group || !m_view.currentPhoto() || m_view.cursor() != group->recommended)
        return {};
    return group->reason.isEmpty() ? QStringLiteral("推荐") : QStringLiteral("推荐 · ") + group->reason;
}

bool ReviewCanvas::recommendationNeedsReview() const
{
    const PhotoGroup *group = m_view.group();
    return group && group->needsReview && !recommendationText().isEmpty();
}

QRectF ReviewCanvas::paintRecommendation(QPainter &p, QPointF at) const
{
    const QString text = recommendationText();
    if (text.isEmpty())
        return {};
    // Quiet: small text on a light capsule. A group that needs a closer look says so in orange.
    Pill pill;
    pill.text = recommendationNeedsReview() ? text + QStringLiteral(" · 需确认") : text;
    if (recommendationNeedsReview())
        pill.symbol = "exclamationmark.triangle";
    pill.font = theme::font(11);
    pill.foreground = recommendationNeedsReview() ? theme::orange() : theme::secondary();
    QColor material = palette().color(QPalette::Window);
    material.setAlphaF(0.85f);
    pill.fill = material;
    pill.padH = 9;
    pill.padV = 4;
    const QRectF r(at, pill.size());
    pill.paint(p, r);
    return r;
}

void ReviewCanvas::paintPickLabel(QPainter &p, const QRect &) const
{
    const QString text = pickLabelText();
    if (text.isEmpty()) {
        paintRecommendation(p, QPointF(10, 10));
        return;
    }
    const PhotoGroup *group = m_view.group();
    const bool onThis = group && group->picks.count(m_view.cursor());
    Pill pill;
    pill.text = text;
    pill.symbol = "checkmark.circle.fill";
    pill.padH = 10;
    pill.padV = 5;
    if (onThis) {
        pill.font = theme::font(12, QFont::DemiBold);
        pill.foreground = Qt::white;
        pill.fill = theme::green();
    } else {
        pill.font = theme::font(11, QFont::Medium);
        pill.foreground = theme::primary();
        pill.fill = theme::withAlpha(theme::green(), 0.16);
    }
    pill.paint(p, QRectF(QPointF(10, 10), pill.size()));
    paintRecommendation(p, QPointF(10, 10 + pill.size().height() + 6));
}

void ReviewCanvas::paintHint(QPainter &p, const QRect &r) const
{
    if (m_hintProgress <= 0 || m_hintText.isEmpty())
        return;
    Pill pill;
    pill.text = m_hintText;
    pill.font = theme::font(12, QFont::Medium);
    pill.foreground = Qt::white;
    pill.fill = QColor(0, 0, 0, 166);
    pill.padH = 14;
    pill.padV = 7;
    const QSizeF s = pill.size();
    // Slides up from the bottom edge while it fades in.
    const qreal rest = r.height() - 18 - s.height();
    const qreal y = rest + (1 - m_hintProgress) * (18 + s.height());
    p.setOpacity(m_hintProgress);
    pill.paint(p, QRectF(QPointF((r.width() - s.width()) / 2, y), s));
}

void ReviewCanvas::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), theme::withAlpha(palette().color(QPalette::Base), 0.96));
}

void ReviewCanvas::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    layoutChildren();
}

void ReviewCanvas::layoutChildren()
{
    if (m_photo)
        m_photo->setGeometry(rect());
    if (m_grid)
        m_grid->setGeometry(rect());
    m_spinner->move(rect().center() - QPoint(13, 13));
    m_pickLabel->setGeometry(rect());
    m_hint->setGeometry(rect());
}

} // namespace mendral

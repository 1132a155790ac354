#include "ui/review/actualsizecanvas.h"

#include "platform/whendone.h"
#include "ui/review/navigator.h"
#include "ui/review/pill.h"
#include "ui/review/reviewgeometry.h"
#include "ui/theme.h"

#include <QEnterEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QVariantAnimation>
#include <QtConcurrent/QtConcurrentRun>

namespace mendral {

namespace {
// Faces are looked for on a copy no longer than this: the boxes are normalised, and faces that
// matter at 100 % are large.
constexpr int faceSearchMaxPixel = 1600;
} // namespace

std::vector<NormRect> ActualSizeCanvas::findFaces(const QImage &image)
{
    if (image.isNull())
        return {};
    QImage small = image;
    if (std::max(image.width(), image.height()) > faceSearchMaxPixel)
        small = image.scaled(faceSearchMaxPixel, faceSearchMaxPixel, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    const auto found = defaultVision().detectFacesAndHumans(small);
    std::vector<NormRect> boxes;
    if (found)
        for (const FaceObservation &f : found->faces)
            boxes.push_back(f.boundingBox);
    return boxes;
}

ActualSizeCanvas::ActualSizeCanvas(const QImage &image, QWidget *parent, FaceFinder finder)
    : QWidget(parent), m_image(image), m_finder(finder ? std::move(finder) : FaceFinder(&ActualSizeCanvas::findFaces))
{
    setMouseTracking(true);
    setCursor(Qt::ArrowCursor);
    m_glide = new QVariantAnimation(this);
    m_glide->setDuration(glideMilliseconds);
    m_glide->setEasingCurve(QEasingCurve::OutCubic);
    connect(m_glide, &QVariantAnimation::valueChanged, this, [this](const QVariant &v) {
        m_offset = v.toPointF();
        updateNavigator();
        update();
    });
    connect(m_glide, &QVariantAnimation::finished, this, [this] { Q_EMIT spotMoved(spot()); });
}

void ActualSizeCanvas::startAt(QPointF spot)
{
    m_startSpot = spot;
    if (m_shown)
        setSpot(spot);
}

QPointF ActualSizeCanvas::spot() const
{
    return reviewgeometry::spotForOffset(offsetInUse(), imageSize(), viewSize());
}

void ActualSizeCanvas::setSpot(QPointF spot)
{
    m_glide->stop();
    m_offset = clamp(reviewgeometry::offsetForSpot(spot, imageSize(), viewSize()));
    updateNavigator();
    update();
}

void ActualSizeCanvas::setShowsHint(bool on)
{
    m_showsHint = on;
    update();
}

void ActualSizeCanvas::setShowsNavigator(bool on)
{
    m_showsNavigator = on;
    updateNavigator();
}

void ActualSizeCanvas::updateNavigator()
{
    const bool wanted = m_showsNavigator && isPannable();
    if (!wanted) {
        if (m_navigator)
            m_navigator->hide();
        return;
    }
    if (!m_navigator) {
        m_navigator = new Navigator(imageSize(), this);
        connect(m_navigator, &Navigator::moveRequested, this, [this](QPointF to) {
            if (m_isDragging)
                return;
            setSpot(to);
            Q_EMIT spotMoved(spot());
        });
        placeNavigator();
    }
    if (!m_thumbnailRequested) {
        // The small copy is made off the main thread; the outline shows meanwhile.
        m_thumbnailRequested = true;
        const QSize target = m_navigator->pictureRect().size().toSize();
        whenResult(this,
                   QtConcurrent::run([image = m_image, target] {
                       return image.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
                   }),
                   [this](const QImage &small) { m_navigator->setThumbnail(small); }, IfReceiverGoes::cancel);
    }
    m_navigator->setVisibleRect(reviewgeometry::visibleImageRect(offsetInUse(), imageSize(), viewSize()));
    m_navigator->show();
}

void ActualSizeCanvas::placeNavigator()
{
    if (m_navigator)
        m_navigator->move(width() - 10 - m_navigator->width(), height() - 10 - m_navigator->height());
}

ActualSizeCanvas::~ActualSizeCanvas() = default;

QSizeF ActualSizeCanvas::imageSize() const
{
    return QSizeF(m_image.size());
}

QPointF ActualSizeCanvas::clamp(QPointF offset) const
{
    return reviewgeometry::clampOffset(offset, imageSize(), viewSize());
}

QPointF ActualSizeCanvas::offsetInUse() const
{
    return clamp(m_offset.value_or(reviewgeometry::centredOffset(imageSize(), viewSize())));
}

bool ActualSizeCanvas::isPannable() const
{
    return reviewgeometry::isPannable(imageSize(), viewSize());
}

void ActualSizeCanvas::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setClipRect(rect());
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    // At whole pixels: one image pixel per screen pixel, copied rather than resampled.
    p.drawImage(offsetInUse().toPoint(), m_image);
    if (m_showsHint && isPannable()) {
        Pill hint;
        hint.text = QStringLiteral("拖动查看局部 · 空格缩回");
        hint.font = theme::font(10, QFont::Medium);
        hint.foreground = Qt::white;
        hint.fill = QColor(0, 0, 0, 128);
        hint.padH = 10;
        hint.padV = 4;
        const QSizeF s = hint.size();
        hint.paint(p, QRectF(QPointF((width() - s.width()) / 2, height() - 10 - s.height()), s));
    }
}

void ActualSizeCanvas::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!m_shown) {
        m_shown = true;
        if (m_startSpot)
            setSpot(*m_startSpot);
        else
            centreOnFace();
    }
    updateNavigator();
}

void ActualSizeCanvas::resizeEvent(QResizeEvent *event)
{
    const QPointF kept =
        m_offset ? reviewgeometry::spotForOffset(*m_offset, imageSize(), QSizeF(event->oldSize())) : QPointF(0.5, 0.5);
    QWidget::resizeEvent(event);
    if (m_shown) {
        if (m_startSpot)
            setSpot(kept); // a spot carried over stays where it was, not on the face
        else
            centreOnFace();
    }
    placeNavigator();
    updateNavigator();
    updateCursor();
}

void ActualSizeCanvas::centreOnFace()
{
    if (!m_offset)
        m_offset = reviewgeometry::centredOffset(imageSize(), viewSize());
    if (m_faces) {
        applyFaces(*m_faces);
        return;
    }
    if (m_searching)
        return; // the answer will be applied with the size then current
    m_searching = true;
    whenResult(this, QtConcurrent::run([finder = m_finder, image = m_image] { return finder(image); }),
               [this](std::vector<NormRect> faces) {
                   m_searching = false;
                   m_faces = std::move(faces);
                   applyFaces(*m_faces);
               }, IfReceiverGoes::cancel);
}

void ActualSizeCanvas::applyFaces(const std::vector<NormRect> &faces)
{
    m_faceSearchDone = true;
    if (!m_isDragging) {
        const QPointF target = clamp(reviewgeometry::faceOffset(faces, imageSize(), viewSize()));
        m_glide->stop();
        m_glide->setStartValue(offsetInUse());
        m_glide->setEndValue(target);
        m_glide->start();
    }
    Q_EMIT faceSearchFinished();
}

void ActualSizeCanvas::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        m_pressPos = event->position();
}

void ActualSizeCanvas::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_pressPos || !(event->buttons() & Qt::LeftButton))
        return;
    const QPointF translation = event->position() - *m_pressPos;
    if (!m_dragOrigin && std::max(std::abs(translation.x()), std::abs(translation.y())) < 1)
        return;
    if (!isPannable())
        return;
    if (!m_dragOrigin) {
        // Take over from a glide in flight: the drag starts where the picture is now.
        m_glide->stop();
        m_dragOrigin = offsetInUse();
        m_isDragging = true;
        updateCursor();
    }
    m_offset = clamp(*m_dragOrigin + translation);
    updateNavigator();
    update();
    Q_EMIT spotMoved(spot());
}

void ActualSizeCanvas::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    if (m_pressPos && !m_dragOrigin)
        Q_EMIT clicked();
    m_pressPos.reset();
    m_dragOrigin.reset();
    m_isDragging = false;
    updateCursor();
}

void ActualSizeCanvas::enterEvent(QEnterEvent *event)
{
    m_hovering = true;
    updateCursor();
    QWidget::enterEvent(event);
}

void ActualSizeCanvas::leaveEvent(QEvent *event)
{
    m_hovering = false;
    updateCursor();
    QWidget::leaveEvent(event);
}

void ActualSizeCanvas::updateCursor()
{
    if (m_isDragging)
        setCursor(Qt::ClosedHandCursor);
    else if (m_hovering && isPannable())
        setCursor(Qt::OpenHandCursor);
    else
        setCursor(Qt::ArrowCursor);
}

} // namespace mendral

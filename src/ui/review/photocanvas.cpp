#include "ui/review/photocanvas.h"

#include "imagecache/imagestore.h"
#include "platform/whendone.h"
#include "ui/review/actualsizecanvas.h"
#include "ui/review/fittedcache.h"
#include "ui/review/reviewgeometry.h"
#include "ui/widgets.h"

#include <QPainter>
#include <QtConcurrent/QtConcurrentRun>

namespace mendral {

namespace {

QImage reduced(const QImage &image, QSize size)
{
    return image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

} // namespace

PhotoCanvas::PhotoCanvas(ImageStore &images, const Photo &photo, bool actualSize, int maxPixel, QWidget *parent,
                         FittedCache *fitted)
    : QWidget(parent), m_photo(photo), m_actualSize(actualSize), m_maxPixel(maxPixel), m_fittedCache(fitted)
{
    if (m_fittedCache)
        connect(m_fittedCache, &FittedCache::ready, this, [this](const QString &url, QSize size) {
            if (url == m_photo.url && size == fittedSize()) {
                m_fitted = m_fittedCache->find(url, size);
                update();
            }
        });
    m_spinner = new Spinner(28, this);
    m_spinner->setAttribute(Qt::WA_TransparentForMouseEvents);
    QFuture<QImage> load = images.thumbnail(m_photo.url, m_maxPixel);
    // A memory hit is ready at once: show it in this very frame rather than after a spinner.
    if (load.isFinished()) {
        setImage(load.resultCount() ? load.result() : QImage());
    } else {
        whenDone(this, load, [this](const QFuture<QImage> &done) {
            setImage(done.resultCount() ? done.result() : QImage());
        }, IfReceiverGoes::cancel);
    }
    rebuild();
}

void PhotoCanvas::setImage(const QImage &image)
{
    if (image.isNull())
        return; // the spinner stays
    const auto f = image.format();
    m_image = (f == QImage::Format_RGB32 || f == QImage::Format_ARGB32_Premultiplied)
                  ? image
                  : image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                                  : QImage::Format_RGB32);
    rebuild();
    requestFitted();
    Q_EMIT imageLoaded();
}

void PhotoCanvas::setActualSize(bool on)
{
    if (on == m_actualSize)
        return;
    m_actualSize = on;
    rebuild();
}

void PhotoCanvas::setStartSpot(std::optional<QPointF> spot)
{
    m_startSpot = spot;
    if (m_actual && spot)
        m_actual->startAt(*spot);
}

void PhotoCanvas::setActualSizeExtras(bool hint, bool navigator)
{
    m_showsHint = hint;
    m_showsNavigator = navigator;
    if (m_actual) {
        m_actual->setShowsHint(hint);
        m_actual->setShowsNavigator(navigator);
    }
}

void PhotoCanvas::rebuild()
{
    m_spinner->setVisible(m_image.isNull());
    m_spinner->move(rect().center() - QPoint(13, 13));
    const bool wantActual = m_actualSize && !m_image.isNull();
    if (wantActual && !m_actual) {
        // A fresh 100 % view each time: it starts centred and finds the face again.
        m_actual = new ActualSizeCanvas(m_image, this);
        if (m_startSpot)
            m_actual->startAt(*m_startSpot);
        m_actual->setShowsHint(m_showsHint);
        m_actual->setShowsNavigator(m_showsNavigator);
        connect(m_actual, &ActualSizeCanvas::spotMoved, this, &PhotoCanvas::spotMoved);
        connect(m_actual, &ActualSizeCanvas::clicked, this, &PhotoCanvas::actualSizeClicked);
        m_actual->setGeometry(rect());
        m_actual->show();
    } else if (!wantActual && m_actual) {
        delete m_actual;
        m_actual = nullptr;
    }
    update();
}

void PhotoCanvas::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    m_spinner->move(rect().center() - QPoint(13, 13));
    if (m_actual)
        m_actual->setGeometry(rect());
    requestFitted();
}

QSize PhotoCanvas::fittedSize() const
{
    return reviewgeometry::fittedRect(QSizeF(m_image.size()), QSizeF(size())).size().toSize();
}

void PhotoCanvas::requestFitted()
{
    if (m_image.isNull() || m_actualSize)
        return;
    const QSize target = fittedSize();
    if (target.isEmpty() || target == m_fitted.size() || target.width() >= m_image.width())
        return;
    if (m_fittedCache) {
        const QImage ready = m_fittedCache->find(m_photo.url, target);
        if (!ready.isNull())
            m_fitted = ready;
        else
            m_fittedCache->prepare(m_photo.url, m_image, target);
        return;
    }
    const int request = ++m_fittedRequest;
    whenResult(this, QtConcurrent::run(reduced, m_image, target), [this, request](QImage img) {
        if (request != m_fittedRequest)
            return; // the size changed again meanwhile
        m_fitted = std::move(img);
        update();
    }, IfReceiverGoes::cancel);
}

void PhotoCanvas::paintEvent(QPaintEvent *)
{
    if (m_image.isNull() || m_actual)
        return;
    const QRectF target = reviewgeometry::fittedRect(QSizeF(m_image.size()), QSizeF(size()));
    if (target.isEmpty())
        return;
    QPainter p(this);
    if (m_fitted.size() == target.size().toSize()) {
        p.drawImage(target.topLeft(), m_fitted);
    } else {
        // Until the careful copy is ready, a quick filtered draw of the large image.
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.drawImage(target, m_image);
    }
}

} // namespace mendral

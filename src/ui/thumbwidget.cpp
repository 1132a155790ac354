#include "ui/thumbwidget.h"

#include "imagecache/imagestore.h"
#include "platform/whendone.h"
#include "ui/icons.h"
#include "ui/theme.h"

#include <QFuture>
#include <QPainter>
#include <QPainterPath>

namespace mendral {

ThumbWidget::ThumbWidget(ImageStore &images, QWidget *parent) : QWidget(parent), m_images(images) {}

void ThumbWidget::setPhotoUrl(const QString &url)
{
    if (url == m_url)
        return;
    m_url = url;
    m_pixmap = QPixmap();
    m_requested = false;
    m_loaded = false;
    ++m_generation;
    update();
}

void ThumbWidget::requestThumbnail()
{
    if (m_requested || m_url.isEmpty())
        return;
    m_requested = true;
    const int generation = m_generation;
    // The answer is taken on this widget's (the main) thread, and not at all once the widget is
    // gone; the pixmap is made there.
    whenResult(this, m_images.thumbnail(m_url, thumbnailPixels), [this, generation](const QImage &image) {
        if (generation != m_generation)
            return;
        m_pixmap = image.isNull() ? QPixmap() : QPixmap::fromImage(image);
        m_loaded = true;
        update();
        Q_EMIT thumbnailLoaded();
    }, IfReceiverGoes::cancel);
}

void ThumbWidget::paintThumbnail(QPainter &p, const QRectF &target, qreal radius) const
{
    QPainterPath clip;
    clip.addRoundedRect(target, radius, radius);
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.setClipPath(clip);
    if (!m_pixmap.isNull()) {
        // Fill the frame, cropping the longer side around the centre.
        const QSizeF source = m_pixmap.deviceIndependentSize();
        const qreal scale = std::max(target.width() / source.width(), target.height() / source.height());
        const QSizeF drawn = source * scale;
        const QRectF rect(target.center().x() - drawn.width() / 2, target.center().y() - drawn.height() / 2,
                          drawn.width(), drawn.height());
        p.drawPixmap(rect, m_pixmap, QRectF(QPointF(0, 0), QSizeF(m_pixmap.size())));
    } else {
        p.fillRect(target, theme::primary(0.06));
        const int side = int(std::min(28.0, std::min(target.width(), target.height()) / 3));
        if (side > 4) {
            const QPixmap symbol = icons::pixmap("photo", side, theme::tertiary(), p.device()->devicePixelRatioF());
            p.drawPixmap(QPointF(target.center().x() - side / 2.0, target.center().y() - side / 2.0), symbol);
        }
    }
    p.restore();
}

} // namespace mendral

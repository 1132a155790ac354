#pragma once

#include "model/photo.h"

#include <QImage>
#include <QPointF>
#include <QWidget>

#include <optional>

namespace mendral {

class ActualSizeCanvas;
class FittedCache;
class ImageStore;
class Spinner;

/**
 * One photo fitted whole and centred in the widget, or at 100 % in an ActualSizeCanvas. The
 * image comes from the image cache at maxPixel on its long side; a spinner turns until it is
 * there (and stays when the cache has none). A canvas shows one photo for its whole life.
 */
class PhotoCanvas : public QWidget {
    Q_OBJECT

public:
    /** fitted: where reduced copies are shared between canvases (null: the canvas makes its own). */
    PhotoCanvas(ImageStore &images, const Photo &photo, bool actualSize, int maxPixel, QWidget *parent = nullptr,
                FittedCache *fitted = nullptr);

    const Photo &photo() const { return m_photo; }
    int maxPixel() const { return m_maxPixel; }
    bool actualSize() const { return m_actualSize; }
    void setActualSize(bool on);
    bool hasImage() const { return !m_image.isNull(); }
    const QImage &image() const { return m_image; }
    ActualSizeCanvas *actualSizeCanvas() const { return m_actual; }
    /** Where a 100 % view made from now on starts (absent: on the face). */
    void setStartSpot(std::optional<QPointF> spot);
    /** Whether its 100 % view shows the pannable hint and the navigator. */
    void setActualSizeExtras(bool hint, bool navigator);

Q_SIGNALS:
    void imageLoaded();
    /** Its 100 % view was moved (ActualSizeCanvas::spotMoved). */
    void spotMoved(QPointF spot);
    /** Its 100 % view was clicked without a drag. */
    void actualSizeClicked();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void setImage(const QImage &image);
    void rebuild();
    void requestFitted();

    Photo m_photo;
    bool m_actualSize;
    int m_maxPixel;
    QImage m_image;
    QImage m_fitted; // a carefully reduced copy for the current size, made off the main thread
    int m_fittedRequest = 0;
    FittedCache *m_fittedCache = nullptr;
    QSize fittedSize() const;
    Spinner *m_spinner = nullptr;
    ActualSizeCanvas *m_actual = nullptr;
    std::optional<QPointF> m_startSpot;
    bool m_showsHint = true;
    bool m_showsNavigator = true;
};

} // namespace mendral

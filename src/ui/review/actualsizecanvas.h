#pragma once

#include "vision/vision.h"

#include <QImage>
#include <QPointF>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QVariantAnimation;

namespace mendral {

/**
 * A photo at its own size (one image pixel per point) inside the widget, panned by dragging.
 * It starts centred and then glides to the largest face, found off the main thread; the face
 * result is dropped when it arrives during a drag, so the picture never jumps under the hand.
 */
class Navigator;

class ActualSizeCanvas : public QWidget {
    Q_OBJECT

public:
    /** Finds faces in an image (normalised boxes, origin bottom left); runs on a worker thread. */
    using FaceFinder = std::function<std::vector<NormRect>(const QImage &)>;

    explicit ActualSizeCanvas(const QImage &image, QWidget *parent = nullptr, FaceFinder finder = {});
    ~ActualSizeCanvas() override;

    /** The program's face finder: the vision component on a reduced copy of the image. */
    static std::vector<NormRect> findFaces(const QImage &image);

    QSizeF imageSize() const;
    QSizeF viewSize() const { return QSizeF(size()); }
    std::optional<QPointF> offset() const { return m_offset; }
    /** The offset laid out now: the stored one clamped, or the centred one. */
    QPointF offsetInUse() const;
    QPointF clamp(QPointF offset) const;
    bool isPannable() const;
    bool isDragging() const { return m_isDragging; }
    bool isHovering() const { return m_hovering; }
    /** True once a face search has come back (applied or dropped). */
    bool faceSearchDone() const { return m_faceSearchDone; }

    /**
     * Start on this spot (a point of the image, 0…1, put at the view's centre) instead of on
     * the face, and keep it when the view is resized. Call before the canvas is shown.
     */
    void startAt(QPointF spot);
    /** The spot at the view's centre now. */
    QPointF spot() const;
    /** Moves the view to centre a spot, at once; announces nothing. */
    void setSpot(QPointF spot);
    /** The pannable hint at the bottom ("拖动查看局部 · 空格缩回"); on by default. */
    void setShowsHint(bool on);
    /** The navigator in the corner while the image overhangs; on by default. */
    void setShowsNavigator(bool on);
    Navigator *navigator() const { return m_navigator; }

    static constexpr int glideMilliseconds = 180;

Q_SIGNALS:
    void faceSearchFinished();
    /** The view was moved: by a drag, the navigator, or the glide to a face coming to rest. */
    void spotMoved(QPointF spot);
    /** A press and release without a drag. */
    void clicked();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    void centreOnFace();
    void applyFaces(const std::vector<NormRect> &faces);
    void updateCursor();
    void updateNavigator();
    void placeNavigator();

    QImage m_image;
    FaceFinder m_finder;
    std::optional<QPointF> m_offset;
    std::optional<QPointF> m_dragOrigin;
    bool m_isDragging = false;
    bool m_hovering = false;
    std::optional<QPointF> m_pressPos;
    bool m_shown = false;
    bool m_faceSearchDone = false;
    std::optional<std::vector<NormRect>> m_faces; // found once per image
    bool m_searching = false;
    QVariantAnimation *m_glide = nullptr;
    std::optional<QPointF> m_startSpot; // kept from the previous photo: no face search
    bool m_showsHint = true;
    bool m_showsNavigator = true;
    Navigator *m_navigator = nullptr;
    bool m_thumbnailRequested = false;
};

} // namespace mendral

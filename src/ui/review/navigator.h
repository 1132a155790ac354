#pragma once

#include <QImage>
#include <QRectF>
#include <QWidget>

namespace mendral {

/**
 * The whole photo in small, in a corner of the 100 % view, with the part on screen outlined.
 * A click or a drag on it asks for the view to be centred on that point of the photo.
 */
class Navigator : public QWidget {
    Q_OBJECT

public:
    /** The longest side of the small photo. */
    static constexpr int side = 150;

    explicit Navigator(QSizeF imageSize, QWidget *parent = nullptr);
    /** The small copy of the photo; until it is set only the outline is drawn. */
    void setThumbnail(const QImage &thumbnail);
    /** The visible part, in image-relative coordinates (0…1). */
    void setVisibleRect(const QRectF &visible);
    const QRectF &visibleRect() const { return m_visible; }
    /** Where the small photo is drawn, in the widget. */
    QRectF pictureRect() const;

    QSize sizeHint() const override;

Q_SIGNALS:
    /** The user asked to look at this point of the photo (image-relative). */
    void moveRequested(QPointF spot);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    void request(QPointF at);

    QSizeF m_imageSize;
    QImage m_thumbnail;
    QRectF m_visible;
};

} // namespace mendral

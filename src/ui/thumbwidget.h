#pragma once

#include <QPixmap>
#include <QString>
#include <QWidget>

namespace mendral {

class ImageStore;

/**
 * A widget that shows one photo's thumbnail (long side 420) from the image store. Nothing is
 * requested until requestThumbnail() is called (the overview calls it for widgets on or near
 * the screen); until the image arrives the widget paints a placeholder.
 */
class ThumbWidget : public QWidget {
    Q_OBJECT

public:
    static constexpr int thumbnailPixels = 420;

    explicit ThumbWidget(ImageStore &images, QWidget *parent = nullptr);

    /** The photo file to show; a different file drops the old image. */
    void setPhotoUrl(const QString &url);
    const QString &photoUrl() const { return m_url; }

    /** Asks the image store for the thumbnail once per file. */
    void requestThumbnail();
    bool hasRequested() const { return m_requested; }
    /** The image arrived (it may be null when the file could not be read). */
    bool isLoaded() const { return m_loaded; }
    /** Requested and not arrived yet. */
    bool isWaiting() const { return m_requested && !m_loaded; }
    const QPixmap &thumbnail() const { return m_pixmap; }

Q_SIGNALS:
    void thumbnailLoaded();

protected:
    /** Draws the thumbnail cropped to fill `target` with rounded corners, or the placeholder. */
    void paintThumbnail(QPainter &p, const QRectF &target, qreal radius) const;

private:
    ImageStore &m_images;
    QString m_url;
    QPixmap m_pixmap;
    bool m_requested = false;
    bool m_loaded = false;
    int m_generation = 0; // which setPhotoUrl a finished request belongs to
};

} // namespace mendral

#pragma once

#include "model/photo.h"

#include <QImage>
#include <QWidget>

#include <functional>

namespace mendral {

class ImageStore;

/** What a film-strip cell shows besides its photo. */
struct FilmCellState {
    int position = 0;
    bool isCursor = false;
    bool isPicked = false;
    bool isDuplicate = false;
    bool isRecommended = false; // the group's recommended photo: a "推荐" badge
    bool isMultiSelected = false;
    bool hasMultiSelection = false;
    bool operator==(const FilmCellState &) const = default;
};

/**
 * One 74 × 74 thumbnail of the film strip: the photo, its number, its state as a border
 * (multi-selected, cursor, picked, in that order), a washed-out look for duplicates, and a round
 * pick button at the top right. Clicks on the body are reported to the strip.
 */
class FilmCell : public QWidget {
    Q_OBJECT

public:
    static constexpr int side = 74;
    static constexpr int thumbPixel = 220;

    /** onTogglePick absent: a static pick mark instead of the button. */
    FilmCell(ImageStore &images, const Photo &photo, const FilmCellState &state, std::function<void()> onTogglePick,
             QWidget *parent = nullptr);

    void setPhoto(const Photo &photo);
    void setState(const FilmCellState &state);
    const FilmCellState &state() const { return m_state; }
    const Photo &photo() const { return m_photo; }
    bool hovering() const { return m_hovering; }
    bool hasThumbnail() const { return !m_thumb.isNull(); }

    /** The border the cell draws now: colour and width. */
    struct Border {
        QColor colour;
        qreal width = 1;
        bool shadow = false;
    };
    Border border() const;
    /** The pick button's rectangle in cell coordinates. */
    QRectF pickButtonRect() const;
    /** The text of the tooltip at a point of the cell. */
    QString toolTipAt(QPointF point) const;

    QSize sizeHint() const override { return {side, side}; }

Q_SIGNALS:
    void clicked(int position);
    void doubleClicked(int position);

protected:
    void paintEvent(QPaintEvent *event) override;
    bool event(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    void load();
    void paintPickControl(QPainter &p) const;

    ImageStore &m_images;
    Photo m_photo;
    FilmCellState m_state;
    std::function<void()> m_onTogglePick;
    QImage m_thumb;
    QImage m_washed; // the duplicate's desaturated copy
    bool m_hovering = false;
};

} // namespace mendral

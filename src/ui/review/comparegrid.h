#pragma once

#include "model/photo.h"

#include <QPointF>
#include <QWidget>

#include <optional>
#include <vector>

class QScrollArea;

namespace mendral {

class Overlay;
class PhotoCanvas;
class ReviewView;

/** What a comparison cell shows besides its photo. */
struct CompareCellState {
    int index = 0;    // place in the grid, equal to the photo's position in the group
    bool isCursor = false;
    bool isPicked = false;
    bool isRecommended = false;
    bool isSelected = false;
    bool hasSelection = false;
    bool operator==(const CompareCellState &) const = default;
};

/** One photo of the comparison grid, fitted into the cell, with its number, marks and border. */
class CompareCell : public QWidget {
    Q_OBJECT

public:
    static constexpr int maxPixel = 1600;

    CompareCell(ReviewView &view, const Photo &photo, QWidget *parent = nullptr);
    void setState(const CompareCellState &state);
    const CompareCellState &state() const { return m_state; }
    const Photo &photo() const { return m_photo; }
    PhotoCanvas *canvas() const { return m_canvas; }
    /** The cell's 100 % view while the grid is zoomed (absent otherwise). */
    PhotoCanvas *zoomedCanvas() const { return m_zoomed; }
    /** Zoomed to 100 % around a spot of the photo, or fitted (absent). */
    void setZoom(std::optional<QPointF> spot);
    /** Moves the zoomed view to centre a spot. */
    void setZoomSpot(QPointF spot);

Q_SIGNALS:
    /** The user dragged this cell's zoomed view to a new spot. */
    void zoomPanned(QPointF spot);

public:
    struct Border {
        QColor colour;
        qreal width = 1;
    };
    Border border() const;

protected:
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    void paintMarks(QPainter &p, const QRect &r) const;

    ReviewView &m_view;
    Photo m_photo;
    CompareCellState m_state;
    PhotoCanvas *m_canvas;
    PhotoCanvas *m_zoomed = nullptr;
    Overlay *m_marks;
};

/**
 * All photos of the group side by side, filling the canvas: the shape follows the photo count,
 * more than four rows scroll. Reports the cells' frames (in its own coordinates, which are the
 * canvas's) to the screen so clicks between cells count as clicks on empty space.
 */
class CompareGrid : public QWidget {
    Q_OBJECT

public:
    explicit CompareGrid(ReviewView &view, QWidget *parent = nullptr);
    void sync();
    const std::vector<CompareCell *> &cells() const { return m_cells; }
    QScrollArea *scrollArea() const { return m_scroll; }
    /** The tip's text parts as shown now (for checks). */
    QStringList tipTexts() const;
    /** The spot all cells show at 100 % while zoomed. */
    std::optional<QPointF> zoomSpot() const { return m_zoomSpot; }

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void relayout();
    void reportFrames();
    void paintTip(QPainter &p, const QRect &r) const;
    void syncZoom();
    void moveZoomSpot(QPointF spot, const CompareCell *from);

    ReviewView &m_view;
    QScrollArea *m_scroll;
    QWidget *m_board;
    Overlay *m_tip;
    std::vector<CompareCell *> m_cells;
    std::vector<QString> m_photoIDs;
    std::optional<QPointF> m_zoomSpot;
    bool m_zoomMoved = false; // the user panned: a late face result is not applied
    int m_zoomGeneration = 0;
};

} // namespace mendral

#pragma once

#include "model/photo.h"

#include <QWidget>

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

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void relayout();
    void reportFrames();
    void paintTip(QPainter &p, const QRect &r) const;

    ReviewView &m_view;
    QScrollArea *m_scroll;
    QWidget *m_board;
    Overlay *m_tip;
    std::vector<CompareCell *> m_cells;
    std::vector<QString> m_photoIDs;
};

} // namespace mendral

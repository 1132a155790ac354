#pragma once

#include "ui/review/filmcell.h"

#include <QScrollArea>

#include <vector>

class QPropertyAnimation;

namespace mendral {

class ReviewView;

/**
 * The row of all photos of the group under the canvas, 92 high, scrolling sideways without
 * indicators and keeping the cursor's cell in the middle. A click outside the cells is a click
 * on empty space for the screen.
 */
class FilmStrip : public QScrollArea {
    Q_OBJECT

public:
    static constexpr int height = 92;
    static constexpr int spacing = 8;
    static constexpr int padH = 14;
    static constexpr int padV = 9;

    explicit FilmStrip(ReviewView &view, QWidget *parent = nullptr);

    /** Brings the cells in line with the screen's group and state. */
    void sync();
    const std::vector<FilmCell *> &cells() const { return m_cells; }
    /** The horizontal scroll position that centres the cell at position (clamped). */
    int centredScrollValue(int position) const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void scrollToCursor(bool animated);

    ReviewView &m_view;
    QWidget *m_row;
    std::vector<FilmCell *> m_cells;
    int m_groupID = -1;
    int m_cursor = -1;
    QPropertyAnimation *m_scroll;
};

} // namespace mendral

#pragma once

#include <QWidget>

class QLabel;
class QPushButton;
class QToolButton;

namespace mendral {

class PillLabel;
class ReviewView;

/** The review screen's top row: back, group number, counts, status badge and mode buttons. */
class ReviewTopBar : public QWidget {
    Q_OBJECT

public:
    explicit ReviewTopBar(ReviewView &view, QWidget *parent = nullptr);
    void sync();

    QLabel *titleLabel() const { return m_title; }
    QLabel *countLabel() const { return m_count; }
    QLabel *positionLabel() const { return m_position; }
    PillLabel *badge() const { return m_badge; }
    QToolButton *backButton() const { return m_back; }
    QToolButton *compareButton() const { return m_compare; }
    QToolButton *actualSizeButton() const { return m_actual; }
    QToolButton *paneButton() const { return m_pane; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    ReviewView &m_view;
    QToolButton *m_back;
    QLabel *m_title;
    QLabel *m_count;
    QLabel *m_position;
    PillLabel *m_badge;
    QToolButton *m_compare;
    QToolButton *m_actual;
    QToolButton *m_pane;
};

/** Key caps and words of the action bar; shows the widest of three levels that fits. */
class ReviewKeyHints : public QWidget {
    Q_OBJECT

public:
    explicit ReviewKeyHints(QWidget *parent = nullptr);
    void setActualSize(bool on);
    /** Width the level needs (0 is the fullest, 2 the shortest). */
    int levelWidth(int level) const;
    /** The level shown at the current width. */
    int chosenLevel() const;
    /** The hint words of a level, in order. */
    QStringList words(int level) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    qreal paintLevel(QPainter *p, int level, qreal x, qreal centreY) const;
    bool m_actualSize = false;
};

/** The review screen's bottom row: file chips, multi-selection, key hints and "跳过本组". */
class ReviewActionBar : public QWidget {
    Q_OBJECT

public:
    explicit ReviewActionBar(ReviewView &view, QWidget *parent = nullptr);
    void sync();

    PillLabel *rawChip() const { return m_raw; }
    PillLabel *companionChip() const { return m_companions; }
    QWidget *selectionGroup() const { return m_selection; }
    PillLabel *selectionChip() const { return m_selectionCount; }
    ReviewKeyHints *keyHints() const { return m_hints; }
    QPushButton *skipButton() const { return m_skip; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    ReviewView &m_view;
    PillLabel *m_raw;
    PillLabel *m_companions;
    QWidget *m_selection;
    PillLabel *m_selectionCount;
    ReviewKeyHints *m_hints;
    QPushButton *m_skip;
};

} // namespace mendral

#pragma once

#include <QWidget>

class QVariantAnimation;

namespace mendral {

class CompareGrid;
class Overlay;
class PhotoCanvas;
class ReviewView;
class Spinner;

/**
 * The middle of the review screen: the large photo (fitted or at 100 %) with its pick label,
 * or the comparison grid; the transient hint bubble over both.
 */
class ReviewCanvas : public QWidget {
    Q_OBJECT

public:
    static constexpr int maxPixel = 3600;

    explicit ReviewCanvas(ReviewView &view, QWidget *parent = nullptr);
    void sync();

    PhotoCanvas *photoCanvas() const { return m_photo; }
    CompareGrid *compareGrid() const { return m_grid; }
    bool showsSpinner() const;
    /** The pick label's text; empty when there is none. */
    QString pickLabelText() const;
    /** "推荐 · {reason}" while the cursor is on the group's recommended photo; else empty. */
    QString recommendationText() const;
    /** The recommendation is shown and its group wants a closer look. */
    bool recommendationNeedsReview() const;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void layoutChildren();
    void paintPickLabel(QPainter &p, const QRect &r) const;
    QRectF paintRecommendation(QPainter &p, QPointF at) const;
    void paintHint(QPainter &p, const QRect &r) const;

    ReviewView &m_view;
    PhotoCanvas *m_photo = nullptr;
    CompareGrid *m_grid = nullptr;
    Spinner *m_spinner;
    Overlay *m_pickLabel;
    Overlay *m_hint;
    QString m_hintText;  // kept while the bubble fades out
    bool m_hintShown = false;
    qreal m_hintProgress = 0;
    QVariantAnimation *m_hintAnimation;
};

} // namespace mendral

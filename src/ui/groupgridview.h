#pragma once

#include <QWidget>

class QVariantAnimation;

namespace mendral {

class AppStore;
class DecidedRail;
class Divider;
class GroupPane;
class ImageStore;
class ReviewView;

/**
 * The overview: all groups on the left (or the review screen while a group is open), a
 * divider, and on the right the pane of picked groups or, collapsed, a narrow rail. Showing and
 * hiding the right pane slides over 0.15 s.
 */
class GroupGridView : public QWidget {
    Q_OBJECT

public:
    static constexpr int railWidth = 30;
    static constexpr int slideMilliseconds = 150;

    /** images: where thumbnails come from (null: the program's shared image store). */
    explicit GroupGridView(AppStore &store, ImageStore *images = nullptr, QWidget *parent = nullptr);

    /** Width of the left part for a view `width` wide, with the right pane `shown` (0…1). */
    static int leftWidthFor(int width, qreal shown);

    GroupPane *pendingPane() const { return m_pending; }
    GroupPane *decidedPane() const { return m_decided; }
    DecidedRail *rail() const { return m_rail; }
    /** The review screen while a group is open, else null. */
    ReviewView *reviewView() const { return m_review; }
    /** How far the decided pane is shown: 0 hidden, 1 shown, between while sliding. */
    qreal shownFraction() const { return m_shown; }
    bool isSliding() const;

    /** Whether every thumbnail on screen has arrived. */
    bool visibleThumbnailsLoaded() const;

Q_SIGNALS:
    void thumbnailLoaded();

protected:
    void resizeEvent(QResizeEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void followDecidedPane();
    void followReview();
    void layoutParts();

    AppStore &m_store;
    ImageStore &m_images;
    GroupPane *m_pending = nullptr;
    GroupPane *m_decided = nullptr;
    DecidedRail *m_rail = nullptr;
    Divider *m_divider = nullptr;
    ReviewView *m_review = nullptr;
    QVariantAnimation *m_slide = nullptr;
    qreal m_shown = 0;
};

} // namespace mendral

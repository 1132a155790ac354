#pragma once

#include "model/photogroup.h"
#include "ui/thumbwidget.h"

namespace mendral {

struct Photo;

/**
 * One group in the overview: the thumbnail of its first picked photo (or its first photo),
 * a caption with its number and size or picks, and a status badge. The widget reaches
 * `glowMargin` beyond the card's frame on every side so the selection glow is not clipped.
 */
class GroupCard : public ThumbWidget {
    Q_OBJECT

public:
    static constexpr int thumbHeight = 132;
    static constexpr int captionGap = 6;
    static constexpr int captionHeight = 16;
    static constexpr int cardHeight = thumbHeight + captionGap + captionHeight;
    static constexpr int glowMargin = 6;

    GroupCard(ImageStore &images, QWidget *parent = nullptr);

    /** Shows a group; `photos` is the store's photo list the group's indices refer to. */
    void setGroup(const PhotoGroup &group, const std::vector<Photo> &photos);
    void setSelected(bool selected);

    int groupID() const { return m_group.id; }
    const PhotoGroup &group() const { return m_group; }
    bool isSelected() const { return m_selected; }
    /** Index into the store's photos of the photo the card shows; -1 for an empty group. */
    int shownPhotoIndex() const { return m_shownIndex; }
    /** The caption as drawn, e.g. "第 3 组·已选 2 张". */
    QString captionText() const;

    /** The photo index a card shows for a group: the lowest pick, else the first photo. */
    static int shownPhotoIndex(const PhotoGroup &group);

    /** The orange mark of a pending group that needs a closer look; empty when there is none. */
    QRectF reviewMarkRect() const;
    /** The tooltip at a point: the group's reason over the mark, else the card's own. */
    QString toolTipAt(QPoint point) const;

    /** Positions the card so that its frame (without glow) is `frame`. */
    void setFrame(const QRect &frame);
    QRect frame() const;

Q_SIGNALS:
    void clicked(int groupID);
    void doubleClicked(int groupID);

protected:
    void paintEvent(QPaintEvent *) override;
    bool event(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    PhotoGroup m_group;
    bool m_selected = false;
    int m_shownIndex = -1;
};

} // namespace mendral

#pragma once

#include "ui/thumbwidget.h"

namespace mendral {

struct Photo;

/** One picked photo in the decided pane's flat list, labelled with its group and rank. */
class PickedThumb : public ThumbWidget {
    Q_OBJECT

public:
    /** One entry of the flat list. */
    struct Item {
        int groupID = 0;
        int groupNo = 1; // the group's id + 1
        int pos = 0;     // position of the photo within the group
        int nth = 1;     // rank among the group's picks, from 1
        int total = 1;   // picks of the group
        int photoIndex = 0;
        /** "groupID-pos", e.g. "12-3". */
        QString id() const { return QString::number(groupID) + QLatin1Char('-') + QString::number(pos); }
    };

    PickedThumb(ImageStore &images, QWidget *parent = nullptr);

    void setItem(const Item &item, const Photo &photo);
    const Item &item() const { return m_item; }
    void setSelected(bool selected);
    bool isSelected() const { return m_selected; }

Q_SIGNALS:
    void clicked(const QString &itemID);
    void doubleClicked(const QString &itemID);

protected:
    void paintEvent(QPaintEvent *) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    Item m_item;
    bool m_selected = false;
};

} // namespace mendral

#pragma once

#include "ui/pickedthumb.h"

#include <QScrollArea>

#include <functional>
#include <QWidget>

#include <optional>
#include <vector>

class QLabel;
class QPushButton;
class QStackedWidget;
class QVariantAnimation;

namespace mendral {

class AppStore;
class GroupCard;
class ImageStore;
struct PhotoGroup;

/** The scroll area of a pane: focusable without a focus ring; it hands keys to its pane. */
class PaneScrollArea : public QScrollArea {
    Q_OBJECT

public:
    using QScrollArea::QScrollArea;
    std::function<bool(QKeyEvent *)> keyHandler;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

Q_SIGNALS:
    void focusChanged();
};

/**
 * One pane of the overview. The pending pane lists all groups; the decided pane lists the
 * groups with picks, as cards or (in flat mode) as one thumbnail per picked photo. The pane
 * moves the store's selection with the arrow keys, opens a group for review with Return or a
 * double click, and loads thumbnails only for what is on or near the screen.
 */
class GroupPane : public QWidget {
    Q_OBJECT

public:
    enum class Kind { pending, decided };

    static constexpr int margin = 14;
    static constexpr int rowSpacing = 16;
    static constexpr int columnSpacing = 14;
    static constexpr int flatSpacing = 12;

    GroupPane(AppStore &store, Kind kind, ImageStore &images, QWidget *parent = nullptr);

    /** Columns the keyboard moves by for a pane `width` wide (also the grid's columns). */
    static int columnsFor(int width, Kind kind);
    /** Columns of the flat list for a pane `width` wide. */
    static int flatColumnsFor(int width);
    static int minimumColumnWidth(Kind kind) { return kind == Kind::pending ? 168 : 138; }
    static int maximumColumnWidth(Kind kind) { return kind == Kind::pending ? 220 : 200; }

    Kind kind() const { return m_kind; }
    int columns() const { return columnsFor(width(), m_kind); }
    bool paneFocused() const;
    const std::optional<QString> &flatCursor() const { return m_flatCursor; }
    bool flatMode() const;

    /** Ids of this pane's groups, in store order. */
    std::vector<int> paneGroupIDs() const;
    /** Number of the store's groups still pending. */
    int pendingCount() const;
    /** One entry per pick of each decided group, in order. */
    std::vector<PickedThumb::Item> pickedItems() const;

    // What the keys and the mouse do.
    void move(int step);
    void moveFlat(int step);
    /** The j key: select the first pending group and centre it. */
    void jumpToFirstPending();
    /** Return: opens the selected group (card grid) or the cursor's group (flat list). */
    void openSelected();
    void clickCard(int groupID);
    void doubleClickCard(int groupID);
    void clickThumb(const QString &itemID);
    void doubleClickThumb(const QString &itemID);
    /** Takes or gives up keyboard focus as the store's selection and review state say. */
    void applyFocusRules();

    PaneScrollArea *scrollArea() const { return m_scroll; }
    const std::vector<GroupCard *> &cards() const { return m_cards; }
    const std::vector<PickedThumb *> &thumbs() const { return m_thumbs; }
    QLabel *titleLabel() const { return m_title; }
    QLabel *countLabel() const { return m_count; }
    QLabel *progressLabel() const { return m_progress; }
    QPushButton *toggleButton() const { return m_toggle; }
    QPushButton *gridModeButton() const { return m_gridMode; }
    QPushButton *flatModeButton() const { return m_flatMode; }
    QWidget *emptyState() const { return m_empty; }

    /** Thumbnails on screen that were asked for and have not arrived. */
    int waitingThumbnails() const;
    /** Whether every card or thumbnail on screen has its image (or gave up). */
    bool visibleThumbnailsLoaded() const { return waitingThumbnails() == 0; }

Q_SIGNALS:
    /** A thumbnail arrived. */
    void thumbnailLoaded();

protected:
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void buildHeader(QWidget *header);
    void rebuild();
    void refreshHeader();
    void refreshSelection();
    void layoutBody();
    void loadVisible();
    bool handleKey(QKeyEvent *event);
    bool selectionHere() const;
    int currentIndex(const std::vector<int> &ids) const;
    int currentFlatIndex(const std::vector<PickedThumb::Item> &items) const;
    void focusPaneUnlessReviewing();
    void scrollIntoView(const QRect &frame, bool centre);

    AppStore &m_store;
    const Kind m_kind;
    ImageStore &m_images;
    std::optional<QString> m_flatCursor;
    bool m_builtFlat = false; // the mode the widgets were last built for

    QLabel *m_title = nullptr;
    QLabel *m_count = nullptr;
    QLabel *m_progress = nullptr;
    QPushButton *m_toggle = nullptr;
    QPushButton *m_gridMode = nullptr;
    QPushButton *m_flatMode = nullptr;
    QStackedWidget *m_stack = nullptr;
    PaneScrollArea *m_scroll = nullptr;
    QWidget *m_body = nullptr;
    QWidget *m_empty = nullptr;
    QVariantAnimation *m_scrollAnimation = nullptr;
    std::vector<GroupCard *> m_cards;
    std::vector<PickedThumb *> m_thumbs;
};

} // namespace mendral

#pragma once

#include <QElapsedTimer>
#include <QPointF>
#include <QPointer>
#include <QRectF>
#include <QSizeF>
#include <QWidget>

#include <optional>
#include <set>
#include <vector>

class QTimer;

namespace mendral {

class AppStore;
class ImageStore;
struct Photo;
struct PhotoGroup;
class ReviewTopBar;
class ReviewActionBar;
class ReviewCanvas;
class FilmStrip;
class FittedCache;

/**
 * The screen on which one group is looked at photo by photo and decided on: a top bar, the
 * canvas (one large photo, its 100 % view, or a grid of the whole group), a film strip and an
 * action bar. Driven from the keyboard; every decision goes through the store. It follows the
 * store's reviewGroupID while shown.
 */
class ReviewView : public QWidget {
    Q_OBJECT

public:
    /** images: where photos are loaded from (null: the program's shared image store). */
    explicit ReviewView(AppStore &store, QWidget *parent = nullptr, ImageStore *images = nullptr);
    ~ReviewView() override;

    AppStore &store() const { return m_store; }
    ImageStore &images() const { return m_images; }
    FittedCache &fittedCache() const { return *m_fitted; }

    int groupID() const { return m_groupID; }
    /** Changes the group under review; a different id resets cursor, 100 % and multi-selection. */
    void setGroupID(int id);

    // Screen state.
    int cursor() const { return m_cursor; }
    void setCursor(int position);
    bool actualSize() const { return m_actualSize; }
    void setActualSize(bool on);
    bool compare() const { return m_compare; }
    /** The comparison grid shows every cell at 100 % around one shared point ("z"). */
    bool compareZoom() const { return m_compareZoom; }
    /**
     * Where the 100 % view looks, as a point of the image (0…1 on each axis) at the view's
     * centre; kept while stepping within the group, forgotten with a new group or when 100 %
     * is left, so the next entry starts on the face again.
     */
    std::optional<QPointF> actualSizeSpot() const { return m_spot; }
    void setActualSizeSpot(QPointF spot) { m_spot = spot; }
    const std::set<int> &compareSel() const { return m_compareSel; }
    const std::optional<QString> &boundaryHint() const { return m_boundaryHint; }
    const std::vector<QRectF> &cellFrames() const { return m_cellFrames; }
    bool clickHadCommand() const { return m_clickHadCommand; }

    /** The group under review, looked up in all groups (not only the visible ones). */
    const PhotoGroup *group() const;
    /** The photo at the cursor, when the cursor lies inside the group. */
    const Photo *currentPhoto() const;
    /** Columns of the comparison grid for this group (1 without a group). */
    int gridColumns() const;

    // Operations (also reached through keys, buttons and clicks).
    void togglePick();
    void commitCompareSelection(int fallback);
    void moveCursor(int step);
    void moveInGrid(int step);
    void clickPhoto(int position);
    void clearMultiSelection();
    void showHint(const QString &text);
    /** Whether a click at point, in a canvas of size, hit no photo. */
    bool isBlankPoint(QPointF point, QSizeF size) const;
    /** The C key, Tab and the compare button. */
    void toggleCompare();
    /** The "z" key in the comparison grid. */
    void toggleCompareZoom();
    /** The "a" key: pick the recommended photo and move on to the next group. */
    void acceptRecommendation();
    /** Where the cursor starts in a group: its recommended photo. */
    int startPosition() const;
    void skipGroup();

    /** How long a hint stays, in milliseconds. */
    static constexpr int hintMilliseconds = 1600;
    /** A click on empty space this soon after a cell click belongs to that cell click. */
    static constexpr int cellClickGraceMilliseconds = 250;

    /** Called by the compare grid each time its cells are laid out. */
    void setCellFrames(std::vector<QRectF> frames);

Q_SIGNALS:
    /** Anything the screen shows changed (cursor, modes, selection, hint). */
    void stateChanged();

protected:
    bool event(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    bool handleKey(QKeyEvent *event);
    bool handlesKey(const QKeyEvent *event) const;
    void takeFocus();
    void followStore();
    void refresh();
    void prepareNeighbours();
    void installMonitor();
    void removeMonitor();

    AppStore &m_store;
    ImageStore &m_images;
    int m_groupID = -1;
    int m_cursor = 0;
    bool m_actualSize = false;
    bool m_compare = false;
    bool m_compareZoom = false;
    std::optional<QPointF> m_spot;
    std::set<int> m_compareSel;
    QElapsedTimer m_lastCellClick; // invalid: the distant past
    bool m_clickHadCommand = false;
    bool m_monitorInstalled = false;
    struct MouseSeen {
        int type = 0;
        quint64 timestamp = 0;
        QPointF global;
        bool operator==(const MouseSeen &) const = default;
    };
    MouseSeen m_lastMouse;
    std::vector<QRectF> m_cellFrames;
    std::optional<QString> m_boundaryHint;
    QTimer *m_hintTimer = nullptr;
    FittedCache *m_fitted = nullptr;
    QObject *m_warming = nullptr; // owns the warm-up requests of the current position

    QWidget *m_content = nullptr;
    QWidget *m_emptyState = nullptr;
    ReviewTopBar *m_topBar = nullptr;
    ReviewCanvas *m_canvas = nullptr;
    FilmStrip *m_strip = nullptr;
    ReviewActionBar *m_actionBar = nullptr;
};

} // namespace mendral

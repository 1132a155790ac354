#include "ui/grouppane.h"

#include "store/appstore.h"
#include "ui/groupcard.h"
#include "ui/icons.h"
#include "ui/theme.h"
#include "ui/widgets.h"

#include <QEasingCurve>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QStackedWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <QVariantAnimation>

namespace mendral {

namespace {

QWidget *makeEmptyState(GroupPane::Kind kind, QWidget *parent)
{
    const bool pending = kind == GroupPane::Kind::pending;
    auto *w = new QWidget(parent);
    auto *column = new QVBoxLayout(w);
    column->addStretch(1);
    column->setSpacing(8);
    column->addWidget(makeSymbol(pending ? "tray" : "checkmark.seal", 30, theme::tertiary(), w), 0, Qt::AlignHCenter);
    auto *title = makeLabel(pending ? QStringLiteral("没有分组") : QStringLiteral("还没有选中的组"), 13, QFont::Medium,
                            theme::secondary(), w);
    title->setAlignment(Qt::AlignCenter);
    column->addWidget(title);
    auto *note = makeLabel(pending ? QStringLiteral("导入照片后，所有组都会显示在这里")
                                   : QStringLiteral("在左侧的组里选中照片后，组会出现在这里"),
                           11, QFont::Normal, theme::tertiary(), w);
    note->setAlignment(Qt::AlignCenter);
    note->setWordWrap(true);
    column->addWidget(note);
    column->addStretch(1);
    return w;
}

QString modeButtonStyle()
{
    return QStringLiteral("QPushButton { border: none; border-radius: 4px; padding: 3px; background: transparent; }"
                          "QPushButton:hover { background: %1; }"
                          "QPushButton:checked { background: %2; }")
        .arg(theme::primary(0.06).name(QColor::HexArgb), theme::withAlpha(theme::accent(), 0.18).name(QColor::HexArgb));
}

} // namespace

void PaneScrollArea::keyPressEvent(QKeyEvent *event)
{
    if (keyHandler && keyHandler(event)) {
        event->accept();
        return;
    }
    QScrollArea::keyPressEvent(event);
}

void PaneScrollArea::focusInEvent(QFocusEvent *event)
{
    QScrollArea::focusInEvent(event);
    Q_EMIT focusChanged();
}

void PaneScrollArea::focusOutEvent(QFocusEvent *event)
{
    QScrollArea::focusOutEvent(event);
    Q_EMIT focusChanged();
}

int GroupPane::columnsFor(int width, Kind kind)
{
    const int pitch = minimumColumnWidth(kind) + columnSpacing;
    return std::max(1, (std::max(width - 2 * margin, 0) + columnSpacing) / pitch);
}

int GroupPane::flatColumnsFor(int width)
{
    const int w = std::max(width - 2 * margin, 0);
    return std::max(1, (w + flatSpacing) / 150);
}

GroupPane::GroupPane(AppStore &store, Kind kind, ImageStore &images, QWidget *parent)
    : QWidget(parent), m_store(store), m_kind(kind), m_images(images)
{
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    auto *header = new QWidget(this);
    buildHeader(header);
    column->addWidget(header);
    column->addWidget(new Divider(Qt::Horizontal, this));

    m_stack = new QStackedWidget(this);
    m_scroll = new PaneScrollArea(m_stack);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setFocusPolicy(Qt::StrongFocus);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scroll->setWidgetResizable(false);
    m_scroll->viewport()->setAutoFillBackground(false);
    m_body = new QWidget;
    m_scroll->setWidget(m_body);
    m_body->setAutoFillBackground(false); // after setWidget, which turns it on: the overview's colour shows through
    m_scroll->keyHandler = [this](QKeyEvent *e) { return handleKey(e); };
    m_stack->addWidget(m_scroll);
    m_empty = makeEmptyState(kind, m_stack);
    m_stack->addWidget(m_empty);
    column->addWidget(m_stack, 1);

    m_scrollAnimation = new QVariantAnimation(this);
    m_scrollAnimation->setDuration(180);
    m_scrollAnimation->setEasingCurve(QEasingCurve::InOutQuad);
    connect(m_scrollAnimation, &QVariantAnimation::valueChanged, this,
            [this](const QVariant &v) { m_scroll->verticalScrollBar()->setValue(v.toInt()); });
    connect(m_scroll->verticalScrollBar(), &QScrollBar::valueChanged, this, &GroupPane::loadVisible);

    connect(&m_store, &AppStore::groupsChanged, this, &GroupPane::rebuild);
    connect(&m_store, &AppStore::photosChanged, this, &GroupPane::rebuild);
    // Settings change often (the similarity slider); only the flat mode changes what is listed.
    connect(&m_store, &AppStore::settingsChanged, this, [this] {
        if (flatMode() != m_builtFlat)
            rebuild();
        else
            refreshHeader();
    });
    connect(&m_store, &AppStore::selectionChanged, this, &GroupPane::refreshSelection);
    rebuild();
}

void GroupPane::buildHeader(QWidget *header)
{
    const bool pending = m_kind == Kind::pending;
    const QColor tint = pending ? theme::orange() : theme::green();
    auto *row = new QHBoxLayout(header);
    row->setContentsMargins(margin, 8, 10, 8);
    row->setSpacing(5);
    row->addWidget(makeSymbol(pending ? "tray" : "checkmark.seal", pending ? 11 : 12, tint, header));
    m_title = makeLabel(pending ? QStringLiteral("全部组") : QStringLiteral("已选"), 12, QFont::DemiBold, tint, header);
    row->addWidget(m_title);
    row->addSpacing(3);
    m_count = makeLabel(QString(), 11, QFont::Normal, theme::secondary(), header);
    row->addWidget(m_count);
    m_progress = makeLabel(QString(), 11, pending ? QFont::Normal : QFont::Medium, tint, header);
    row->addWidget(m_progress);
    row->addStretch(1);
    if (pending) {
        m_toggle = makePlainButton("chevron.right", 10, theme::secondary(), QString(), header);
        m_toggle->setFixedSize(22, 20);
        connect(m_toggle, &QPushButton::clicked, this,
                [this] { m_store.setShowDecidedPane(!m_store.showDecidedPane()); });
        row->addWidget(m_toggle);
    } else {
        auto makeMode = [&](const char *symbol, const QString &tip) {
            auto *b = new QPushButton(header);
            b->setIcon(icons::icon(symbol, theme::primary(0.7)));
            b->setIconSize(QSize(13, 13));
            b->setCheckable(true);
            b->setToolTip(tip);
            b->setFocusPolicy(Qt::NoFocus);
            b->setFixedSize(24, 20);
            b->setStyleSheet(modeButtonStyle());
            row->addWidget(b);
            return b;
        };
        m_gridMode = makeMode("square.grid.2x2", QStringLiteral("按组显示"));
        m_flatMode = makeMode("photo.on.rectangle", QStringLiteral("按单张显示"));
        connect(m_gridMode, &QPushButton::clicked, this, [this] { m_store.setDecidedFlatMode(false); });
        connect(m_flatMode, &QPushButton::clicked, this, [this] { m_store.setDecidedFlatMode(true); });
    }
}

bool GroupPane::flatMode() const
{
    return m_kind == Kind::decided && m_store.decidedFlatMode();
}

bool GroupPane::paneFocused() const
{
    return m_scroll->hasFocus();
}

std::vector<int> GroupPane::paneGroupIDs() const
{
    std::vector<int> ids;
    for (const PhotoGroup &g : m_store.groups())
        if (m_kind == Kind::pending || g.status() == GroupStatus::picked)
            ids.push_back(g.id);
    return ids;
}

int GroupPane::pendingCount() const
{
    int n = 0;
    for (const PhotoGroup &g : m_store.groups())
        n += g.status() == GroupStatus::pending ? 1 : 0;
    return n;
}

std::vector<PickedThumb::Item> GroupPane::pickedItems() const
{
    std::vector<PickedThumb::Item> items;
    if (m_kind != Kind::decided)
        return items;
    const auto &photos = m_store.photos();
    for (const PhotoGroup &g : m_store.groups()) {
        if (g.status() != GroupStatus::picked)
            continue;
        int nth = 0;
        for (int pos : g.picks) {
            ++nth;
            // A pick outside the group or naming a missing photo has nothing to show.
            if (pos < 0 || pos >= g.count())
                continue;
            const int index = g.indices[size_t(pos)];
            if (index < 0 || size_t(index) >= photos.size())
                continue;
            items.push_back({g.id, g.id + 1, pos, nth, int(g.picks.size()), index});
        }
    }
    return items;
}

void GroupPane::rebuild()
{
    const auto &photos = m_store.photos();
    const bool flat = flatMode();
    m_builtFlat = flat;
    std::vector<int> ids = flat ? std::vector<int>() : paneGroupIDs();
    const std::vector<PickedThumb::Item> items = flat ? pickedItems() : std::vector<PickedThumb::Item>();

    // Widgets are reused by position, so a decision only repaints what changed.
    while (m_cards.size() > ids.size()) {
        delete m_cards.back();
        m_cards.pop_back();
    }
    while (m_cards.size() < ids.size()) {
        auto *card = new GroupCard(m_images, m_body);
        connect(card, &GroupCard::clicked, this, &GroupPane::clickCard);
        connect(card, &GroupCard::doubleClicked, this, &GroupPane::doubleClickCard);
        connect(card, &ThumbWidget::thumbnailLoaded, this, &GroupPane::thumbnailLoaded);
        card->show();
        m_cards.push_back(card);
    }
    for (size_t i = 0; i < ids.size(); ++i)
        if (const PhotoGroup *g = m_store.group(ids[i]))
            m_cards[i]->setGroup(*g, photos);

    while (m_thumbs.size() > items.size()) {
        delete m_thumbs.back();
        m_thumbs.pop_back();
    }
    while (m_thumbs.size() < items.size()) {
        auto *thumb = new PickedThumb(m_images, m_body);
        connect(thumb, &PickedThumb::clicked, this, &GroupPane::clickThumb);
        connect(thumb, &PickedThumb::doubleClicked, this, &GroupPane::doubleClickThumb);
        connect(thumb, &ThumbWidget::thumbnailLoaded, this, &GroupPane::thumbnailLoaded);
        thumb->show();
        m_thumbs.push_back(thumb);
    }
    for (size_t i = 0; i < items.size(); ++i)
        m_thumbs[i]->setItem(items[i], photos[size_t(items[i].photoIndex)]);

    const bool showList = flat || !ids.empty();
    m_stack->setCurrentWidget(showList ? static_cast<QWidget *>(m_scroll) : m_empty);
    if (!showList && m_scroll->hasFocus())
        setFocus(); // keep focus inside the pane rather than on a hidden scroll area
    refreshHeader();
    refreshSelection();
    layoutBody();
}

void GroupPane::refreshHeader()
{
    const std::vector<int> ids = paneGroupIDs();
    m_count->setText(QString::number(ids.size()) + QStringLiteral(" 组"));
    if (m_kind == Kind::pending) {
        const int pending = pendingCount();
        m_progress->setText(pending > 0 ? QStringLiteral("· 待选 ") + QString::number(pending) + QStringLiteral(" 组")
                                        : QStringLiteral("· 全部处理完"));
        theme::setForeground(m_progress, pending > 0 ? theme::orange() : theme::green());
        const bool shown = m_store.showDecidedPane();
        m_toggle->setIcon(icons::icon(shown ? "chevron.right" : "chevron.left", theme::secondary()));
        m_toggle->setToolTip(shown ? QStringLiteral("收起右侧「已选」栏（⌘→）") : QStringLiteral("展开右侧「已选」栏（⌘←）"));
    } else {
        size_t picks = 0;
        for (int id : ids)
            if (const PhotoGroup *g = m_store.group(id))
                picks += g->picks.size();
        m_progress->setVisible(picks >= 1);
        m_progress->setText(QStringLiteral("· 共选 ") + QString::number(picks) + QStringLiteral(" 张"));
        m_gridMode->setChecked(!m_store.decidedFlatMode());
        m_flatMode->setChecked(m_store.decidedFlatMode());
    }
}

bool GroupPane::selectionHere() const
{
    return m_store.selectionInDecidedPane() == (m_kind == Kind::decided);
}

void GroupPane::refreshSelection()
{
    const auto selected = m_store.selectedGroupID();
    for (GroupCard *card : m_cards)
        card->setSelected(selected && selectionHere() && card->groupID() == *selected);
    if (!m_thumbs.empty()) {
        std::vector<PickedThumb::Item> items;
        items.reserve(m_thumbs.size());
        for (PickedThumb *t : m_thumbs)
            items.push_back(t->item());
        const int current = selectionHere() ? currentFlatIndex(items) : -1;
        for (size_t i = 0; i < m_thumbs.size(); ++i)
            m_thumbs[i]->setSelected(int(i) == current);
    }
}

void GroupPane::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    layoutBody();
}

void GroupPane::layoutBody()
{
    const int viewportWidth = m_scroll->viewport()->width();
    const int gridWidth = std::max(viewportWidth - 2 * margin, 0);
    int bodyHeight = 2 * margin;
    if (flatMode()) {
        const int n = flatColumnsFor(width());
        const int columnWidth = std::max((gridWidth - (n - 1) * flatSpacing) / n, 60);
        const int thumbHeight = columnWidth * 3 / 4;
        for (size_t i = 0; i < m_thumbs.size(); ++i) {
            const int r = int(i) / n, c = int(i) % n;
            m_thumbs[i]->setGeometry(margin + c * (columnWidth + flatSpacing),
                                     margin + r * (thumbHeight + flatSpacing), columnWidth, thumbHeight);
        }
        const int rows = (int(m_thumbs.size()) + n - 1) / n;
        if (rows > 0)
            bodyHeight += rows * thumbHeight + (rows - 1) * flatSpacing;
    } else {
        const int n = columns();
        const int columnWidth = std::max(1, std::min(maximumColumnWidth(m_kind),
                                                     (gridWidth - (n - 1) * columnSpacing) / n));
        const int total = n * columnWidth + (n - 1) * columnSpacing;
        const int x0 = margin + std::max(0, (gridWidth - total) / 2);
        for (size_t i = 0; i < m_cards.size(); ++i) {
            const int r = int(i) / n, c = int(i) % n;
            m_cards[i]->setFrame(QRect(x0 + c * (columnWidth + columnSpacing),
                                       margin + r * (GroupCard::cardHeight + rowSpacing), columnWidth,
                                       GroupCard::cardHeight));
        }
        const int rows = (int(m_cards.size()) + n - 1) / n;
        if (rows > 0)
            bodyHeight += rows * GroupCard::cardHeight + (rows - 1) * rowSpacing;
    }
    m_body->resize(viewportWidth, bodyHeight);
    loadVisible();
}

void GroupPane::loadVisible()
{
    if (!isVisible() || m_stack->currentWidget() != m_scroll)
        return;
    // What is on screen and one screen above and below.
    const int top = m_scroll->verticalScrollBar()->value();
    const int h = m_scroll->viewport()->height();
    const QRect near(0, top - h, m_body->width(), 3 * h);
    for (GroupCard *card : m_cards)
        if (card->geometry().intersects(near))
            card->requestThumbnail();
    for (PickedThumb *thumb : m_thumbs)
        if (thumb->geometry().intersects(near))
            thumb->requestThumbnail();
}

int GroupPane::waitingThumbnails() const
{
    if (!isVisible() || m_stack->currentWidget() != m_scroll)
        return 0;
    const QRect visible(0, m_scroll->verticalScrollBar()->value(), m_body->width(), m_scroll->viewport()->height());
    int waiting = 0;
    auto count = [&](const ThumbWidget *w) {
        if (w->geometry().intersects(visible) && !w->isLoaded() && !w->photoUrl().isEmpty())
            ++waiting;
    };
    for (const GroupCard *card : m_cards)
        count(card);
    for (const PickedThumb *thumb : m_thumbs)
        count(thumb);
    return waiting;
}

void GroupPane::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // After the layout settles, so the selection can be centred in the final geometry.
    QTimer::singleShot(0, this, [this] {
        layoutBody();
        applyFocusRules();
    });
}

void GroupPane::applyFocusRules()
{
    if (!isVisible())
        return;
    const auto selected = m_store.selectedGroupID();
    if (m_store.reviewGroupID()) {
        m_scroll->clearFocus();
        return;
    }
    if (selected && selectionHere()) {
        m_scroll->setFocus(Qt::OtherFocusReason);
        for (GroupCard *card : m_cards)
            if (card->groupID() == *selected && !flatMode())
                scrollIntoView(card->frame(), true);
        return;
    }
    if (selected) {
        m_scroll->clearFocus();
        return;
    }
    if (m_kind == Kind::pending)
        m_scroll->setFocus(Qt::OtherFocusReason);
}

int GroupPane::currentIndex(const std::vector<int> &ids) const
{
    const auto selected = m_store.selectedGroupID();
    if (!selected || !selectionHere())
        return -1;
    const auto it = std::find(ids.begin(), ids.end(), *selected);
    return it == ids.end() ? -1 : int(it - ids.begin());
}

int GroupPane::currentFlatIndex(const std::vector<PickedThumb::Item> &items) const
{
    if (m_flatCursor)
        for (size_t i = 0; i < items.size(); ++i)
            if (items[i].id() == *m_flatCursor)
                return int(i);
    if (const auto selected = m_store.selectedGroupID())
        for (size_t i = 0; i < items.size(); ++i)
            if (items[i].groupID == *selected)
                return int(i);
    return -1;
}

void GroupPane::move(int step)
{
    const std::vector<int> ids = paneGroupIDs();
    if (ids.empty())
        return;
    const int next = std::clamp(currentIndex(ids) + step, 0, int(ids.size()) - 1);
    m_store.setSelectedGroupID(ids[size_t(next)]);
    m_store.setSelectionInDecidedPane(m_kind == Kind::decided);
    if (size_t(next) < m_cards.size())
        scrollIntoView(m_cards[size_t(next)]->frame(), false);
}

void GroupPane::moveFlat(int step)
{
    const std::vector<PickedThumb::Item> items = pickedItems();
    if (items.empty())
        return;
    const int next = std::clamp(currentFlatIndex(items) + step, 0, int(items.size()) - 1);
    const PickedThumb::Item &item = items[size_t(next)];
    m_flatCursor = item.id();
    m_store.setSelectedGroupID(item.groupID);
    m_store.setSelectionInDecidedPane(true);
    refreshSelection(); // the cursor may move within one group: no store change then
    if (size_t(next) < m_thumbs.size())
        scrollIntoView(m_thumbs[size_t(next)]->geometry(), false);
}

void GroupPane::jumpToFirstPending()
{
    if (m_kind != Kind::pending)
        return;
    const auto &groups = m_store.groups();
    for (size_t i = 0; i < groups.size(); ++i) {
        if (groups[i].status() != GroupStatus::pending)
            continue;
        m_store.setSelectedGroupID(groups[i].id);
        m_store.setSelectionInDecidedPane(false);
        for (GroupCard *card : m_cards)
            if (card->groupID() == groups[i].id)
                scrollIntoView(card->frame(), true);
        return;
    }
}

void GroupPane::openSelected()
{
    if (flatMode()) {
        const std::vector<PickedThumb::Item> items = pickedItems();
        const int current = currentFlatIndex(items);
        if (current >= 0)
            m_store.openReview(items[size_t(current)].groupID);
        return;
    }
    const std::vector<int> ids = paneGroupIDs();
    const int current = currentIndex(ids);
    if (current >= 0)
        m_store.openReview(ids[size_t(current)]);
}

void GroupPane::focusPaneUnlessReviewing()
{
    if (!m_store.reviewGroupID())
        m_scroll->setFocus(Qt::MouseFocusReason);
}

void GroupPane::clickCard(int groupID)
{
    m_store.setSelectedGroupID(groupID);
    m_store.setSelectionInDecidedPane(m_kind == Kind::decided);
    focusPaneUnlessReviewing();
}

void GroupPane::doubleClickCard(int groupID)
{
    m_store.setSelectedGroupID(groupID);
    m_store.setSelectionInDecidedPane(m_kind == Kind::decided);
    m_store.openReview(groupID);
}

void GroupPane::clickThumb(const QString &itemID)
{
    for (const PickedThumb::Item &item : pickedItems()) {
        if (item.id() != itemID)
            continue;
        m_flatCursor = itemID;
        m_store.setSelectedGroupID(item.groupID);
        m_store.setSelectionInDecidedPane(true);
        refreshSelection();
        focusPaneUnlessReviewing();
        return;
    }
}

void GroupPane::doubleClickThumb(const QString &itemID)
{
    clickThumb(itemID);
    if (m_flatCursor == itemID)
        if (const auto selected = m_store.selectedGroupID())
            m_store.openReview(*selected);
}

bool GroupPane::handleKey(QKeyEvent *event)
{
    // Command-combinations belong to the menus.
    if (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return false;
    const bool flat = flatMode();
    const int columnStep = flat ? flatColumnsFor(width()) : columns();
    auto step = [&](int s) { flat ? moveFlat(s) : move(s); };
    switch (event->key()) {
    case Qt::Key_Up: step(-columnStep); return true;
    case Qt::Key_Down: step(columnStep); return true;
    case Qt::Key_Left: step(-1); return true;
    case Qt::Key_Right: step(1); return true;
    case Qt::Key_Return:
    case Qt::Key_Enter: openSelected(); return true;
    case Qt::Key_J:
        if (m_kind == Kind::pending) {
            jumpToFirstPending();
            return true;
        }
        return false;
    default: return false;
    }
}

void GroupPane::scrollIntoView(const QRect &frame, bool centre)
{
    QScrollBar *bar = m_scroll->verticalScrollBar();
    const int top = bar->value();
    const int h = m_scroll->viewport()->height();
    int target = top;
    if (centre)
        target = frame.center().y() - h / 2;
    else if (frame.top() - margin < top)
        target = frame.top() - margin;
    else if (frame.bottom() + margin > top + h)
        target = frame.bottom() + margin - h;
    target = std::clamp(target, bar->minimum(), bar->maximum());
    if (target == top)
        return;
    m_scrollAnimation->stop();
    if (!isVisible()) {
        bar->setValue(target);
        return;
    }
    m_scrollAnimation->setStartValue(top);
    m_scrollAnimation->setEndValue(target);
    m_scrollAnimation->start();
}

} // namespace mendral

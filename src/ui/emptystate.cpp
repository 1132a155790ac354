#include "ui/emptystate.h"

#include "store/appstore.h"
#include "ui/icons.h"
#include "ui/theme.h"
#include "ui/widgets.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QPainter>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace mendral {

namespace {

/** A key's text on a faint rounded cap, at least 42 wide. */
class KeyCap : public QWidget {
public:
    KeyCap(const QString &key, QWidget *parent) : QWidget(parent), m_key(key)
    {
        setFont(theme::font(10, QFont::DemiBold));
        const QFontMetrics fm(font());
        setFixedSize(std::max(42, fm.horizontalAdvance(key) + 10), fm.height() + 5);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(theme::primary(0.08));
        p.drawRoundedRect(QRectF(rect()), 4, 4);
        p.setPen(theme::primary());
        p.drawText(rect(), Qt::AlignCenter, m_key);
    }

private:
    QString m_key;
};

struct Hint {
    const char *key;
    const char *meaning;
};

constexpr Hint kLeft[] = {{"⌘I", "导入文件夹"}, {"← →", "组内换张"}, {"↑ ↓", "切换组"}, {"Tab", "单张 / 对比"}};
constexpr Hint kRight[] = {{"⏎", "选定 / 取消选定"}, {"⌘", "点击多选"}, {"空格", "100% 查看"}, {"ESC", "返回分组目录"}};

} // namespace

KeyHints::KeyHints(QWidget *parent) : QWidget(parent)
{
    auto *columns = new QHBoxLayout(this);
    columns->setContentsMargins(18, 12, 18, 12);
    columns->setSpacing(30);
    for (const auto *hints : {kLeft, kRight}) {
        auto *grid = new QGridLayout;
        grid->setVerticalSpacing(9);
        grid->setHorizontalSpacing(8);
        for (int i = 0; i < 4; ++i) {
            grid->addWidget(new KeyCap(QString::fromUtf8(hints[i].key), this), i, 0);
            grid->addWidget(makeLabel(QString::fromUtf8(hints[i].meaning), 11.5, QFont::Normal, theme::primary(), this),
                            i, 1);
        }
        columns->addLayout(grid);
    }
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void KeyHints::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(theme::primary(0.04));
    p.drawRoundedRect(QRectF(rect()), 10, 10);
}

EmptyState::EmptyState(AppStore &store, QWidget *parent) : QWidget(parent), m_store(store)
{
    auto *outer = new QVBoxLayout(this);
    outer->addStretch(1);
    auto *stack = new QVBoxLayout;
    stack->setSpacing(18);

    stack->addWidget(makeSymbol("photo.stack", 46, theme::tertiary(), this), 0, Qt::AlignHCenter);

    auto *texts = new QVBoxLayout;
    texts->setSpacing(6);
    auto *headline = makeLabel(QStringLiteral("把 SD 卡插上，或者把文件夹拖进来"), 16, QFont::Medium,
                               theme::primary(), this);
    headline->setAlignment(Qt::AlignCenter);
    texts->addWidget(headline);
    auto *promise = makeLabel(QStringLiteral("只读取原文件，不会移动、改名或删除任何一张照片"), 12,
                              QFont::Normal, theme::secondary(), this);
    promise->setAlignment(Qt::AlignCenter);
    texts->addWidget(promise);
    stack->addLayout(texts);

    auto *actions = new QVBoxLayout;
    actions->setSpacing(14);
    m_choose = new QPushButton(QStringLiteral("选择文件夹"), this);
    m_choose->setIcon(icons::icon("folder", Qt::white));
    m_choose->setIconSize(QSize(16, 16));
    makeProminent(m_choose, true);
    actions->addWidget(m_choose, 0, Qt::AlignHCenter);
    m_subfolders = new QCheckBox(QStringLiteral("导入时包含子文件夹"), this);
    m_subfolders->setFont(theme::font(12));
    actions->addWidget(m_subfolders, 0, Qt::AlignHCenter);
    stack->addLayout(actions);

    auto *hintsHolder = new QVBoxLayout; // 4 more below the actions than the stack's spacing
    hintsHolder->setContentsMargins(0, 4, 0, 0);
    hintsHolder->addWidget(new KeyHints(this), 0, Qt::AlignHCenter);
    stack->addLayout(hintsHolder);

    outer->addLayout(stack);
    outer->addStretch(1);

    connect(m_choose, &QPushButton::clicked, this, [this] { m_store.pickFolder(); });
    connect(m_subfolders, &QCheckBox::toggled, this, [this](bool on) { m_store.setIncludeSubfolders(on); });
    connect(&m_store, &AppStore::settingsChanged, this, &EmptyState::refresh);
    refresh();
}

void EmptyState::refresh()
{
    const QSignalBlocker block(m_subfolders);
    m_subfolders->setChecked(m_store.includeSubfolders());
}

} // namespace mendral

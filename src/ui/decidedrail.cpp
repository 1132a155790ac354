#include "ui/decidedrail.h"

#include "store/appstore.h"
#include "ui/theme.h"
#include "ui/widgets.h"

#include <QEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace mendral {

namespace {

/** "已选" turned by 90 degrees, reading downwards. */
class TurnedLabel : public QWidget {
public:
    TurnedLabel(const QString &text, QWidget *parent) : QWidget(parent), m_text(text)
    {
        setFont(theme::font(10));
        setFixedSize(QFontMetrics(font()).height() + 2, 34);
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::TextAntialiasing);
        p.setPen(theme::tertiary());
        p.translate(width(), 0);
        p.rotate(90);
        p.drawText(QRect(0, 0, height(), width()), Qt::AlignCenter, m_text);
    }

private:
    QString m_text;
};

} // namespace

DecidedRail::DecidedRail(AppStore &store, int width, QWidget *parent) : QWidget(parent), m_store(store)
{
    setFixedWidth(width);
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 8, 0, 8);
    column->setSpacing(10);

    m_expand = makePlainButton("chevron.left", 11, theme::secondary(), QString(), this);
    m_expand->setToolTip(QStringLiteral("展开右侧「已选」栏"));
    m_expand->setFixedSize(22, 20);
    column->addWidget(m_expand, 0, Qt::AlignHCenter);

    m_summary = new QWidget(this);
    m_summary->setCursor(Qt::PointingHandCursor);
    auto *summary = new QVBoxLayout(m_summary);
    summary->setContentsMargins(0, 0, 0, 0);
    summary->setSpacing(4);
    auto *seal = makeSymbol("checkmark.seal", 13, theme::green(), m_summary);
    seal->setAttribute(Qt::WA_TransparentForMouseEvents);
    summary->addWidget(seal, 0, Qt::AlignHCenter);
    m_total = makeLabel(QString(), 10, QFont::DemiBold, theme::green(), m_summary);
    m_total->setAlignment(Qt::AlignCenter);
    m_total->setAttribute(Qt::WA_TransparentForMouseEvents);
    summary->addWidget(m_total, 0, Qt::AlignHCenter);
    summary->addWidget(new TurnedLabel(QStringLiteral("已选"), m_summary), 0, Qt::AlignHCenter);
    m_summary->installEventFilter(this);
    column->addWidget(m_summary, 0, Qt::AlignHCenter);
    column->addStretch(1);

    connect(m_expand, &QPushButton::clicked, this, [this] { m_store.setShowDecidedPane(true); });
    connect(&m_store, &AppStore::groupsChanged, this, &DecidedRail::refresh);
    refresh();
}

int DecidedRail::pickedTotal() const
{
    int total = 0;
    for (const PhotoGroup &g : m_store.groups())
        total += int(g.picks.size());
    return total;
}

void DecidedRail::refresh()
{
    const int total = pickedTotal();
    m_total->setText(QString::number(total));
    m_summary->setToolTip(QStringLiteral("已选 ") + QString::number(total) + QStringLiteral(" 张"));
}

bool DecidedRail::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_summary && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        m_store.setShowDecidedPane(true);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace mendral

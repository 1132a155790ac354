#include "ui/workingview.h"

#include "store/appstore.h"
#include "ui/icons.h"
#include "ui/theme.h"
#include "ui/widgets.h"

#include <QHBoxLayout>
#include <QProgressBar>
#include <QVBoxLayout>

#include <cmath>

namespace mendral {

namespace {

constexpr int kBarSteps = 1000;

} // namespace

QString WorkingView::percentText(double progress)
{
    if (!std::isfinite(progress))
        progress = 0;
    const long long percent = std::llround(std::clamp(progress, -1e6, 1e6) * 100.0);
    return QString::number(percent) + QLatin1Char('%');
}

WorkingView::WorkingView(AppStore &store, QWidget *parent) : QWidget(parent), m_store(store)
{
    auto *outer = new QVBoxLayout(this);
    outer->addStretch(1);

    auto *stack = new QVBoxLayout;
    stack->setSpacing(22);

    m_symbol = new QLabel(this);
    m_symbol->setAlignment(Qt::AlignCenter);
    stack->addWidget(m_symbol, 0, Qt::AlignHCenter);

    auto *titleBlock = new QVBoxLayout;
    titleBlock->setSpacing(6);
    m_title = makeLabel(QString(), 16, QFont::Medium, theme::primary(), this);
    m_title->setAlignment(Qt::AlignCenter);
    titleBlock->addWidget(m_title);
    m_status = makeLabel(QString(), 12, QFont::Normal, theme::secondary(), this);
    m_status->setAlignment(Qt::AlignCenter);
    titleBlock->addWidget(m_status);
    stack->addLayout(titleBlock);

    auto *progressBlock = new QWidget(this);
    progressBlock->setFixedWidth(380);
    auto *progressLayout = new QVBoxLayout(progressBlock);
    progressLayout->setContentsMargins(0, 0, 0, 0);
    progressLayout->setSpacing(8);
    m_bar = new QProgressBar(progressBlock);
    m_bar->setRange(0, kBarSteps);
    m_bar->setTextVisible(false);
    m_bar->setFixedHeight(6);
    m_bar->setStyleSheet(QStringLiteral(
        "QProgressBar { border: none; border-radius: 3px; background: %1; }"
        "QProgressBar::chunk { border-radius: 3px; background: %2; }")
        .arg(theme::primary(0.1).name(QColor::HexArgb), theme::accent().name()));
    progressLayout->addWidget(m_bar);
    auto *row = new QHBoxLayout;
    m_percent = makeLabel(QString(), 11, QFont::Normal, theme::primary(), progressBlock);
    row->addWidget(m_percent);
    row->addStretch();
    m_count = makeLabel(QString(), 11, QFont::Normal, theme::secondary(), progressBlock);
    row->addWidget(m_count);
    progressLayout->addLayout(row);
    stack->addWidget(progressBlock, 0, Qt::AlignHCenter);

    auto *note = makeLabel(QStringLiteral("分组将在识别全部完成后一次性生成"), 11, QFont::Normal,
                           theme::secondary(), this);
    note->setAlignment(Qt::AlignCenter);
    stack->addWidget(note);

    outer->addLayout(stack);
    outer->addStretch(1);

    for (auto signal : {&AppStore::phaseChanged, &AppStore::progressChanged, &AppStore::textsChanged,
                        &AppStore::photosChanged})
        connect(&m_store, signal, this, &WorkingView::refresh);
    refresh();
}

void WorkingView::refresh()
{
    const bool scanning = m_store.phase() == Phase::scanning;
    const char *symbol = scanning ? "magnifyingglass" : "face.dashed";
    if (symbol != m_symbolName) {
        m_symbolName = symbol;
        m_symbol->setPixmap(icons::pixmap(symbol, 42, theme::accent(), devicePixelRatioF()));
    }
    m_title->setText(scanning ? QStringLiteral("正在扫描照片") : QStringLiteral("正在识别照片"));
    const QString status = m_store.statusText();
    m_status->setText(status.isEmpty() ? QStringLiteral("请稍候…") : status);

    const double progress = std::isfinite(m_store.progress()) ? std::clamp(m_store.progress(), 0.0, 1.0) : 0.0;
    m_bar->setValue(int(std::lround(progress * kBarSteps)));
    m_percent->setText(percentText(m_store.progress()));
    const size_t n = m_store.photos().size();
    m_count->setVisible(n > 0);
    m_count->setText(QString::number(n) + QStringLiteral(" 张"));
}

} // namespace mendral

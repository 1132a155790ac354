#include "ui/rootview.h"

#include "store/appstore.h"
#include "ui/emptystate.h"
#include "ui/groupgridview.h"
#include "ui/headerbar.h"
#include "ui/statusbar.h"
#include "ui/theme.h"
#include "ui/widgets.h"
#include "ui/workingview.h"

#include <QDragEnterEvent>
#include <QMessageBox>
#include <QMimeData>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QStackedWidget>
#include <QUrl>
#include <QVBoxLayout>

namespace mendral {

namespace {

/** The dashed accent frame over the content while a file is dragged over the window. */
class DropHighlight : public QWidget {
public:
    explicit DropHighlight(QWidget *parent) : QWidget(parent)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        hide();
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF area = QRectF(rect()).adjusted(10, 10, -10, -10);
        QPainterPath shape;
        shape.addRoundedRect(area, 14, 14);
        p.fillPath(shape, theme::withAlpha(theme::accent(), 0.08));
        // The line lies inside the shape's edge: inset by half its width.
        QPen pen(theme::accent(), 3);
        pen.setDashPattern({8.0 / 3, 6.0 / 3}); // in units of the pen width
        pen.setMiterLimit(10);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(area.adjusted(1.5, 1.5, -1.5, -1.5), 12.5, 12.5);
    }
};

/** Paints the window colour behind the content. */
class ContentArea : public QStackedWidget {
public:
    using QStackedWidget::QStackedWidget;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.fillRect(rect(), theme::windowBackground());
    }
};

} // namespace

RootView::RootView(AppStore &store, ImageStore *images, QWidget *parent) : QWidget(parent), m_store(store)
{
    setAcceptDrops(true);
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    m_header = new HeaderBar(store, this);
    column->addWidget(m_header);
    column->addWidget(new Divider(Qt::Horizontal, this));

    m_content = new ContentArea(this);
    m_working = new WorkingView(store, m_content);
    m_empty = new EmptyState(store, m_content);
    m_overview = new GroupGridView(store, images, m_content);
    m_content->addWidget(m_empty);
    m_content->addWidget(m_working);
    m_content->addWidget(m_overview);
    column->addWidget(m_content, 1);

    column->addWidget(new Divider(Qt::Horizontal, this));
    m_status = new StatusBar(store, this);
    column->addWidget(m_status);

    m_highlight = new DropHighlight(this);

    connect(&m_store, &AppStore::phaseChanged, this, &RootView::chooseContent);
    connect(&m_store, &AppStore::photosChanged, this, &RootView::chooseContent);
    connect(&m_store, &AppStore::textsChanged, this, &RootView::followError);
    connect(&m_store, &AppStore::textsChanged, this, &RootView::followModelNotice);
    chooseContent();
    followError();
    followModelNotice();
}

QWidget *RootView::currentContent() const
{
    return m_content->currentWidget();
}

void RootView::chooseContent()
{
    const Phase phase = m_store.phase();
    QWidget *next = m_empty;
    if (phase == Phase::scanning || phase == Phase::analyzing)
        next = m_working;
    else if (!m_store.photos().empty())
        next = m_overview;
    m_content->setCurrentWidget(next);
}

void RootView::followError()
{
    const auto &error = m_store.errorText();
    if (!error) {
        if (m_alert)
            m_alert->close();
        return;
    }
    if (m_alert) {
        m_alert->setText(*error);
        return;
    }
    m_alert = new QMessageBox(QMessageBox::Warning, QStringLiteral("出错了"), *error, QMessageBox::NoButton, this);
    m_alert->setInformativeText(QString());
    m_alert->addButton(QStringLiteral("知道了"), QMessageBox::AcceptRole);
    m_alert->setAttribute(Qt::WA_DeleteOnClose);
    m_alert->setWindowModality(Qt::WindowModal);
    // Dismissing it in any way (button, Escape, closing) clears the error.
    connect(m_alert, &QMessageBox::finished, this, [this] {
        m_alert = nullptr;
        m_store.setErrorText(std::nullopt);
    });
    m_alert->open();
}

void RootView::followModelNotice()
{
    const QString &notice = m_store.modelNotice();
    if (notice.isEmpty() || notice == m_modelNoticeShown)
        return;
    m_modelNoticeShown = notice;
    m_modelAlert = new QMessageBox(QMessageBox::Warning, QStringLiteral("识别模型不全"), notice,
                                   QMessageBox::NoButton, this);
    m_modelAlert->addButton(QStringLiteral("知道了"), QMessageBox::AcceptRole);
    m_modelAlert->setAttribute(Qt::WA_DeleteOnClose);
    m_modelAlert->setWindowModality(Qt::WindowModal);
    connect(m_modelAlert, &QMessageBox::finished, this, [this] { m_modelAlert = nullptr; });
    m_modelAlert->open();
}

void RootView::setDropTargeted(bool on)
{
    if (m_dropTargeted == on)
        return;
    m_dropTargeted = on;
    m_highlight->setGeometry(m_content->geometry());
    m_highlight->setVisible(on);
    m_highlight->raise();
}

void RootView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    m_highlight->setGeometry(m_content->geometry());
}

void RootView::dragEnterEvent(QDragEnterEvent *event)
{
    if (!event->mimeData()->hasUrls())
        return;
    event->acceptProposedAction();
    setDropTargeted(true);
}

void RootView::dragMoveEvent(QDragMoveEvent *event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void RootView::dragLeaveEvent(QDragLeaveEvent *)
{
    setDropTargeted(false);
}

void RootView::dropEvent(QDropEvent *event)
{
    setDropTargeted(false);
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.isEmpty())
        return; // nothing came: not accepted
    event->acceptProposedAction();
    // Only the first item counts; one that is not a local file is dropped silently.
    const QUrl &first = urls.front();
    if (!first.isLocalFile())
        return;
    const QString path = first.toLocalFile();
    if (path.isEmpty())
        return;
    m_store.start(path);
}

} // namespace mendral

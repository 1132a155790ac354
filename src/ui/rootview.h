#pragma once

#include <QWidget>

class QMessageBox;
class QStackedWidget;

namespace mendral {

class AppStore;
class EmptyState;
class GroupGridView;
class HeaderBar;
class ImageStore;
class StatusBar;
class WorkingView;

/**
 * The window's content: header bar, the content of the current phase (progress while
 * importing, the overview once photos are there, else the welcome screen) and the status bar.
 * A folder dropped anywhere on it is imported; the store's errors appear as an alert, and so,
 * once, does its notice about missing models.
 */
class RootView : public QWidget {
    Q_OBJECT

public:
    explicit RootView(AppStore &store, ImageStore *images = nullptr, QWidget *parent = nullptr);

    bool dropTargeted() const { return m_dropTargeted; }

    HeaderBar *header() const { return m_header; }
    StatusBar *statusBar() const { return m_status; }
    WorkingView *workingView() const { return m_working; }
    EmptyState *emptyState() const { return m_empty; }
    GroupGridView *overview() const { return m_overview; }
    /** The content now shown. */
    QWidget *currentContent() const;
    /** The error alert while one is shown, else null. */
    QMessageBox *alert() const { return m_alert; }
    /** The missing-models alert while it is shown, else null. */
    QMessageBox *modelAlert() const { return m_modelAlert; }

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dragLeaveEvent(QDragLeaveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void chooseContent();
    void followError();
    void followModelNotice();
    void setDropTargeted(bool on);

    AppStore &m_store;
    HeaderBar *m_header = nullptr;
    StatusBar *m_status = nullptr;
    QStackedWidget *m_content = nullptr;
    WorkingView *m_working = nullptr;
    EmptyState *m_empty = nullptr;
    GroupGridView *m_overview = nullptr;
    QWidget *m_highlight = nullptr;
    QMessageBox *m_alert = nullptr;
    QMessageBox *m_modelAlert = nullptr;
    QString m_modelNoticeShown; // the notice last alerted, so that it is alerted once
    bool m_dropTargeted = false;
};

} // namespace mendral

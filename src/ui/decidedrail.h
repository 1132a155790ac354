#pragma once

#include <QWidget>

class QLabel;
class QPushButton;

namespace mendral {

class AppStore;

/** The collapsed decided pane: a button to expand it and the number of picked photos. */
class DecidedRail : public QWidget {
    Q_OBJECT

public:
    DecidedRail(AppStore &store, int width, QWidget *parent = nullptr);

    /** Sum of the picks of all groups. */
    int pickedTotal() const;

    QPushButton *expandButton() const { return m_expand; }
    QWidget *summary() const { return m_summary; }
    QLabel *totalLabel() const { return m_total; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void refresh();

    AppStore &m_store;
    QPushButton *m_expand = nullptr;
    QWidget *m_summary = nullptr;
    QLabel *m_total = nullptr;
};

} // namespace mendral

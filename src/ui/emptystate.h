#pragma once

#include <QWidget>

class QCheckBox;
class QPushButton;

namespace mendral {

class AppStore;

/** The welcome screen: what to do first, the folder button, and a panel of key hints. */
class EmptyState : public QWidget {
    Q_OBJECT

public:
    explicit EmptyState(AppStore &store, QWidget *parent = nullptr);

    QPushButton *chooseButton() const { return m_choose; }
    QCheckBox *subfolderBox() const { return m_subfolders; }

private:
    void refresh();

    AppStore &m_store;
    QPushButton *m_choose = nullptr;
    QCheckBox *m_subfolders = nullptr;
};

/** Two columns of key caps with their meanings; it only informs and reacts to nothing. */
class KeyHints : public QWidget {
public:
    explicit KeyHints(QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *) override;
};

} // namespace mendral

#pragma once

#include <QWidget>

class QLabel;
class QPushButton;

namespace mendral {

class AppStore;
class ElidedLabel;

/**
 * The bar at the bottom: where the last export went, how many photos are picked and synced,
 * and, once an import found models missing, the store's notice about them.
 */
class StatusBar : public QWidget {
    Q_OBJECT

public:
    explicit StatusBar(AppStore &store, QWidget *parent = nullptr);

    ElidedLabel *destinationLabel() const { return m_destination; }
    QWidget *pickedLabel() const { return m_picked; }
    QLabel *pickedText() const { return m_pickedText; }
    QLabel *syncedLabel() const { return m_synced; }
    QLabel *restoredLabel() const { return m_restored; }
    QPushButton *revealButton() const { return m_reveal; }
    /** The missing-models notice (hidden while there is none). */
    ElidedLabel *modelNoticeLabel() const { return m_modelNotice; }

protected:
    void paintEvent(QPaintEvent *) override;

private:
    void refresh();

    AppStore &m_store;
    ElidedLabel *m_destination = nullptr;
    QWidget *m_picked = nullptr;
    QLabel *m_pickedText = nullptr;
    QLabel *m_restored = nullptr;
    QLabel *m_synced = nullptr;
    QPushButton *m_reveal = nullptr;
    QWidget *m_noticeRow = nullptr;
    ElidedLabel *m_modelNotice = nullptr;
};

} // namespace mendral

#pragma once

#include <QElapsedTimer>
#include <QFrame>
#include <QWidget>

class QCheckBox;
class QLabel;
class QPushButton;
class QSlider;

namespace mendral {

class AppStore;

/**
 * The grouping parameters: how near shots must look to share a group (a factor on the
 * calibrated distance threshold), whether imports include subfolders, and a button that
 * regroups the current photos with the chosen factor.
 */
class SettingsPanel : public QWidget {
    Q_OBJECT

public:
    explicit SettingsPanel(AppStore &store, QWidget *parent = nullptr);

    /** "更细" below 0.95, "更粗" above 1.05, otherwise "标准". */
    static QString similarityWord(double simFactor);
    /** The calibrated threshold as shown ("0.41"); empty when none was calibrated (≤ 0). */
    static QString thresholdText(float calibratedThreshold);

    static constexpr double sliderMin = 0.5, sliderMax = 2.0, sliderStep = 0.05;

    QSlider *slider() const { return m_slider; }
    QLabel *wordLabel() const { return m_word; }
    QLabel *thresholdLabel() const { return m_threshold; }
    QCheckBox *subfolderBox() const { return m_subfolders; }
    QPushButton *regroupButton() const { return m_regroup; }

private:
    void refresh();

    AppStore &m_store;
    QSlider *m_slider = nullptr;
    QLabel *m_word = nullptr;
    QLabel *m_threshold = nullptr;
    QCheckBox *m_subfolders = nullptr;
    QPushButton *m_regroup = nullptr;
};

/**
 * The settings panel in a pop-up attached below a button. Its presence mirrors the store's
 * showSettings: hiding it for any reason clears that flag.
 */
class SettingsPopup : public QFrame {
    Q_OBJECT

public:
    SettingsPopup(AppStore &store, QWidget *anchorOwner);

    SettingsPanel *panel() const { return m_panel; }
    void showBelow(QWidget *anchor);
    /** Whether the last close came from a press on `button` (that click must not reopen it). */
    bool justClosedByClickOn(QWidget *button);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    AppStore &m_store;
    SettingsPanel *m_panel = nullptr;
    QWidget *m_anchor = nullptr;
    bool m_closedOnAnchor = false;
    QElapsedTimer m_closedAt;
};

} // namespace mendral

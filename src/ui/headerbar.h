#pragma once

#include <QWidget>

#include <array>

class QLabel;
class QPushButton;

namespace mendral {

class AppStore;
class ElidedLabel;
class SettingsPopup;
class Spinner;
class StatChip;

/**
 * The bar on top of the window: logo and title with the source folder, the figures of the
 * current shoot, the working indicator, the grouping-settings button (its panel follows the
 * store's showSettings) and the export button.
 */
class HeaderBar : public QWidget {
    Q_OBJECT

public:
    explicit HeaderBar(AppStore &store, QWidget *parent = nullptr);

    /** The export button's tooltip for a number of picked photos. */
    static QString exportToolTip(int pickedCount);

    // For tests and the screenshot: the parts whose state follows the store.
    QLabel *folderLabel() const { return m_folder; }
    QLabel *subfolderBadge() const { return m_badge; }
    const std::array<StatChip *, 5> &chips() const { return m_chips; }
    QWidget *chipRow() const { return m_chipRow; }
    QWidget *workingIndicator() const { return m_working; }
    QLabel *workingText() const { return m_workingText; }
    QPushButton *settingsButton() const { return m_settingsButton; }
    QPushButton *exportButton() const { return m_exportButton; }
    SettingsPopup *settingsPopup() const { return m_popup; }

protected:
    void paintEvent(QPaintEvent *) override;

private:
    void refresh();
    void followSettingsPopup();

    AppStore &m_store;
    QLabel *m_folder = nullptr;
    QLabel *m_badge = nullptr;
    QWidget *m_chipRow = nullptr;
    std::array<StatChip *, 5> m_chips{};
    QWidget *m_working = nullptr;
    Spinner *m_spinner = nullptr;
    QLabel *m_workingText = nullptr;
    QPushButton *m_settingsButton = nullptr;
    QPushButton *m_exportButton = nullptr;
    SettingsPopup *m_popup = nullptr;
};

} // namespace mendral

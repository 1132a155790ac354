#pragma once

#include <QWidget>

class QLabel;
class QProgressBar;

namespace mendral {

class AppStore;

/** What the window shows while a folder is scanned and analysed: phase, status and progress. */
class WorkingView : public QWidget {
    Q_OBJECT

public:
    explicit WorkingView(AppStore &store, QWidget *parent = nullptr);

    /** progress × 100 rounded to the nearest whole number, with "%" ("46%" for 0.456). */
    static QString percentText(double progress);

    QLabel *symbol() const { return m_symbol; }
    QLabel *title() const { return m_title; }
    QLabel *status() const { return m_status; }
    QProgressBar *bar() const { return m_bar; }
    QLabel *percent() const { return m_percent; }
    QLabel *count() const { return m_count; }
    /** The symbol name now shown ("magnifyingglass" or "face.dashed"). */
    const char *symbolName() const { return m_symbolName; }

private:
    void refresh();

    AppStore &m_store;
    QLabel *m_symbol = nullptr;
    const char *m_symbolName = nullptr;
    QLabel *m_title = nullptr;
    QLabel *m_status = nullptr;
    QProgressBar *m_bar = nullptr;
    QLabel *m_percent = nullptr;
    QLabel *m_count = nullptr;
};

} // namespace mendral

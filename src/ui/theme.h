#pragma once

#include <QColor>
#include <QFont>

class QWidget;

/**
 * The window's colours and type. Foreground levels come from the application palette
 * (primary = WindowText, accent = Highlight; secondary and tertiary are the primary colour at
 * lower opacity); green, orange and gray are fixed status colours. Sizes are device-independent
 * pixels, so a "12" font is 12 px high on a 1× screen.
 */
namespace mendral::theme {

QColor primary();
QColor secondary();
QColor tertiary();
QColor accent();
/** The primary colour at the given opacity (0…1), for fills such as chips and key caps. */
QColor primary(qreal opacity);
QColor withAlpha(QColor color, qreal opacity);

QColor green();
QColor orange();
QColor gray();

/** Window background behind the content. */
QColor windowBackground();
/** Darker page colour behind the overview's panes (used at half opacity there). */
QColor underPageBackground();
/** Header and status bars: the window colour, slightly translucent. */
QColor barBackground();
/** Divider lines between bars, panes and content. */
QColor separator();

/** The interface font at `pixelSize` (fractions round to whole pixels) and weight. */
QFont font(qreal pixelSize, QFont::Weight weight = QFont::Normal);

/** Preferred font families: a CJK face first so Chinese and Latin share one design. */
QStringList fontFamilies();

/** Sets the application's font and palette accents once at start-up. */
void applyToApplication();

/** Sets the foreground (WindowText/ButtonText) colour of a widget's palette. */
void setForeground(QWidget *widget, const QColor &color);

} // namespace mendral::theme

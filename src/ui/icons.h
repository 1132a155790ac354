#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QString>

#include <vector>

/**
 * Symbols of the interface by name ("chevron.left", "checkmark.seal", …). One table maps each
 * name to a drawing of the Bootstrap Icons set (SVG, read at run time); the drawings are tinted
 * with the colour asked for. An unknown name or a missing icon folder gives an empty icon, never
 * an error, so the window still works without its symbols.
 */
namespace mendral::icons {

/** The icon set's file name (without ".svg") for a symbol name; nullptr when unknown. */
const char *fileFor(const char *symbolName);

/** Every symbol name of the table. */
std::vector<const char *> symbolNames();

/** The folder the SVG files are read from: findDataDirectory() for "icons" ($MENDRAL_ICONS). */
QString directory();

/** Full path of a symbol's SVG; empty when the name is unknown or the file is missing. */
QString svgPath(const char *symbolName);

/** The symbol as an icon drawn in `color` at any size (disabled: at lower opacity). */
QIcon icon(const char *symbolName, const QColor &color);
/** The symbol in the palette's primary text colour. */
QIcon icon(const char *symbolName);

/** The symbol drawn in `color` into a square of `size` device-independent pixels. */
QPixmap pixmap(const char *symbolName, int size, const QColor &color, qreal devicePixelRatio = 1.0);

} // namespace mendral::icons

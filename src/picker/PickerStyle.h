#pragma once

#include <QColor>
#include <QFont>
#include <QIcon>
#include <QPalette>
#include <QPixmap>
#include <QString>

// The picker's look: label colours, fonts and icons, all taken from the palette so that the
// picker follows a light or a dark desktop.
namespace quillstow::style {

// The label colour hierarchy, derived from the palette's text colour.
QColor primary(const QPalette& palette);
QColor secondary(const QPalette& palette);
QColor tertiary(const QPalette& palette);
// The selection colour.
QColor accent(const QPalette& palette);
// `color` with its opacity multiplied by `opacity`.
QColor withOpacity(QColor color, double opacity);

// Whether the palette draws light text on a dark window.
bool isDark(const QPalette& palette);
// Signal colours, toned for the palette's brightness.
QColor red(const QPalette& palette);
QColor orange(const QPalette& palette);
QColor purple(const QPalette& palette);

// The desktop's font scaled by `scale`, so that the picker follows the size the user chose.
QFont font(qreal scale, QFont::Weight weight = QFont::Normal);
inline constexpr qreal captionSize = 0.85;
inline constexpr qreal bodySize = 1.0;
inline constexpr qreal searchSize = 1.15;

// Names of the bundled icons.
namespace icons {
inline const QString search = QStringLiteral("search");
inline const QString clear = QStringLiteral("clear");
inline const QString clipboard = QStringLiteral("clipboard");
inline const QString pin = QStringLiteral("pin");
inline const QString pinFilled = QStringLiteral("pin-filled");
inline const QString unpin = QStringLiteral("unpin");
inline const QString note = QStringLiteral("note");
inline const QString trash = QStringLiteral("trash");
inline const QString checkmark = QStringLiteral("checkmark");
inline const QString gear = QStringLiteral("gear");
} // namespace icons

// The bundled icon `name` drawn in `color`, `size` pixels square at the given pixel ratio. A
// null pixmap for an unknown name.
QPixmap iconPixmap(const QString& name, const QColor& color, int size, qreal devicePixelRatio);
// The same icon as a QIcon with sharp renderings for the usual sizes.
QIcon icon(const QString& name, const QColor& color);

} // namespace quillstow::style

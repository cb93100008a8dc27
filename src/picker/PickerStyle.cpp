#include "picker/PickerStyle.h"

#include <QApplication>
#include <QFile>
#include <QHash>
#include <QPainter>
#include <QSvgRenderer>
#include <algorithm>

static void initPickerIcons()
{
    // The icons live in a static library, whose resource registration the linker would drop.
    Q_INIT_RESOURCE(picker_icons);
}

namespace quillstow::style {

QColor withOpacity(QColor color, double opacity)
{
    color.setAlphaF(static_cast<float>(color.alphaF() * opacity));
    return color;
}

QColor primary(const QPalette& palette)
{
    return palette.color(QPalette::Active, QPalette::WindowText);
}

QColor secondary(const QPalette& palette)
{
    return withOpacity(primary(palette), 0.6);
}

QColor tertiary(const QPalette& palette)
{
    return withOpacity(primary(palette), 0.35);
}

QColor accent(const QPalette& palette)
{
    return palette.color(QPalette::Active, QPalette::Highlight);
}

bool isDark(const QPalette& palette)
{
    return palette.color(QPalette::Window).lightnessF() <
           palette.color(QPalette::WindowText).lightnessF();
}

QColor red(const QPalette& palette)
{
    return isDark(palette) ? QColor(0xFF, 0x45, 0x3A) : QColor(0xE0, 0x2E, 0x24);
}

QColor orange(const QPalette& palette)
{
    return isDark(palette) ? QColor(0xFF, 0x9F, 0x0A) : QColor(0xF0, 0x8A, 0x00);
}

QColor purple(const QPalette& palette)
{
    return isDark(palette) ? QColor(0xBF, 0x5A, 0xF2) : QColor(0xA0, 0x45, 0xD0);
}

QFont font(qreal scale, QFont::Weight weight)
{
    QFont f = QApplication::font();
    if (f.pointSizeF() > 0)
        f.setPointSizeF(f.pointSizeF() * scale);
    else if (f.pixelSize() > 0)
        f.setPixelSize(std::max(1, qRound(f.pixelSize() * scale)));
    f.setWeight(weight);
    return f;
}

namespace {

QByteArray svgSource(const QString& name)
{
    static const bool registered = (initPickerIcons(), true);
    Q_UNUSED(registered);
    static QHash<QString, QByteArray> sources;
    auto found = sources.constFind(name);
    if (found != sources.constEnd())
        return *found;
    QFile file(QStringLiteral(":/picker/icons/%1.svg").arg(name));
    const QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    sources.insert(name, bytes);
    return bytes;
}

} // namespace

QPixmap iconPixmap(const QString& name, const QColor& color, int size, qreal devicePixelRatio)
{
    static QHash<QString, QPixmap> cache;
    const QString key =
        QStringLiteral("%1|%2|%3|%4").arg(name).arg(color.rgba()).arg(size).arg(devicePixelRatio);
    if (const auto found = cache.constFind(key); found != cache.constEnd())
        return *found;
    const QByteArray source = svgSource(name);
    if (source.isEmpty() || size <= 0)
        return {};
    // The drawings use currentColor; an SVG renderer has no context to take it from.
    QByteArray colored = source;
    colored.replace("currentColor", color.name(QColor::HexRgb).toLatin1());
    QSvgRenderer renderer(colored);
    const int pixels = qRound(size * devicePixelRatio);
    QPixmap pixmap(pixels, pixels);
    pixmap.fill(Qt::transparent);
    {
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setOpacity(color.alphaF());
        renderer.render(&painter);
    }
    pixmap.setDevicePixelRatio(devicePixelRatio);
    cache.insert(key, pixmap);
    return pixmap;
}

QIcon icon(const QString& name, const QColor& color)
{
    QIcon result;
    for (const int size : {16, 22, 24, 32, 48, 64})
        result.addPixmap(iconPixmap(name, color, size, 1.0));
    return result;
}

} // namespace quillstow::style

#include "settings/SettingsIcons.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

namespace quillstow::settings {

namespace {

QIcon tinted(const QString& resource, const QColor& colour)
{
    QSvgRenderer renderer(resource);
    QIcon icon;
    if (!renderer.isValid())
        return icon;
    const qreal ratio = qGuiApp ? qGuiApp->devicePixelRatio() : 1.0;
    for (int size : {16, 22, 24, 32, 48}) {
        const int pixels = qRound(size * ratio);
        QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter);
        // Keep the drawing's shape and coverage, take the colour from the palette.
        painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        painter.fillRect(image.rect(), colour);
        painter.end();
        QPixmap pixmap = QPixmap::fromImage(image);
        pixmap.setDevicePixelRatio(ratio);
        icon.addPixmap(pixmap);
    }
    return icon;
}

} // namespace

QIcon generalTabIcon(const QColor& colour)
{
    return tinted(QStringLiteral(":/settings/icons/gear.svg"), colour);
}

QIcon obsidianTabIcon(const QColor& colour)
{
    return tinted(QStringLiteral(":/settings/icons/note.svg"), colour);
}

QIcon trayIcon(const QColor& colour)
{
    QIcon icon = tinted(QStringLiteral(":/quillstow/quillstow-symbolic.svg"), colour);
    icon.setIsMask(true);
    return icon;
}

} // namespace quillstow::settings

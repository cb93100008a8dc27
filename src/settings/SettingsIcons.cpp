#include "settings/SettingsIcons.h"

#include <QFile>
#include <QGuiApplication>
#include <QHash>
#include <QIconEngine>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>
#include <optional>

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

// One of our SVGs drawn at the size asked for, when it is asked for: the icon needs no icon
// engine plugin found and loaded at start, and only the sizes a window or the tray really uses are
// rasterised. `tint`, when given, recolours the drawing as tinted() does.
class SvgIconEngine final : public QIconEngine
{
public:
    SvgIconEngine(QString resource, std::optional<QColor> tint)
        : resource_(std::move(resource)), tint_(tint)
    {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override
    {
        const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        QPixmap drawn = pixmap(rect.size() * ratio, mode, state);
        drawn.setDevicePixelRatio(ratio);
        painter->drawPixmap(rect, drawn);
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode, QIcon::State) override
    {
        if (size.isEmpty())
            return {};
        const quint64 key = (quint64(quint32(size.width())) << 32) | quint32(size.height());
        if (const auto cached = drawn_.constFind(key); cached != drawn_.cend())
            return *cached;
        QSvgRenderer renderer(resource_);
        if (!renderer.isValid())
            return {};
        QImage image(size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter);
        if (tint_) {
            painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
            painter.fillRect(image.rect(), *tint_);
        }
        painter.end();
        return *drawn_.insert(key, QPixmap::fromImage(image));
    }

    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override { return size; }

    // What window managers are offered for a window's icon.
    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override
    {
        return {QSize(16, 16), QSize(24, 24), QSize(32, 32), QSize(48, 48), QSize(64, 64)};
    }

    QIconEngine* clone() const override { return new SvgIconEngine(resource_, tint_); }
    QString key() const override { return QStringLiteral("QuillstowSvg"); }
    bool isNull() override { return !QFile::exists(resource_); }

private:
    QString resource_;
    std::optional<QColor> tint_;
    QHash<quint64, QPixmap> drawn_;
};

} // namespace

QIcon appIcon()
{
    return QIcon(new SvgIconEngine(QStringLiteral(":/quillstow/quillstow.svg"), std::nullopt));
}

QIcon generalTabIcon(const QColor& colour)
{
    return tinted(QStringLiteral(":/settings/icons/gear.svg"), colour);
}

QIcon obsidianTabIcon(const QColor& colour)
{
    return tinted(QStringLiteral(":/settings/icons/note.svg"), colour);
}

QIcon trayIcon(TrayHost host, const QColor& colour)
{
    if (host == TrayHost::StatusNotifier)
        return appIcon();
    QIcon icon(new SvgIconEngine(QStringLiteral(":/quillstow/quillstow-symbolic.svg"), colour));
    icon.setIsMask(true);
    return icon;
}

} // namespace quillstow::settings

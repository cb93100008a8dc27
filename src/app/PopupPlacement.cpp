#include "app/PopupPlacement.h"

#include <algorithm>

namespace quillstow::placement {

namespace {

bool holds(const QRect& screen, QPoint p)
{
    return p.x() >= screen.x() && p.x() < screen.x() + screen.width() && p.y() >= screen.y() &&
           p.y() < screen.y() + screen.height();
}

// Inside [low, high] when the range is not empty; on a screen smaller than the popup the left
// or top edge wins, so the popup's own top-left stays visible.
int clampInto(int value, int low, int high)
{
    return std::max(std::min(value, high), low);
}

} // namespace

int screenIndexFor(QPoint point, const QList<QRect>& screens, int fallback)
{
    for (qsizetype i = 0; i < screens.size(); ++i) {
        if (holds(screens[i], point))
            return static_cast<int>(i);
    }
    if (fallback >= 0 && fallback < screens.size())
        return fallback;
    return screens.isEmpty() ? -1 : 0;
}

QSize fittedSize(QSize available)
{
    if (available.isEmpty())
        return popupSize;
    return popupSize.boundedTo(available);
}

QPoint nearAnchor(const QRect& anchor, QSize popup, const QList<QRect>& screens, int mainScreen)
{
    const QPoint below(anchor.x(), anchor.y() + anchor.height());
    const int index = screenIndexFor(below, screens, mainScreen);
    if (index < 0)
        return below;
    const QRect& f = screens[index];
    const int bottom = f.y() + f.height();
    const int x = clampInto(below.x(), f.x(), f.x() + f.width() - popup.width());
    int y = below.y();
    if (y + popup.height() > bottom && anchor.y() - popup.height() >= f.y())
        y = anchor.y() - popup.height();
    return {x, clampInto(y, f.y(), bottom - popup.height())};
}

QPoint underTrayIcon(const QRect& icon, QSize popup, const QList<QRect>& screens, int mainScreen)
{
    const QPoint centre(icon.x() + icon.width() / 2, icon.y() + icon.height() / 2);
    const int index = screenIndexFor(centre, screens, mainScreen);
    const int midX = centre.x();
    int x =
        std::max(midX - popup.width() / 2, (index >= 0 ? screens[index].x() : 0) + screenMargin);
    int y = icon.y() + icon.height() + trayGap;
    if (index < 0)
        return {x, y};
    const QRect& f = screens[index];
    x = clampInto(x, f.x() + screenMargin, f.x() + f.width() - popup.width() - screenMargin);
    const int bottom = f.y() + f.height();
    if (y + popup.height() > bottom) {
        const int above = icon.y() - trayGap - popup.height();
        y = above >= f.y() ? above : bottom - popup.height();
    }
    y = clampInto(y, f.y(), bottom - popup.height());
    return {x, y};
}

QPoint centredOn(const QRect& output, QSize popup)
{
    return {output.x() + (output.width() - popup.width()) / 2,
            output.y() + (output.height() - popup.height()) / 2};
}

} // namespace quillstow::placement

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

QPoint nearAnchor(QPoint anchor, const QList<QRect>& screens, int mainScreen)
{
    const int index = screenIndexFor(anchor, screens, mainScreen);
    if (index < 0)
        return anchor;
    const QRect& f = screens[index];
    const int x = clampInto(anchor.x(), f.x(), f.x() + f.width() - popupSize.width());
    const int y = clampInto(anchor.y(), f.y(), f.y() + f.height() - popupSize.height());
    return {x, y};
}

QPoint underTrayIcon(const QRect& icon, const QList<QRect>& screens, int mainScreen)
{
    const QPoint centre(icon.x() + icon.width() / 2, icon.y() + icon.height() / 2);
    const int index = screenIndexFor(centre, screens, mainScreen);
    const int midX = centre.x();
    int x =
        std::max(midX - trayHorizontalOffset, (index >= 0 ? screens[index].x() : 0) + screenMargin);
    int y = icon.y() + icon.height() + trayGap;
    if (index < 0)
        return {x, y};
    const QRect& f = screens[index];
    x = clampInto(x, f.x() + screenMargin, f.x() + f.width() - popupSize.width() - screenMargin);
    const int bottom = f.y() + f.height();
    if (y + popupSize.height() > bottom) {
        const int above = icon.y() - trayGap - popupSize.height();
        y = above >= f.y() ? above : bottom - popupSize.height();
    }
    y = clampInto(y, f.y(), bottom - popupSize.height());
    return {x, y};
}

} // namespace quillstow::placement

#include "platform/sway/SwayTree.h"

#include <QJsonArray>
#include <QJsonObject>

namespace quillstow::platform::sway {

namespace {

QRect rectOf(const QJsonObject& node, QLatin1String key)
{
    const QJsonObject r = node.value(key).toObject();
    return {r.value(QLatin1String("x")).toInt(), r.value(QLatin1String("y")).toInt(),
            r.value(QLatin1String("width")).toInt(), r.value(QLatin1String("height")).toInt()};
}

struct Found
{
    QJsonObject node;
    QJsonObject output;
};

// Depth first through tiled and floating children; the output on the way down is remembered.
std::optional<Found> findFocused(const QJsonObject& node, const QJsonObject& output)
{
    const bool isOutput = node.value(QLatin1String("type")).toString() == QLatin1String("output");
    // The scratchpad hides in a pseudo-output that is never on screen.
    if (isOutput && node.value(QLatin1String("name")).toString() == QLatin1String("__i3"))
        return std::nullopt;
    const QJsonObject& here = isOutput ? node : output;
    if (node.value(QLatin1String("focused")).toBool())
        return Found{node, here};
    for (const auto key : {QLatin1String("nodes"), QLatin1String("floating_nodes")}) {
        const QJsonArray children = node.value(key).toArray();
        for (const QJsonValue& child : children) {
            if (auto found = findFocused(child.toObject(), here))
                return found;
        }
    }
    return std::nullopt;
}

int roundDown(int value)
{
    return value >= 0 ? value / placementGrid * placementGrid
                      : -((-value + placementGrid - 1) / placementGrid * placementGrid);
}

// A regular expression matching `text` literally. Special characters go into brackets rather
// than behind backslashes, which sway's own quoting would take for its own.
QString literal(const QString& text)
{
    QString out;
    for (const QChar c : text) {
        // These four cannot stand plainly in brackets; any character there will do.
        if (c == u'^' || c == u'\\' || c == u']' || c == u'"')
            out += u'.';
        else if (QStringView(u".[()*+?{}|$").contains(c))
            out += u'[' + QString(c) + u']';
        else
            out += c;
    }
    return out;
}

} // namespace

std::optional<WindowFrame> focusedWindow(const QJsonDocument& tree)
{
    const auto found = findFocused(tree.object(), {});
    // Only windows have a process; a focused workspace or output has none.
    if (!found || !found->node.contains(QLatin1String("pid")))
        return std::nullopt;
    const QRect rect = rectOf(found->node, QLatin1String("rect"));
    const QRect content = rectOf(found->node, QLatin1String("window_rect"));
    return WindowFrame{static_cast<quint32>(found->node.value(QLatin1String("pid")).toInteger()),
                       rect.topLeft() + content.topLeft()};
}

std::optional<QRect> focusedOutput(const QJsonDocument& tree)
{
    const auto found = findFocused(tree.object(), {});
    if (!found || found->output.isEmpty())
        return std::nullopt;
    return rectOf(found->output, QLatin1String("rect"));
}

QPoint gridPosition(QPoint topLeft)
{
    return {roundDown(topLeft.x()), -roundDown(-topLeft.y())};
}

QString placementTitle(QPoint topLeft)
{
    return QStringLiteral("Quillstow %1 %2").arg(topLeft.x()).arg(topLeft.y());
}

QString placementRule(const QString& appId, QPoint topLeft)
{
    // The commands are quoted: unquoted, sway would end the rule at the first comma and run the
    // rest at once.
    return QStringLiteral("for_window [app_id=\"^%1$\" title=\"^%2$\"] \"floating enable, border "
                          "none, move absolute position %3 %4\"")
        .arg(literal(appId), placementTitle(topLeft))
        .arg(topLeft.x())
        .arg(topLeft.y());
}

} // namespace quillstow::platform::sway

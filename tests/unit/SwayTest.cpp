#include "platform/WindowPlacer.h"
#include "platform/sway/SwayIpc.h"
#include "platform/sway/SwayTree.h"

#include <QJsonArray>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <tuple>
#include <unistd.h>

using namespace quillstow::platform;
using namespace quillstow::platform::sway;

namespace {

// Two outputs side by side, a tiled and a floating window on the right one, and the
// scratchpad's pseudo-output with a window that claims the focus and must never count.
QJsonDocument tree(bool tiled, bool floating, bool workspace = false)
{
    const QString text = QStringLiteral(R"({"type": "root", "focused": false, "nodes": [
  {"type": "output", "name": "__i3", "rect": {"x": 0, "y": 0, "width": 0, "height": 0},
   "nodes": [{"type": "con", "pid": 9, "focused": true}]},
  {"type": "output", "name": "HEADLESS-1", "rect": {"x": 0, "y": 0, "width": 1280, "height": 800}},
  {"type": "output", "name": "HEADLESS-2",
   "rect": {"x": 1280, "y": 0, "width": 1920, "height": 1080},
   "nodes": [{"type": "workspace", "focused": %3,
     "nodes": [{"type": "con", "pid": 41, "focused": %1,
                "rect": {"x": 1300, "y": 30, "width": 600, "height": 400},
                "window_rect": {"x": 0, "y": 0, "width": 600, "height": 400}}],
     "floating_nodes": [{"type": "floating_con", "pid": 42, "focused": %2,
                "rect": {"x": 1500, "y": 200, "width": 304, "height": 122},
                "window_rect": {"x": 2, "y": 0, "width": 300, "height": 120}}]}]}]})");
    const auto word = [](bool b) {
        return b ? QStringLiteral("true") : QStringLiteral("false");
    };
    return QJsonDocument::fromJson(text.arg(word(tiled), word(floating), word(workspace)).toUtf8());
}

} // namespace

TEST(SwayTree, FocusedWindowAndOutput)
{
    const QRect right(1280, 0, 1920, 1080);
    for (const auto& [name, doc, frame, output] : {
             std::tuple<const char*, QJsonDocument, std::optional<WindowFrame>,
                        std::optional<QRect>>{"a tiled window", tree(true, false),
                                              WindowFrame{41, {1300, 30}}, right},
             {"a floating window with a border", tree(false, true), WindowFrame{42, {1502, 200}},
              right},
             {"an empty workspace", tree(false, false, true), std::nullopt, right},
             {"nothing focused", tree(false, false), std::nullopt, std::nullopt},
             {"not a tree", QJsonDocument(QJsonArray{}), std::nullopt, std::nullopt},
         }) {
        EXPECT_EQ(focusedWindow(doc), frame) << name;
        EXPECT_EQ(focusedOutput(doc), output) << name;
    }
}

TEST(SwayTree, RuleNamesItsPositionOnTheGrid)
{
    for (const auto& [wanted, onGrid] : {
             std::pair<QPoint, QPoint>{{704, 128}, {704, 128}},
             {{709, 121}, {704, 128}},
             {{-3, -3}, {-8, 0}},
         })
        EXPECT_EQ(gridPosition(wanted), onGrid);

    EXPECT_EQ(placementRule(QStringLiteral("io.quillstow"), {704, -8}),
              QStringLiteral("for_window [app_id=\"^io[.]quillstow$\" title=\"^Quillstow 704 "
                             "-8$\"] \"floating enable, border none, move absolute position "
                             "704 -8\""));
    EXPECT_EQ(placementTitle({704, -8}), QStringLiteral("Quillstow 704 -8"));
}

TEST(WindowPlacer, KindFromQtPlatformAndSwaySocket)
{
    const QString sock = QStringLiteral("/run/sway.sock");
    EXPECT_EQ(placementKindFor(u"xcb", sock), PlacementKind::Move);
    EXPECT_EQ(placementKindFor(u"wayland", sock), PlacementKind::Sway);
    EXPECT_EQ(placementKindFor(u"wayland-egl", {}), PlacementKind::Compositor);
}

TEST(SwayIpc, RepliesAreReadAndAGoneOrSilentSwayFailsCleanly)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("sway.sock"));
    const int server = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray bytes = path.toLocal8Bit();
    std::copy(bytes.begin(), bytes.end(), address.sun_path);
    ASSERT_EQ(::bind(server, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(server, 4), 0);

    // Answers one request with the same framing, then takes one connection and says nothing.
    QByteArray received;
    std::thread sway([&] {
        const int client = ::accept(server, nullptr, nullptr);
        char buffer[256];
        const ssize_t n = ::read(client, buffer, sizeof buffer);
        received = QByteArray(buffer, static_cast<qsizetype>(std::max<ssize_t>(n, 0)));
        const QByteArray reply = frame(SwayIpc::Message::RunCommand, "[{\"success\":true}]");
        EXPECT_EQ(::write(client, reply.data(), static_cast<size_t>(reply.size())), reply.size());
        ::close(client);
        // Holds the connection open until the client gives up.
        const int silent = ::accept(server, nullptr, nullptr);
        while (::read(silent, buffer, sizeof buffer) > 0) {
        }
        ::close(silent);
    });

    SwayIpc ipc(path);
    EXPECT_TRUE(ipc.runCommand(QStringLiteral("nop")));
    EXPECT_EQ(received, QByteArray("i3-ipc\x03\0\0\0\0\0\0\0nop", 17));
    EXPECT_EQ(ipc.tree(), std::nullopt); // no reply in time
    sway.join();
    ::close(server);
    EXPECT_FALSE(
        SwayIpc(dir.filePath(QStringLiteral("gone.sock"))).runCommand(QStringLiteral("nop")));
}

#include "platform/wayland/WaylandConnection.h"

#include "wlr-data-control-unstable-v1-client-protocol.h"

#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using namespace quillstow::platform;

TEST(WaylandConnection, NoCompositorAndASilentOneAreRefusedInTime)
{
    QString error;
    EXPECT_FALSE(WaylandConnection::connect("no-such-wayland-socket", &error));
    EXPECT_FALSE(error.isEmpty());

    // A socket that takes the connection and never answers, as a stuck compositor does.
    QTemporaryDir dir;
    const QByteArray path = dir.filePath(QStringLiteral("silent")).toLocal8Bit();
    const int listener = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.constData(), static_cast<std::size_t>(path.size()));
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(listener, 1), 0);
    QElapsedTimer clock;
    clock.start();
    error.clear();
    EXPECT_FALSE(WaylandConnection::connect(path, &error, std::chrono::milliseconds(300)));
    EXPECT_LT(clock.elapsed(), 2000);
    EXPECT_TRUE(error.contains(QStringLiteral("did not answer"))) << error.toStdString();
    close(listener);
}

TEST(WaylandConnection, AProtocolErrorIsToldOnceAndEndsReading)
{
    const auto connection = WaylandConnection::connect();
    ASSERT_TRUE(connection);
    QSignalSpy lost(connection.get(), &WaylandConnection::lost);
    auto* manager = static_cast<zwlr_data_control_manager_v1*>(
        connection->bind(zwlr_data_control_manager_v1_interface, 2));
    ASSERT_TRUE(manager);
    zwlr_data_control_device_v1* device =
        zwlr_data_control_manager_v1_get_data_device(manager, connection->seat());
    zwlr_data_control_source_v1* source = zwlr_data_control_manager_v1_create_data_source(manager);
    zwlr_data_control_source_v1_offer(source, "text/plain");
    // A source may be set once; the second time the compositor ends the connection.
    zwlr_data_control_device_v1_set_selection(device, source);
    zwlr_data_control_device_v1_set_selection(device, source);
    connection->flush();
    EXPECT_TRUE(lost.wait(5000));
    QTest::qWait(100);
    EXPECT_EQ(lost.count(), 1);
    EXPECT_TRUE(connection->isLost());
    EXPECT_FALSE(connection->roundtrip(std::chrono::milliseconds(100)));
    zwlr_data_control_source_v1_destroy(source);
    zwlr_data_control_device_v1_destroy(device);
    zwlr_data_control_manager_v1_destroy(manager);
}

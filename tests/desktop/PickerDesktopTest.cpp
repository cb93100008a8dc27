// The real picker on the private desktop: what a screen reader hears while the selection moves,
// and the picker's size on a small screen at double scale.
#include "support/Desktop.h"

#include <QRegularExpression>
#include <atspi/atspi.h>
#include <gtest/gtest.h>

using namespace quillstow::test;

namespace {

const QString program = QStringLiteral(QUILLSTOW_PROGRAM);
constexpr const char* focusEvent = "object:state-changed:focused";

// The elements that gained the focus on the accessibility bus, as "name (role)", in order.
class FocusWatch
{
public:
    FocusWatch()
    {
        atspi_init();
        atspi_event_listener_register(listener_, focusEvent, nullptr);
    }
    ~FocusWatch()
    {
        atspi_event_listener_deregister(listener_, focusEvent, nullptr);
        g_object_unref(listener_);
    }
    FocusWatch(const FocusWatch&) = delete;
    FocusWatch& operator=(const FocusWatch&) = delete;

    const QStringList& gained() const { return gained_; }
    bool waitForLast(const QString& element)
    {
        return QTest::qWaitFor([&] { return gained_.value(gained_.size() - 1) == element; }, 5000);
    }

private:
    static void onEvent(AtspiEvent* event, void* data)
    {
        if (event->detail1 != 0 && event->source) {
            gchar* name = atspi_accessible_get_name(event->source, nullptr);
            gchar* role = atspi_accessible_get_role_name(event->source, nullptr);
            static_cast<FocusWatch*>(data)->gained_
                << QString::fromUtf8(name) + QStringLiteral(" (") + QString::fromUtf8(role) + u')';
            g_free(name);
            g_free(role);
        }
        g_boxed_free(ATSPI_TYPE_EVENT, event);
    }

    AtspiEventListener* listener_ = atspi_event_listener_new(&FocusWatch::onEvent, this, nullptr);
    QStringList gained_;
};

// The program with its accessibility bridge on; Qt 6.4 finds the bus through the session bus.
class Instance : public Program
{
public:
    explicit Instance(const QStringList& environment = {})
        : Program(program, {},
                  QStringList{QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1"),
                              QStringLiteral("AT_SPI_BUS_ADDRESS")} +
                      environment)
    {}
};

bool run(const QStringList& args)
{
    bool ok = false;
    runTool(program, args, {}, &ok);
    return ok;
}

// Starts the program, copies `texts` one after another and opens the picker.
bool openPickerOver(const QStringList& texts)
{
    QTest::qWait(1000); // up, with its clipboard watch in place
    for (const QString& text : texts) {
        if (!xclipCopy(text.toUtf8()))
            return false;
        QTest::qWait(800); // the clipboard is looked at twice a second
    }
    return run({QStringLiteral("--show")}) && waitForActiveWindow(QStringLiteral("Quillstow"));
}

} // namespace

TEST(PickerAccessibility, TheSelectedRowGainsTheFocusWithItsText)
{
    FocusWatch watch;
    Instance running;
    // Newest first: "gamma three" on top.
    ASSERT_TRUE(openPickerOver(
        {QStringLiteral("alpha one"), QStringLiteral("beta two"), QStringLiteral("gamma three")}));
    const QString row = QStringLiteral(" (list item)");
    EXPECT_TRUE(watch.waitForLast(QStringLiteral("Search clipboard history (text)")))
        << watch.gained().join(u'|').toStdString();

    const struct
    {
        const char* key;
        QString focused;
    } steps[] = {
        // Typing in the search field, the selected row is told all the same.
        {"Down", QStringLiteral("beta two") + row},
        // The list takes the focus on its selected row; there the list tells of it itself.
        {"Tab", QStringLiteral("beta two") + row},
        {"Down", QStringLiteral("alpha one") + row},
        {"shift+Tab", QStringLiteral("Search clipboard history (text)")},
        {"Up", QStringLiteral("beta two") + row},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.key);
        xdotool({QStringLiteral("key"), QString::fromLatin1(step.key)});
        EXPECT_TRUE(watch.waitForLast(step.focused)) << watch.gained().join(u'|').toStdString();
    }
    EXPECT_TRUE(run({QStringLiteral("--quit")}));
}

// Run on a 1440 by 900 screen (TESTBED_SCREEN): at scale 2 the picker's natural height is
// 1040 pixels.
TEST(PickerScaled, FitsASmallScreenAtDoubleScale)
{
    Instance running({QStringLiteral("QT_SCALE_FACTOR=2")});
    ASSERT_TRUE(openPickerOver({QStringLiteral("one entry")}));
    const QRect frame = windowFrame(activeWindow());
    const QRect screen(0, 0, 1440, 900);
    EXPECT_TRUE(screen.contains(frame))
        << frame.x() << "," << frame.y() << " " << frame.width() << "x" << frame.height();
    EXPECT_GT(frame.height(), 700); // shrunk to the screen, not to nothing
    EXPECT_EQ(frame.width(), 960);
    EXPECT_TRUE(run({QStringLiteral("--quit")}));
}

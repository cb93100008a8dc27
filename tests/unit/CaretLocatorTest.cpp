#include "app/CaretLocator.h"

#include "platform/DebugLog.h"
#include "support/TestSupport.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

using namespace quillstow;
using platform::CaretRect;
using platform::CaretStep;

namespace {

// Answers each step as told and records the order it was asked in.
class FakeCaretQuery final : public platform::CaretQuery
{
public:
    CaretStep focused = CaretStep::ok();
    CaretStep lastFocused = CaretStep::failed(0);
    CaretStep caret = CaretStep::ok();
    CaretStep bounds = CaretStep::ok();
    std::optional<CaretRect> rect = CaretRect{200, 150, 2, 18};
    QStringList* calls = nullptr;

    CaretStep findFocusedElement() override { return record("focus", focused); }
    CaretStep findLastFocusedElement() override { return record("last", lastFocused); }
    CaretStep readCaret() override { return record("caret", caret); }
    CaretStep readCaretBounds() override { return record("bounds", bounds); }
    std::optional<CaretRect> caretRect() override
    {
        calls->append(QStringLiteral("rect"));
        return rect;
    }
    void finish() override { calls->append(QStringLiteral("finish")); }
    void followFocus() override { calls->append(QStringLiteral("follow")); }

private:
    CaretStep record(const char* name, CaretStep step)
    {
        calls->append(QLatin1String(name));
        return step;
    }
};

class CaretLocatorTest : public ::testing::Test
{
protected:
    void SetUp() override { debuglog::setPath(dir_.filePath(QStringLiteral("log"))); }
    void TearDown() override { debuglog::setPath(debuglog::defaultPath); }

    // Runs one lookup against a fake set up by `configure`.
    template <typename F> std::optional<QPointF> locate(F configure)
    {
        auto query = std::make_unique<FakeCaretQuery>();
        query->calls = &calls_;
        configure(*query);
        CaretLocator locator(std::move(query));
        return locator.caretScreenOrigin();
    }

    QString log() const
    {
        return QString::fromUtf8(test::readFile(dir_.filePath(QStringLiteral("log"))));
    }

    QTemporaryDir dir_;
    QStringList calls_;
};

} // namespace

TEST_F(CaretLocatorTest, WorkedExampleGivesTheLowerLeftCornerAndItsLine)
{
    const auto origin = locate([](FakeCaretQuery&) {});
    ASSERT_TRUE(origin.has_value());
    EXPECT_EQ(*origin, QPointF(200, 168));
    EXPECT_EQ(log(), QStringLiteral("caretScreenOrigin: success rect=(200.0, 150.0, 2.0, 18.0) "
                                    "-> origin=(200.0, 168.0)\n"));
    EXPECT_EQ(calls_.join(u' '), QStringLiteral("focus caret bounds rect finish"));
}

TEST_F(CaretLocatorTest, EachFailureStopsWithItsLineAndNoPoint)
{
    struct Case
    {
        const char* name;
        void (*configure)(FakeCaretQuery&);
        const char* line;
        const char* calls;
    };
    const Case cases[] = {
        {"no focused element", [](FakeCaretQuery& q) { q.focused = CaretStep::failed(-2); },
         "caretScreenOrigin: no focused element (err=-2)\n", "focus finish"},
        {"focused element reported but absent",
         [](FakeCaretQuery& q) { q.focused = CaretStep::failed(0); },
         "caretScreenOrigin: no focused element (err=0)\n", "focus last finish"},
        {"no caret", [](FakeCaretQuery& q) { q.caret = CaretStep::failed(-3); },
         "caretScreenOrigin: no text range (err=-3)\n", "focus caret finish"},
        {"no bounds", [](FakeCaretQuery& q) { q.bounds = CaretStep::failed(-2147483647 - 1); },
         "caretScreenOrigin: no bounds (err=-2147483648)\n", "focus caret bounds finish"},
        {"extents that are no rectangle", [](FakeCaretQuery& q) { q.rect.reset(); },
         "caretScreenOrigin: AXValueGetValue failed\n", "focus caret bounds rect finish"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(dir_.filePath(QStringLiteral("log")));
        calls_.clear();
        EXPECT_EQ(locate(c.configure), std::nullopt);
        EXPECT_EQ(log(), QString::fromLatin1(c.line));
        EXPECT_EQ(calls_.join(u' '), QString::fromLatin1(c.calls));
    }
}

TEST_F(CaretLocatorTest, NothingFocusedFallsBackOnTheElementThatLastHadTheFocus)
{
    // While the hot key holds the keyboard, the application in front shows nothing focused;
    // only that answer, not a hung application or a missing bus, tries the last focused one.
    struct Case
    {
        const char* name;
        void (*configure)(FakeCaretQuery&);
        const char* line;
        const char* calls;
    };
    const Case cases[] = {
        {"focused element found: the last one is not asked", [](FakeCaretQuery&) {},
         "caretScreenOrigin: success rect=(200.0, 150.0, 2.0, 18.0) -> origin=(200.0, 168.0)\n",
         "focus caret bounds rect finish"},
        {"nothing focused, the last focused element found",
         [](FakeCaretQuery& q) {
             q.focused = CaretStep::failed(0);
             q.lastFocused = CaretStep::ok();
         },
         "caretScreenOrigin: success rect=(200.0, 150.0, 2.0, 18.0) -> origin=(200.0, 168.0)\n",
         "focus last caret bounds rect finish"},
        {"nothing focused and no last focused element: the first failure is logged",
         [](FakeCaretQuery& q) {
             q.focused = CaretStep::failed(0);
             q.lastFocused = CaretStep::failed(-2);
         },
         "caretScreenOrigin: no focused element (err=0)\n", "focus last finish"},
        {"the last focused element has no text",
         [](FakeCaretQuery& q) {
             q.focused = CaretStep::failed(0);
             q.lastFocused = CaretStep::ok();
             q.caret = CaretStep::failed(-3);
         },
         "caretScreenOrigin: no text range (err=-3)\n", "focus last caret finish"},
        {"the application in front hangs",
         [](FakeCaretQuery& q) {
             q.focused = CaretStep::failed(-2);
             q.lastFocused = CaretStep::ok();
         },
         "caretScreenOrigin: no focused element (err=-2)\n", "focus finish"},
        {"a call failed",
         [](FakeCaretQuery& q) {
             q.focused = CaretStep::failed(-1);
             q.lastFocused = CaretStep::ok();
         },
         "caretScreenOrigin: no focused element (err=-1)\n", "focus finish"},
        {"no accessibility bus",
         [](FakeCaretQuery& q) {
             q.focused = CaretStep::failed(-4);
             q.lastFocused = CaretStep::ok();
         },
         "caretScreenOrigin: no focused element (err=-4)\n", "focus finish"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(dir_.filePath(QStringLiteral("log")));
        calls_.clear();
        locate(c.configure);
        EXPECT_EQ(log(), QString::fromLatin1(c.line)); // one line per lookup, whichever way
        EXPECT_EQ(calls_.join(u' '), QString::fromLatin1(c.calls));
    }
}

TEST_F(CaretLocatorTest, FollowingTheFocusIsLeftToTheQuery)
{
    auto query = std::make_unique<FakeCaretQuery>();
    query->calls = &calls_;
    CaretLocator locator(std::move(query));
    locator.followFocus();
    EXPECT_EQ(calls_, QStringList{QStringLiteral("follow")});
    EXPECT_EQ(log(), QString()); // no lookup, no line
}

TEST_F(CaretLocatorTest, SuccessLineWritesTheRectangleAndPointExactly)
{
    struct Case
    {
        CaretRect rect;
        const char* line;
        QPointF origin;
    };
    const Case cases[] = {
        {{812, 14.5, 0, 17}, "rect=(812.0, 14.5, 0.0, 17.0) -> origin=(812.0, 31.5)", {812, 31.5}},
        {{-3.25, -20, 1.5, 16.75},
         "rect=(-3.25, -20.0, 1.5, 16.75) -> origin=(-3.25, -3.25)",
         {-3.25, -3.25}},
        {{0.1, 0.2, 0.3, 0.1},
         "rect=(0.1, 0.2, 0.3, 0.1) -> origin=(0.1, 0.30000000000000004)",
         {0.1, 0.30000000000000004}},
        {{2560, 1440, 0, 0},
         "rect=(2560.0, 1440.0, 0.0, 0.0) -> origin=(2560.0, 1440.0)",
         {2560, 1440}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        QFile::remove(dir_.filePath(QStringLiteral("log")));
        const auto origin = locate([&](FakeCaretQuery& q) { q.rect = c.rect; });
        EXPECT_EQ(origin, std::optional<QPointF>(c.origin));
        EXPECT_EQ(log(), QStringLiteral("caretScreenOrigin: success ") +
                             QString::fromLatin1(c.line) + u'\n');
    }
}

TEST(FormatLogNumber, ShortestRoundTripWithPointZeroAfterWholeNumbers)
{
    struct Case
    {
        double value;
        const char* text;
    };
    const Case cases[] = {
        {812, "812.0"},
        {14.5, "14.5"},
        {-3.25, "-3.25"},
        {0, "0.0"},
        {-0.0, "-0.0"},
        {1.0 / 3.0, "0.3333333333333333"},
        {1e6, "1000000.0"},
        {1e21, "1000000000000000000000.0"},
        {0.0001, "0.0001"},
        {1e-7, "0.0000001"},
        {123456.789, "123456.789"},
        {std::numeric_limits<double>::infinity(), "inf"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const QString text = formatLogNumber(c.value);
        EXPECT_EQ(text, QString::fromLatin1(c.text));
        if (std::isfinite(c.value)) {
            EXPECT_EQ(text.toDouble(), c.value); // reads back exactly
        }
    }
}

TEST_F(CaretLocatorTest, AnUnwritableLogLeavesTheResultAlone)
{
    debuglog::setPath(dir_.path()); // a folder: every write fails
    const auto origin = locate([](FakeCaretQuery&) {});
    EXPECT_EQ(origin, std::optional<QPointF>(QPointF(200, 168)));
}

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

// Answers each step as told and counts how often the lookup let go of what it held.
class FakeCaretQuery final : public platform::CaretQuery
{
public:
    CaretStep focused = CaretStep::ok();
    CaretStep lastFocused = CaretStep::failed(0);
    CaretStep caret = CaretStep::ok();
    CaretStep bounds = CaretStep::ok();
    std::optional<CaretRect> rect = CaretRect{200, 150, 2, 18};
    int* finishes = nullptr;

    CaretStep findFocusedElement() override { return focused; }
    CaretStep findLastFocusedElement() override { return lastFocused; }
    CaretStep readCaret() override { return caret; }
    CaretStep readCaretBounds() override { return bounds; }
    std::optional<CaretRect> caretRect() override { return rect; }
    void finish() override { ++*finishes; }
    void followFocus() override {}
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
        query->finishes = &finishes_;
        configure(*query);
        CaretLocator locator(std::move(query));
        return locator.caretScreenOrigin();
    }

    QString log() const
    {
        return QString::fromUtf8(test::readFile(dir_.filePath(QStringLiteral("log"))));
    }

    QTemporaryDir dir_;
    int finishes_ = 0;
};

} // namespace

TEST_F(CaretLocatorTest, GivesTheLowerLeftCornerOrStopsAtTheFirstFailureWithOneLine)
{
    const std::optional<QPointF> none;
    const QString success = QStringLiteral(
        "caretScreenOrigin: success rect=(200.0, 150.0, 2.0, 18.0) -> origin=(200.0, 168.0)\n");
    struct Case
    {
        const char* name;
        void (*configure)(FakeCaretQuery&);
        std::optional<QPointF> origin;
        QString line;
    };
    const Case cases[] = {
        {"caret found", [](FakeCaretQuery&) {}, QPointF(200, 168), success},
        {"fractions and negatives are written exactly",
         [](FakeCaretQuery& q) {
             q.rect = CaretRect{-3.25, -20, 1.5, 16.75};
         },
         QPointF(-3.25, -3.25),
         QStringLiteral("caretScreenOrigin: success rect=(-3.25, -20.0, 1.5, 16.75) -> "
                        "origin=(-3.25, -3.25)\n")},
        // While the hot key holds the keyboard the application in front shows nothing focused;
        // only that answer, not a hung application or a missing bus, tries the last focused one.
        {"nothing focused: the element that last had the focus",
         [](FakeCaretQuery& q) {
             q.focused = CaretStep::failed(0);
             q.lastFocused = CaretStep::ok();
         },
         QPointF(200, 168), success},
        {"nothing focused and nothing was: the first failure is logged",
         [](FakeCaretQuery& q) {
             q.focused = CaretStep::failed(0);
             q.lastFocused = CaretStep::failed(-2);
         },
         none, QStringLiteral("caretScreenOrigin: no focused element (err=0)\n")},
        {"the application in front hangs",
         [](FakeCaretQuery& q) {
             q.focused = CaretStep::failed(-2);
             q.lastFocused = CaretStep::ok();
         },
         none, QStringLiteral("caretScreenOrigin: no focused element (err=-2)\n")},
        {"no caret", [](FakeCaretQuery& q) { q.caret = CaretStep::failed(-3); }, none,
         QStringLiteral("caretScreenOrigin: no text range (err=-3)\n")},
        {"no bounds", [](FakeCaretQuery& q) { q.bounds = CaretStep::failed(-2147483647 - 1); },
         none, QStringLiteral("caretScreenOrigin: no bounds (err=-2147483648)\n")},
        {"extents that are no rectangle", [](FakeCaretQuery& q) { q.rect.reset(); }, none,
         QStringLiteral("caretScreenOrigin: AXValueGetValue failed\n")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(dir_.filePath(QStringLiteral("log")));
        finishes_ = 0;
        EXPECT_EQ(locate(c.configure), c.origin);
        EXPECT_EQ(log(), c.line);
        EXPECT_EQ(finishes_, 1); // what the lookup held is let go on every way out
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
        {-0.0, "-0.0"},
        {1.0 / 3.0, "0.3333333333333333"},
        {1e21, "1000000000000000000000.0"},
        {1e-7, "0.0000001"},
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

#include "app/CaretLocator.h"

#include "platform/DebugLog.h"
#include "support/TestSupport.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <tuple>

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

} // namespace

TEST(CaretLocator, GivesTheLowerLeftCornerOrStopsAtTheFirstFailureWithOneLine)
{
    QTemporaryDir dir;
    const QString logPath = dir.filePath(QStringLiteral("log"));
    debuglog::setPath(logPath);
    const std::optional<QPointF> none;
    const QString success = QStringLiteral(
        "caretScreenOrigin: success rect=(200.0, 150.0, 2.0, 18.0) -> origin=(200.0, 168.0)\n");
    const struct
    {
        const char* name;
        void (*configure)(FakeCaretQuery&);
        std::optional<QPointF> origin;
        QString line;
    } cases[] = {
        {"caret found", [](FakeCaretQuery&) {}, QPointF(200, 168), success},
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
        QFile::remove(logPath);
        int finishes = 0;
        auto query = std::make_unique<FakeCaretQuery>();
        query->finishes = &finishes;
        c.configure(*query);
        EXPECT_EQ(CaretLocator(std::move(query)).caretScreenOrigin(), c.origin);
        EXPECT_EQ(test::readFile(logPath), c.line.toUtf8());
        EXPECT_EQ(finishes, 1); // what the lookup held is let go on every way out
    }
    debuglog::setPath(debuglog::defaultPath);
}

TEST(FormatLogNumber, ShortestRoundTripWithPointZeroAfterWholeNumbers)
{
    const std::tuple<double, const char*> cases[] = {
        {812, "812.0"},
        {-0.0, "-0.0"},
        {1.0 / 3.0, "0.3333333333333333"},
        {1e-7, "0.0000001"},
        {1e21, "1000000000000000000000.0"},
        {std::numeric_limits<double>::infinity(), "inf"},
    };
    for (const auto& [value, expected] : cases) {
        SCOPED_TRACE(expected);
        const QString text = formatLogNumber(value);
        EXPECT_EQ(text, QString::fromLatin1(expected));
        if (std::isfinite(value)) {
            EXPECT_EQ(text.toDouble(), value); // reads back exactly
        }
    }
}

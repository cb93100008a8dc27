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

// What each step answers; `rect` false: extents that are no rectangle.
struct Answers
{
    CaretStep focused, lastFocused, caret, bounds;
    bool rect = true;
};

// Answers each step as told and counts how often the lookup let go of what it held.
class FakeCaretQuery final : public platform::CaretQuery
{
public:
    FakeCaretQuery(const Answers& answers, int& finishes) : a_(answers), finishes_(finishes) {}
    CaretStep findFocusedElement() override { return a_.focused; }
    CaretStep findLastFocusedElement() override { return a_.lastFocused; }
    CaretStep readCaret() override { return a_.caret; }
    CaretStep readCaretBounds() override { return a_.bounds; }
    std::optional<CaretRect> caretRect() override
    {
        return a_.rect ? std::optional(CaretRect{200, 150, 2, 18}) : std::nullopt;
    }
    void finish() override { ++finishes_; }
    void followFocus() override {}

private:
    Answers a_;
    int& finishes_;
};

} // namespace

TEST(CaretLocator, GivesTheLowerLeftCornerOrStopsAtTheFirstFailureWithOneLine)
{
    QTemporaryDir dir;
    const QString logPath = dir.filePath(QStringLiteral("log"));
    debuglog::setPath(logPath);
    const CaretStep ok = CaretStep::ok(), noFocus = CaretStep::failed(0);
    const CaretStep hung = CaretStep::failed(-2);
    const char* const success = "success rect=(200.0, 150.0, 2.0, 18.0) -> origin=(200.0, 168.0)";
    // line: what the log says after "caretScreenOrigin: "
    const std::tuple<const char*, Answers, const char*> cases[] = {
        {"caret found", {ok, noFocus, ok, ok}, success},
        // While the hot key holds the keyboard the application in front shows nothing focused;
        // only that answer, not a hung application or a missing bus, tries the last focused one.
        {"nothing focused: the element that last had the focus", {noFocus, ok, ok, ok}, success},
        {"nothing focused and nothing was", {noFocus, hung, ok, ok}, "no focused element (err=0)"},
        {"the application in front hangs", {hung, ok, ok, ok}, "no focused element (err=-2)"},
        {"no caret", {ok, noFocus, CaretStep::failed(-3), ok}, "no text range (err=-3)"},
        {"no bounds",
         {ok, noFocus, ok, CaretStep::failed(-2147483647 - 1)},
         "no bounds (err=-2147483648)"},
        {"extents that are no rectangle", {ok, noFocus, ok, ok, false}, "AXValueGetValue failed"},
    };
    for (const auto& [name, answers, line] : cases) {
        SCOPED_TRACE(name);
        QFile::remove(logPath);
        int finishes = 0;
        const bool found = line == success;
        EXPECT_EQ(
            CaretLocator(std::make_unique<FakeCaretQuery>(answers, finishes)).caretScreenOrigin(),
            found ? std::optional(QPointF(200, 168)) : std::nullopt);
        EXPECT_EQ(test::readFile(logPath), "caretScreenOrigin: " + QByteArray(line) + '\n');
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

#include "picker/PasteDelivery.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace quillstow;

TEST(PasteLogLine, NamesTheSelectionAndTheItemsIdAndLengthButNoText)
{
    const QUuid id = QUuid::fromString(QStringLiteral("e621e1f8-c36c-495a-93fc-0c247a3e6e5f"));
    const QUuid other = QUuid::fromString(QStringLiteral("0b9c6a3e-1f2d-4c5b-8a7e-9d6f5e4c3b2a"));
    auto item = [&](const QString& content) {
        return ClipItem{other, content, 0, false, false};
    };
    const QString otherText = QStringLiteral("0B9C6A3E-1F2D-4C5B-8A7E-9D6F5E4C3B2A");
    const struct
    {
        const char* name;
        std::optional<QUuid> selected;
        std::optional<ClipItem> target;
        QString line;
    } cases[] = {
        {"nothing", std::nullopt, std::nullopt,
         QStringLiteral("pasteSelected: selectedID=nil item=nil")},
        {"stale selection", id, std::nullopt,
         QStringLiteral(
             "pasteSelected: selectedID=Optional(E621E1F8-C36C-495A-93FC-0C247A3E6E5F) item=nil")},
        {"a secret", std::nullopt, item(QStringLiteral("sk-live-0123456789abcdef")),
         QStringLiteral("pasteSelected: selectedID=nil item=Optional(id=%1, length=24)")
             .arg(otherText)},
        {"controls and quotes", std::nullopt, item(QStringLiteral("a\t\"b\"\n")),
         QStringLiteral("pasteSelected: selectedID=nil item=Optional(id=%1, length=6)")
             .arg(otherText)},
        {"emoji counted whole", id, item(QStringLiteral("\U0001F44D\U0001F3FDok")),
         QStringLiteral("pasteSelected: selectedID=Optional(E621E1F8-C36C-495A-93FC-0C247A3E6E5F) "
                        "item=Optional(id=%1, length=3)")
             .arg(otherText)},
    };
    for (const auto& c : cases) {
        const QString line = pasteLogLine(c.selected, c.target);
        EXPECT_EQ(line, c.line) << c.name;
        if (c.target) {
            EXPECT_FALSE(line.contains(c.target->content.left(3))) << c.name;
        }
    }
}

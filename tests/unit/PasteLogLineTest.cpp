#include "picker/PasteDelivery.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <tuple>

using namespace quillstow;

TEST(PasteLogLine, NamesTheSelectionAndTheItemsIdAndLengthButNoText)
{
    const QUuid id = QUuid::fromString(QStringLiteral("e621e1f8-c36c-495a-93fc-0c247a3e6e5f"));
    auto item = [](const QString& content) {
        return ClipItem{QUuid::fromString(QStringLiteral("0b9c6a3e-1f2d-4c5b-8a7e-9d6f5e4c3b2a")),
                        content, 0, false, false};
    };
    const QString selected =
        QStringLiteral("selectedID=Optional(E621E1F8-C36C-495A-93FC-0C247A3E6E5F)");
    const QString itemPart =
        QStringLiteral("item=Optional(id=0B9C6A3E-1F2D-4C5B-8A7E-9D6F5E4C3B2A, length=");
    const std::tuple<std::optional<QUuid>, std::optional<ClipItem>, QString> cases[] = {
        {std::nullopt, std::nullopt, QStringLiteral("selectedID=nil item=nil")},
        {std::nullopt, item(QStringLiteral("sk-live-0123456789abcdef")),
         QStringLiteral("selectedID=nil ") + itemPart + QStringLiteral("24)")},
        // Length in characters as the user sees them: an emoji with its skin tone is one.
        {id, item(QStringLiteral("\U0001F44D\U0001F3FDok")),
         selected + u' ' + itemPart + QStringLiteral("3)")},
    };
    for (const auto& [selectedID, target, expected] : cases) {
        const QString line = pasteLogLine(selectedID, target);
        EXPECT_EQ(line, QStringLiteral("pasteSelected: ") + expected);
        if (target) {
            EXPECT_FALSE(line.contains(target->content.left(3))) << line.toStdString();
        }
    }
}

#include "picker/PasteDelivery.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace quillstow;

TEST(PasteLogLine, NamesTheSelectionAndAnEscapedShortPreview)
{
    const QUuid id = QUuid::fromString(QStringLiteral("e621e1f8-c36c-495a-93fc-0c247a3e6e5f"));
    auto item = [](const QString& content) {
        return ClipItem{QUuid::createUuid(), content, 0, false, false};
    };
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
        {"first 20 characters of the preview", std::nullopt,
         item(QStringLiteral("\n  The quick brown fox jumps\nover")),
         QStringLiteral("pasteSelected: selectedID=nil item=Optional(\"  The quick brown fo\")")},
        {"quotes and backslashes", std::nullopt, item(QStringLiteral("say \"hi\" it's C:\\")),
         QStringLiteral(
             "pasteSelected: selectedID=nil item=Optional(\"say \\\"hi\\\" it\\'s C:\\\\\")")},
        {"controls", std::nullopt,
         item(QStringLiteral("a\tb") + QChar(0) + QStringLiteral("\x1b\x7f\rnext line")),
         QStringLiteral("pasteSelected: selectedID=nil item=Optional(\"a\\tb\\0\\u{1B}\\u{7F}\")")},
        {"blank content is shown whole", std::nullopt, item(QStringLiteral(" \t\r\n")),
         QStringLiteral("pasteSelected: selectedID=nil item=Optional(\" \\t\\r\\n\")")},
        {"emoji counted whole", id,
         item(QString(25, QChar(u'x')).replace(0, 1, QStringLiteral("\U0001F44D\U0001F3FD"))),
         QStringLiteral("pasteSelected: selectedID=Optional(E621E1F8-C36C-495A-93FC-0C247A3E6E5F) "
                        "item=Optional(\"\U0001F44D\U0001F3FD") +
             QString(19, QChar(u'x')) + QStringLiteral("\")")},
    };
    for (const auto& c : cases)
        EXPECT_EQ(pasteLogLine(c.selected, c.target), c.line) << c.name;
}

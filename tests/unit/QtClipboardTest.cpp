#include "platform/QtClipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>
#include <optional>

using namespace quillstow;
using Outcome = platform::ClipboardRead::Outcome;

TEST(QtClipboard, CountsChangesAndAnswersReadsFromTheEventLoop)
{
    QClipboard& qtClipboard = *QGuiApplication::clipboard();
    platform::QtClipboard clipboard(qtClipboard);

    struct Case
    {
        const char* name;
        std::function<QMimeData*()> content;
        Outcome outcome;
        QString text;
    };
    const std::vector<Case> cases = {
        {"plain text",
         [] {
             auto* data = new QMimeData;
             data->setText(QStringLiteral(" gr\u00FC\u00DFe \u2713\n"));
             return data;
         },
         Outcome::text, QStringLiteral(" gr\u00FC\u00DFe \u2713\n")},
        {"text a password manager marked",
         [] {
             auto* data = new QMimeData;
             data->setText(QStringLiteral("hunter2"));
             data->setData(platform::secretHintFormat, "secret");
             return data;
         },
         Outcome::secret, QString()},
        {"an image",
         [] {
             auto* data = new QMimeData;
             data->setImageData(QImage(4, 4, QImage::Format_RGB32));
             return data;
         },
         Outcome::noText, QString()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const qint64 before = clipboard.changeCount();
        qtClipboard.setMimeData(c.content());
        EXPECT_GT(clipboard.changeCount(), before);

        std::optional<platform::ClipboardRead> read;
        clipboard.readText([&read](const platform::ClipboardRead& r) { read = r; });
        EXPECT_FALSE(read);
        ASSERT_TRUE(QTest::qWaitFor([&] { return read.has_value(); }, 5000));
        EXPECT_EQ(read->outcome, c.outcome);
        EXPECT_EQ(read->text, c.text);
    }
}

TEST(QtClipboard, ALaterReadAbandonsAnEarlierOne)
{
    platform::QtClipboard clipboard(*QGuiApplication::clipboard());
    QGuiApplication::clipboard()->setText(QStringLiteral("now"));
    int first = 0;
    int second = 0;
    clipboard.readText([&first](const platform::ClipboardRead&) { ++first; });
    clipboard.readText([&second](const platform::ClipboardRead&) { ++second; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return second == 1; }, 5000));
    QCoreApplication::processEvents();
    EXPECT_EQ(first, 0);
}

TEST(SystemClipboard, IsQtsWhereQtHoldsTheClipboardItself)
{
    ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("offscreen"));
    EXPECT_NE(dynamic_cast<platform::QtClipboard*>(&platform::systemClipboard()), nullptr);
}

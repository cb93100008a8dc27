#include "platform/QtClipboard.h"

#include "app/Backends.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QTest>
#include <gtest/gtest.h>
#include <optional>
#include <tuple>
#include <vector>

using namespace quillstow;
using Outcome = platform::ClipboardRead::Outcome;

TEST(QtClipboard, CountsChangesAndAnswersReadsFromTheEventLoop)
{
    QClipboard& qtClipboard = *QGuiApplication::clipboard();
    platform::QtClipboard clipboard(qtClipboard);
    std::vector<platform::ClipboardChange> heard;
    clipboard.setChangeListener([&heard](platform::ClipboardChange c) { heard.push_back(c); });

    // A secret is a text a password manager marked; no text is an image.
    const std::tuple<const char*, QString, Outcome> cases[] = {
        {"plain text", QStringLiteral(" gr\u00FC\u00DFe \u2713\n"), Outcome::text},
        {"a secret", QStringLiteral("hunter2"), Outcome::secret},
        {"an image", QString(), Outcome::noText},
        // Two UTF-8 bytes a character: one character over the limit.
        {"text over the size limit", QString(platform::maxTextBytes / 2 + 1, u'\u00FC'),
         Outcome::tooLarge},
    };
    for (const auto& [name, text, outcome] : cases) {
        SCOPED_TRACE(name);
        const qint64 before = clipboard.changeCount();
        auto* data = new QMimeData;
        if (outcome == Outcome::noText)
            data->setImageData(QImage(4, 4, QImage::Format_RGB32));
        else
            data->setText(text);
        if (outcome == Outcome::secret)
            data->setData(platform::secretHintFormat, "secret");
        qtClipboard.setMimeData(data);
        EXPECT_GT(clipboard.changeCount(), before);
        EXPECT_EQ(heard.back(), platform::ClipboardChange::copied);

        std::optional<platform::ClipboardRead> read;
        clipboard.readText(platform::Selection::clipboard,
                           [&read](const platform::ClipboardRead& r) { read = r; });
        EXPECT_FALSE(read);
        ASSERT_TRUE(QTest::qWaitFor([&] { return read.has_value(); }, 5000));
        EXPECT_EQ(read->outcome, outcome);
        EXPECT_TRUE(read->text == (outcome == Outcome::text ? text : QString()));
        EXPECT_EQ(read->bytes, outcome == Outcome::tooLarge ? text.toUtf8().size() : 0);
    }

    // A later read abandons an earlier one, also where nothing listens to changes.
    platform::QtClipboard unheard(qtClipboard);
    qtClipboard.setText(QStringLiteral("now"));
    std::vector<int> answered;
    for (int i : {1, 2})
        unheard.readText(platform::Selection::clipboard,
                         [&answered, i](const platform::ClipboardRead&) { answered.push_back(i); });
    ASSERT_TRUE(QTest::qWaitFor([&] { return !answered.empty(); }, 5000));
    QCoreApplication::processEvents();
    EXPECT_EQ(answered, std::vector<int>{2});
}

TEST(SystemClipboard, IsQtsWhereQtHoldsTheClipboardItself)
{
    ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("offscreen"));
    EXPECT_NE(dynamic_cast<platform::QtClipboard*>(&makeBackends(SessionKind::none).clipboard()),
              nullptr);
}

#pragma once

#include "platform/Clipboard.h"

#include <QTimer>
#include <utility>
#include <vector>

namespace quillstow::test {

// A clipboard under the test's control. Other programs' copies are `copy` calls; reads are
// answered from the event loop with what the clipboard holds then, or, with `holdAnswers`, only
// when the test calls `answer`.
class FakeClipboard final : public platform::Clipboard
{
public:
    using Read = platform::ClipboardRead;

    void copy(const Read& content)
    {
        ++changeCount_;
        content_ = content;
    }
    void copyText(const QString& text) { copy(Read::ofText(text)); }

    qint64 changeCount() const override
    {
        ++polls;
        return changeCount_;
    }

    void readText(ReadDone done) override
    {
        ++reads;
        pending.push_back(std::move(done));
        if (holdAnswers)
            return;
        const std::size_t index = pending.size() - 1;
        QTimer::singleShot(0, [this, index, content = content_] { answer(index, content); });
    }

    // Answers the read with this index (0 for the first ever started), as if the owner had.
    void answer(std::size_t index, const Read& content)
    {
        if (ReadDone done = std::exchange(pending.at(index), nullptr))
            done(content);
    }

    bool holdAnswers = false;
    mutable int polls = 0;
    int reads = 0;
    std::vector<ReadDone> pending;

private:
    qint64 changeCount_ = 0;
    Read content_;
};

// Passes everything on to a real clipboard and counts what the monitor asks of it.
class ObservedClipboard final : public platform::Clipboard
{
public:
    explicit ObservedClipboard(platform::Clipboard& inner) : inner_(inner) {}

    qint64 changeCount() const override
    {
        ++polls;
        return inner_.changeCount();
    }

    void readText(ReadDone done) override
    {
        ++reads;
        inner_.readText([this, done = std::move(done)](const platform::ClipboardRead& read) {
            answers.push_back(read);
            done(read);
        });
    }

    mutable int polls = 0;
    int reads = 0;
    std::vector<platform::ClipboardRead> answers;

private:
    platform::Clipboard& inner_;
};

} // namespace quillstow::test

#pragma once

#include "platform/Clipboard.h"

#include <QTimer>
#include <utility>
#include <vector>

namespace quillstow::test {

// A clipboard under the test's control. Other programs' copies are `copy` calls, mouse
// selections `select` calls; reads are answered from the event loop with what the selection
// holds then, or, with `holdAnswers`, only when the test calls `answer`.
class FakeClipboard final : public platform::Clipboard
{
public:
    using Read = platform::ClipboardRead;
    using Change = platform::ClipboardChange;

    void copy(const Read& content)
    {
        ++changeCount_;
        content_[0] = content;
        if (changed_)
            changed_(Change::copied);
    }
    void copyText(const QString& text) { copy(Read::ofText(text)); }
    // The program that copied quits.
    void abandon()
    {
        ++changeCount_;
        content_[0] = {};
        if (changed_)
            changed_(Change::abandoned);
    }
    void select(const Read& content)
    {
        content_[1] = content;
        if (changed_)
            changed_(Change::selected);
    }

    qint64 changeCount() const override { return changeCount_; }
    void setChangeListener(ChangeListener changed) override { changed_ = std::move(changed); }

    void readText(platform::Selection selection, ReadDone done) override
    {
        ++reads;
        pending.push_back(std::move(done));
        if (holdAnswers)
            return;
        const std::size_t index = pending.size() - 1;
        QTimer::singleShot(0, [this, index, content = content_[std::size_t(selection)]] {
            answer(index, content);
        });
    }

    void keepText(const QString& text) override
    {
        kept.push_back(text);
        content_[0] = Read::ofText(text);
    }

    // Answers the read with this index (0 for the first ever started), as if the owner had.
    void answer(std::size_t index, const Read& content)
    {
        if (ReadDone done = std::exchange(pending.at(index), nullptr))
            done(content);
    }

    bool holdAnswers = false;
    int reads = 0;
    std::vector<ReadDone> pending;
    std::vector<QString> kept;

private:
    qint64 changeCount_ = 0;
    Read content_[2];
    ChangeListener changed_;
};

} // namespace quillstow::test

#pragma once

#include "platform/Clipboard.h"

#include <QObject>
#include <array>

class QClipboard;

namespace quillstow::platform {

// The clipboard through QClipboard. Only for platforms whose clipboard Qt holds in this process
// (offscreen): on a real desktop Qt waits for the owning program on the GUI thread. Qt does not
// tell when an owner leaves, so nothing is ever abandoned here.
class QtClipboard final : public QObject, public Clipboard
{
    Q_OBJECT

public:
    explicit QtClipboard(QClipboard& clipboard, QObject* parent = nullptr);

    qint64 changeCount() const override { return changeCount_; }
    void setChangeListener(ChangeListener changed) override { changed_ = std::move(changed); }
    void readText(Selection selection, ReadDone done) override;
    void keepText(const QString&) override {}

private:
    ClipboardRead readNow(Selection selection) const;

    QClipboard& clipboard_;
    ChangeListener changed_;
    qint64 changeCount_ = 0;
    std::array<quint64, 2> readSerials_{};
};

} // namespace quillstow::platform

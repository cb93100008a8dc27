#pragma once

#include "platform/Clipboard.h"

#include <QObject>

class QClipboard;

namespace quillstow::platform {

// The clipboard through QClipboard. Only for platforms whose clipboard Qt holds in this process
// (offscreen): on a real desktop Qt waits for the owning program on the GUI thread.
class QtClipboard final : public QObject, public Clipboard
{
    Q_OBJECT

public:
    explicit QtClipboard(QClipboard& clipboard, QObject* parent = nullptr);

    qint64 changeCount() const override { return changeCount_; }
    void readText(ReadDone done) override;

private:
    ClipboardRead readNow() const;

    QClipboard& clipboard_;
    qint64 changeCount_ = 0;
    quint64 readSerial_ = 0;
};

} // namespace quillstow::platform

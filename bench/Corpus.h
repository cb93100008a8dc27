#pragma once

#include "history/ClipItem.h"

#include <QList>

namespace quillstow::bench {

// A reproducible history that looks like real use: mostly short lines and paragraphs of about
// 1 KB on average, a few 50 KB pastes, some non-ASCII text, newest first.
QList<ClipItem> realisticHistory(int count, unsigned seed = 2026);

} // namespace quillstow::bench

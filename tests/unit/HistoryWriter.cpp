// A stand-in for the program copying without pause: adds items to the history at the given paths
// and prints each one's text once `add` has returned, until it is killed.
// Usage: history_writer SETTINGS_FILE DATABASE
#include "history/HistoryStore.h"
#include "vault/ObsidianService.h"

#include <QCoreApplication>
#include <cstdio>

using namespace quillstow;

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 3)
        return 2;
    QSettings settings(args[1], QSettings::IniFormat);
    settings.setValue(HistoryStore::maxItemsKey, HistoryStore::maxMaxItems);
    ObsidianService vault(settings);
    HistoryStore store(settings, vault, args[2]);
    for (int i = 0;; ++i) {
        const QString text = QStringLiteral("copy %1 ").arg(i).repeated(1 + i % 50);
        store.add(ClipItem::create(text));
        if (!store.saveFailure().isEmpty())
            return 1;
        std::printf("%d\n", i);
        std::fflush(stdout);
    }
}

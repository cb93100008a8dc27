#include "history/HistoryStore.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Quillstow"));
    QCoreApplication::setApplicationName(QStringLiteral("Quillstow"));

    // The tray shell is not wired in yet: report what the history holds and stop.
    const quillstow::HistoryStore& store = quillstow::HistoryStore::shared();
    QTextStream(stdout) << "Quillstow: the stored history holds " << store.items().size()
                        << " items; the tray application is not part of this build yet.\n";
    return 0;
}

// Figures for the picker with 2,000 stored items: building the panel, its first paint, and
// paging through the whole list. With --screenshot FILE it instead saves a picture of the panel
// over a few dozen everyday entries (--dark: in a dark palette; --query TEXT: filtered, the matches
// marked), with --icons FILE a sheet of the bundled icons.
#include "Corpus.h"
#include "history/HistoryStore.h"
#include "picker/ClipListModel.h"
#include "picker/ClipRowDelegate.h"
#include "picker/PasteDelivery.h"
#include "picker/PickerStyle.h"
#include "picker/PopupView.h"
#include "vault/ObsidianService.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListView>
#include <QMouseEvent>
#include <QPainter>
#include <QPalette>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

using namespace quillstow;

namespace {

class NoDelivery : public PasteDelivery
{
public:
    void deliver(const QString&, const std::optional<platform::WindowRef>&) override {}
};

struct Fixture
{
    QTemporaryDir dir;
    QSettings settings{dir.filePath(QStringLiteral("Quillstow.conf")), QSettings::IniFormat};
    ObsidianService vault{settings};
    std::unique_ptr<HistoryStore> store;
    NoDelivery delivery;

    explicit Fixture(const QList<ClipItem>& items)
    {
        settings.setValue(HistoryStore::maxItemsKey, HistoryStore::maxMaxItems);
        settings.setValue(HistoryStore::storageKey, encodeHistory(items));
        settings.sync();
        store = std::make_unique<HistoryStore>(settings, vault,
                                               dir.filePath(QStringLiteral("history.sqlite3")));
    }

    std::unique_ptr<PopupView> makePopup()
    {
        auto popup = std::make_unique<PopupView>(
            std::nullopt, [] {},
            PopupView::Collaborators{.store = *store, .vault = vault, .delivery = delivery});
        popup->setWindowFlags(Qt::FramelessWindowHint | Qt::Tool);
        return popup;
    }
};

// Records when a widget has been painted.
class PaintWatch : public QObject
{
public:
    bool painted = false;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            painted = true;
        return false;
    }
};

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// The list's rows with a clip of 20 MB on one line on top: the first paint works out what its
// row shows, later repaints must not read the text again.
void hugeClipFigures()
{
    const QString words = QStringLiteral("lorem ipsum dolor sit amet ");
    QString huge;
    huge.reserve(20 * 1024 * 1024 + words.size());
    while (huge.size() < 20 * 1024 * 1024)
        huge += words;
    QList<ClipItem> items{ClipItem::create(huge)};
    for (const ClipItem& item : bench::realisticHistory(20))
        items << item;
    ClipListModel model;
    model.setItems(items);
    QListView view;
    view.setItemDelegate(new ClipRowDelegate({}, &view));
    view.setModel(&model);
    view.resize(PopupView::panelWidth, 400);
    view.show();
    QImage page(view.viewport()->size(), QImage::Format_ARGB32_Premultiplied);
    QElapsedTimer timer;
    timer.start();
    QCoreApplication::processEvents();
    view.viewport()->render(&page);
    const double first = double(timer.nsecsElapsed()) / 1e6;
    std::vector<double> repaints;
    for (int i = 0; i < 10; ++i) {
        timer.start();
        view.viewport()->render(&page);
        repaints.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::printf("a 20 MB one-line clip on top: first paint %.2f ms, repaint median %.2f ms, worst "
                "%.2f ms\n",
                first, median(repaints), *std::max_element(repaints.begin(), repaints.end()));
}

int runFigures()
{
    Fixture fixture(bench::realisticHistory(2000));
    std::printf("history: %lld items; platform %s\n",
                static_cast<long long>(fixture.store->items().size()),
                qPrintable(QGuiApplication::platformName()));
    fixture.store->filtered(QStringLiteral("x")); // search texts built, as after a first search

    std::vector<double> build, paint, total;
    for (int run = 0; run < 15; ++run) {
        QElapsedTimer timer;
        timer.start();
        auto popup = fixture.makePopup();
        const double built = double(timer.nsecsElapsed()) / 1e6;
        auto* viewport = popup->findChild<QAbstractItemView*>()->viewport();
        PaintWatch watch;
        viewport->installEventFilter(&watch);
        popup->show();
        while (!watch.painted)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        const double shown = double(timer.nsecsElapsed()) / 1e6;
        build.push_back(built);
        paint.push_back(shown - built);
        total.push_back(shown);
        if (run == 0)
            std::printf(
                "first showing: build %.2f ms, show to first paint %.2f ms, total %.2f ms\n", built,
                shown - built, shown);
        viewport->removeEventFilter(&watch);
    }
    std::printf("median of 15: build %.2f ms, show to first paint %.2f ms, total %.2f ms\n",
                median(build), median(paint), median(total));

    // Paging through the whole list, one viewport height at a time, each page painted.
    auto popup = fixture.makePopup();
    popup->show();
    auto* list = popup->findChild<QAbstractItemView*>();
    QScrollBar* bar = list->verticalScrollBar();
    for (int i = 0; i < 10; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QElapsedTimer timer;
    // Painted into an image, which works alike on every platform plugin.
    QImage page(list->viewport()->size(), QImage::Format_ARGB32_Premultiplied);
    std::vector<double> pages;
    while (bar->value() < bar->maximum()) {
        timer.start();
        bar->setValue(bar->value() + list->viewport()->height());
        list->viewport()->render(&page);
        pages.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::printf("paging through %zu pages: median %.2f ms, worst %.2f ms per page\n", pages.size(),
                median(pages), *std::max_element(pages.begin(), pages.end()));

    // A query over the whole history, typed one key at a time.
    std::vector<double> keys;
    auto* field = popup->findChild<QLineEdit*>();
    for (const QChar c : QStringLiteral("server")) {
        timer.start();
        QTest::keyClicks(field, QString(c));
        list->viewport()->render(&page);
        keys.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::printf("typing \"server\": median %.2f ms, worst %.2f ms per key (filter, rows, paint)\n",
                median(keys), *std::max_element(keys.begin(), keys.end()));
    hugeClipFigures();
    return 0;
}

QList<ClipItem> everydayHistory(double now)
{
    const char* const texts[] = {
        "git rebase -i origin/main",
        "https://docs.qt.io/qt-6/qabstractitemview.html#ScrollHint-enum",
        "Thanks for the quick turnaround! I've merged the branch and tagged the release; the "
        "changelog is in the PR description.",
        "SELECT id, email, created_at FROM users WHERE last_login < now() - interval '90 days' "
        "ORDER BY created_at;",
        "42 Wallaby Way, Sydney NSW 2000",
        "ssh -L 5432:localhost:5432 deploy@db-staging.internal",
        "const auto found = std::find_if(items.begin(), items.end(), matches);",
        "Meeting moved to Thursday 14:30 (Room B, 3rd floor)",
        "הפגישה עברה ליום חמישי בשעה 14:30",
        "会議は木曜日の14:30に変更されました",
        "تم نقل الاجتماع إلى الخميس الساعة 14:30",
        "pip install --upgrade pip setuptools wheel",
        "The quick brown fox jumps over the lazy dog",
        "Invoice #2026-0117 — 1 240,00 €",
        "kubectl logs -f deploy/api --since=10m | grep -i error",
        "Grüße aus München — bis nächste Woche!",
        "rgba(48, 122, 224, 0.85)",
        "docker compose up -d --build",
        "https://github.com/qt/qtbase/blob/dev/src/widgets/itemviews/qlistview.cpp",
        "TODO: handle the empty vault path before the first save",
        "export QT_QPA_PLATFORM=offscreen",
        "Lorem ipsum dolor sit amet, consectetur adipiscing elit, sed do eiusmod tempor "
        "incididunt ut labore et dolore magna aliqua.",
        "+44 20 7946 0958",
        "cmake --preset ci && cmake --build --preset ci && ctest --preset ci",
        "Order confirmation: 3 items, arriving Tuesday",
        "journalctl --user -u quillstow --since today",
        "東京都渋谷区神南1-2-3",
        "def fibonacci(n):\n    a, b = 0, 1\n    for _ in range(n):\n        a, b = b, a + b\n",
        "sudo apt-get install -y libqt6svg6-dev",
        "Please review the attached draft before Friday.",
        "f3a9c1e Fix the tray icon position after a screen change",
        "WiFi: CoffeeHouse-Guest / latte2026",
        "npm run build -- --mode production",
        "¯\\_(ツ)_/¯",
        "https://en.wikipedia.org/wiki/Clipboard_manager",
        "Flight LH 2471 MUC → LHR, seat 14C",
        "awk -F, '{ sum += $3 } END { print sum }' report.csv",
        "Happy birthday! 🎂",
    };
    const double ages[] = {20,     95,     260,    540,    1300,   3000,   5400,   8000,   14000,
                           21000,  30000,  45000,  80000,  95000,  120000, 160000, 200000, 260000,
                           330000, 400000, 500000, 600000, 700000, 900000, 1.2e6,  1.5e6,  2e6,
                           2.5e6,  3e6,    3.5e6,  4e6,    5e6,    6e6,    7e6,    8e6};
    QList<ClipItem> items;
    for (std::size_t i = 0; i < std::size(texts); ++i)
        items << ClipItem{QUuid::createUuid(), QString::fromUtf8(texts[i]),
                          now - ages[std::min(i, std::size(ages) - 1)], false, false};
    items[3].savedToObsidian = true;
    return items;
}

int takeScreenshot(const QString& path, const QString& query)
{
    Fixture fixture(everydayHistory(currentCopiedAt()));
    HistoryStore& store = *fixture.store;
    store.togglePin(store.items()[5]); // the ssh tunnel, pinned to the top
    auto popup = fixture.makePopup();
    popup->move(100, 100);
    popup->show();
    QCoreApplication::processEvents();
    auto* list = popup->findChild<QAbstractItemView*>();
    // The pointer rests on the third row, then the keyboard moves the selection one row up.
    const QPoint over = list->visualRect(list->model()->index(2, 0)).center();
    QMouseEvent move(QEvent::MouseMove, over, list->viewport()->mapToGlobal(over), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(list->viewport(), &move);
    QTest::keyClick(popup.get(), Qt::Key_Up);
    if (!query.isEmpty())
        popup->findChild<QLineEdit*>()->setText(query);
    QCoreApplication::processEvents();
    if (!popup->grab().save(path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return 1;
    }
    std::printf("wrote %s\n", qPrintable(QDir(path).absolutePath()));
    return 0;
}

// Every bundled icon at 16, 24, 32 and 64 pixels, dark on light and light on dark.
int drawIconSheet(const QString& path)
{
    using namespace style::icons;
    const QStringList names{search, clear, clipboard, pin,       pinFilled,
                            unpin,  note,  trash,     checkmark, gear};
    const int sizes[] = {16, 24, 32, 64};
    const int cell = 72;
    QImage sheet(cell * 8, cell * static_cast<int>(names.size()), QImage::Format_ARGB32);
    sheet.fill(QColor(0xF5, 0xF5, 0xF5));
    QPainter painter(&sheet);
    painter.fillRect(cell * 4, 0, cell * 4, sheet.height(), QColor(0x24, 0x24, 0x26));
    for (qsizetype row = 0; row < names.size(); ++row)
        for (int i = 0; i < 8; ++i) {
            const int size = sizes[i % 4];
            const QColor color = i < 4 ? QColor(0x1C, 0x1C, 0x1E) : QColor(0xEE, 0xEE, 0xEE);
            painter.drawPixmap(i * cell + (cell - size) / 2,
                               static_cast<int>(row) * cell + (cell - size) / 2,
                               style::iconPixmap(names[row], color, size, 1.0));
        }
    painter.end();
    return sheet.save(path) ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.contains(QStringLiteral("--dark"))) {
        // A dark desktop's palette, to check that the picker follows it.
        QPalette dark;
        dark.setColor(QPalette::Window, QColor(0x2B, 0x2B, 0x2E));
        dark.setColor(QPalette::WindowText, QColor(0xEE, 0xEE, 0xEE));
        dark.setColor(QPalette::Base, QColor(0x1E, 0x1E, 0x20));
        dark.setColor(QPalette::Text, QColor(0xEE, 0xEE, 0xEE));
        dark.setColor(QPalette::Button, QColor(0x3A, 0x3A, 0x3D));
        dark.setColor(QPalette::ButtonText, QColor(0xEE, 0xEE, 0xEE));
        dark.setColor(QPalette::Highlight, QColor(0x2F, 0x6F, 0xD0));
        dark.setColor(QPalette::PlaceholderText, QColor(0x8A, 0x8A, 0x8E));
        QApplication::setPalette(dark);
    }
    const qsizetype shot = args.indexOf(QStringLiteral("--screenshot"));
    const qsizetype query = args.indexOf(QStringLiteral("--query"));
    if (shot > 0 && shot + 1 < args.size())
        return takeScreenshot(args[shot + 1],
                              query > 0 && query + 1 < args.size() ? args[query + 1] : QString());
    const qsizetype sheet = args.indexOf(QStringLiteral("--icons"));
    if (sheet > 0 && sheet + 1 < args.size())
        return drawIconSheet(args[sheet + 1]);
    return runFigures();
}

// The data-aware grid against Qt's stock QTableView + QSortFilterProxyModel over the same 1,000,000
// rows of (int, nvarchar(50), datetime, money) held in one data set: time to the first paint after
// the data set is open, sorting by the nvarchar column, grouping by a column with 1,000 distinct
// values (the stock view cannot group; its nearest work is sorting by that column), and the memory
// each side adds per row beyond the data set. Prints both sides and their ratios.
#include "TApplication.h"
#include "TDataSet.h"
#include "TDataSource.h"
#include "TdxDBGrid.h"
#include "TdxGridView.h"

#include <QAbstractTableModel>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QSortFilterProxyModel>
#include <QTableView>

#include <cstdio>
#include <malloc.h>

namespace {

constexpr int kRows = 1000000;

class BenchDataSet : public TDataSet {
protected:
    void InternalOpen() override {
        auto col = [](const char* name, TStorageKind kind, TFieldType type, int scale, int size) {
            TColumnInfo c;
            c.name = QString::fromLatin1(name);
            c.kind = kind;
            c.fieldType = type;
            c.scale = scale;
            c.precision = 19;
            c.definedSize = size;
            return c;
        };
        MutableStore().SetColumns({col("id", TStorageKind::Int32, ftInteger, 0, 4),
                                   col("name", TStorageKind::Text, ftWideString, 0, 50),
                                   col("created", TStorageKind::DateTime, ftDateTime, 0, 8),
                                   col("amount", TStorageKind::Decimal64, ftCurrency, 4, 8)});
        TRowStore::Cell cells[4];
        for (int i = 0; i < kRows; ++i) {
            const std::u16string name =
                u"customer " + std::u16string(QString::number(qint64(i) * 7919 % 1000003).toStdU16String());
            cells[0].SetInteger(i);
            cells[1].SetData(name.data(), uint32_t(name.size()));
            cells[2].SetInteger(int64_t(1577836800) * 1000000 + int64_t(i) * 60 * 1000000);
            cells[3].SetDecimal(__int128(i % 1000) * 12500); // 1,000 distinct amounts
            MutableStore().Append(cells);
        }
    }
};

// The stock side's source model: reads the same store, one value at a time.
class StoreModel : public QAbstractTableModel {
public:
    explicit StoreModel(const TRowStore& store) : m_store(store) {}
    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : m_store.RowCount();
    }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : m_store.ColumnCount();
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (role != Qt::DisplayRole)
            return {};
        if (index.column() == 3)
            return m_store.Real(index.row(), 3);
        return m_store.Value(index.row(), index.column());
    }
    QVariant headerData(int section, Qt::Orientation o, int role) const override {
        if (o == Qt::Horizontal && role == Qt::DisplayRole)
            return m_store.Columns()[section].name;
        return {};
    }

private:
    const TRowStore& m_store;
};

long kib(const char* field) {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : f.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(int(qstrlen(field))).trimmed().split(' ').value(0).toLong();
    }
    return 0;
}

void resetPeak() {
    malloc_trim(0);
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    if (f.open(QIODevice::WriteOnly))
        f.write("5");
}

// Shows the widget and waits for its first paint; returns the milliseconds since start.
class PaintWatch : public QObject {
public:
    bool painted = false;
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint)
            painted = true;
        return false;
    }
};

qint64 untilPainted(QWidget* viewport, QWidget* window, QElapsedTimer& t) {
    PaintWatch watch;
    viewport->installEventFilter(&watch);
    window->show();
    while (!watch.painted)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QCoreApplication::processEvents();
    viewport->removeEventFilter(&watch);
    return t.elapsed();
}

// Lets the window settle, and gives freed heap back, so what is measured is what is held.
void settle() {
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
    malloc_trim(0);
}

double perRow(long kibBefore, long kibAfter) {
    return double(kibAfter - kibBefore) * 1024.0 / kRows;
}

} // namespace

int main(int argc, char** argv) {
    TApplication app(argc, argv);
    BenchDataSet data;
    data.Open();
    TDataSource source;
    source.SetDataSet(&data);
    std::printf("rows: %d, data set store: %.1f MB\n", kRows, double(data.Store().MemoryBytes()) / 1e6);
    {
        // Qt's one-time costs (fonts, style, backing store) are not the grid's.
        QTableView warm;
        warm.resize(900, 600);
        QElapsedTimer t;
        t.start();
        untilPainted(warm.viewport(), &warm, t);
        // Nor are the first grid's (its header, group panel and footer classes), whichever mode
        // is measured first.
        TdxDBGrid warmGrid(nullptr, "warm");
        warmGrid.resize(900, 600);
        t.restart();
        untilPainted(warmGrid.View()->viewport(), &warmGrid, t);
    }

    // Ours, in both modes.
    double oursPaintLazy = 0, oursPaintAll = 0, oursSort = 0, oursGroup = 0;
    double oursMemLazy = 0, oursMemAll = 0, oursMemGroup = 0, oursPeakSort = 0, oursPeakGroup = 0;
    {
        resetPeak();
        const long base = kib("VmRSS:");
        auto grid = std::make_unique<TdxDBGrid>(nullptr, "dxdbg");
        grid->resize(900, 600);
        QElapsedTimer t;
        t.start();
        grid->SetDataSource(&source);
        grid->SetDefaultFields(true);
        oursPaintLazy = double(untilPainted(grid->View()->viewport(), grid.get(), t));
        settle();
        oursMemLazy = perRow(base, kib("VmRSS:"));
    }
    {
        resetPeak();
        const long base = kib("VmRSS:");
        auto grid = std::make_unique<TdxDBGrid>(nullptr, "dxdbg");
        grid->resize(900, 600);
        grid->SetOptionsDB(grid->OptionsDB() | TdxDBGrid::edgoLoadAllRecords);
        QElapsedTimer t;
        t.start();
        grid->SetDataSource(&source);
        grid->SetDefaultFields(true);
        oursPaintAll = double(untilPainted(grid->View()->viewport(), grid.get(), t));
        settle();
        oursMemAll = perRow(base, kib("VmRSS:"));

        resetPeak();
        const long beforeSort = kib("VmRSS:");
        t.restart();
        grid->SortByColumn(grid->ColumnByFieldName("name"), false);
        grid->View()->viewport()->repaint();
        settle();
        oursSort = double(t.elapsed());
        oursPeakSort = perRow(beforeSort, kib("VmHWM:"));

        resetPeak();
        const long beforeGroup = kib("VmRSS:");
        t.restart();
        grid->GroupByColumn(grid->ColumnByFieldName("amount"), 0);
        grid->View()->viewport()->repaint();
        settle();
        oursGroup = double(t.elapsed());
        oursPeakGroup = perRow(beforeGroup, kib("VmHWM:"));
        if (grid->TopNodeCount() != 1000) {
            std::fprintf(stderr, "expected 1000 groups, got %d\n", grid->TopNodeCount());
            return 1;
        }
        oursMemGroup = perRow(base, kib("VmRSS:"));
    }

    double oursMemGroupedFresh = 0;
    {
        // Grouped by code before the rows arrive: only the groups are laid out until opened.
        resetPeak();
        const long base = kib("VmRSS:");
        auto grid = std::make_unique<TdxDBGrid>(nullptr, "dxdbg");
        grid->resize(900, 600);
        grid->SetOptionsDB(grid->OptionsDB() | TdxDBGrid::edgoLoadAllRecords);
        grid->SetDataSource(&source);
        grid->BeginUpdate();
        grid->SetDefaultFields(true);
        grid->ColumnByFieldName("amount")->SetGroupIndex(0);
        grid->EndUpdate();
        grid->RegroupColumns();
        grid->FullCollapse();
        QElapsedTimer t;
        t.start();
        untilPainted(grid->View()->viewport(), grid.get(), t);
        settle();
        oursMemGroupedFresh = perRow(base, kib("VmRSS:"));
    }

    // Stock: QTableView over a QSortFilterProxyModel over the same rows.
    double stockPaint = 0, stockSort = 0, stockGroupSort = 0, stockMem = 0, stockPeakSort = 0;
    {
        resetPeak();
        const long base = kib("VmRSS:");
        StoreModel model(data.Store());
        QSortFilterProxyModel proxy;
        proxy.setSortCaseSensitivity(Qt::CaseInsensitive);
        QTableView view;
        view.resize(900, 600);
        QElapsedTimer t;
        t.start();
        proxy.setSourceModel(&model);
        view.setModel(&proxy);
        stockPaint = double(untilPainted(view.viewport(), &view, t));
        settle();
        stockMem = perRow(base, kib("VmRSS:"));

        resetPeak();
        const long beforeSort = kib("VmRSS:");
        t.restart();
        proxy.sort(1);
        view.viewport()->repaint();
        settle();
        stockSort = double(t.elapsed());
        stockPeakSort = perRow(beforeSort, kib("VmHWM:"));
        t.restart();
        proxy.sort(3);
        view.viewport()->repaint();
        settle();
        stockGroupSort = double(t.elapsed());
        stockMem = std::max(stockMem, perRow(base, kib("VmRSS:")));
    }

    std::printf("first paint, default mode (rows read as they scroll): %6.0f ms\n", oursPaintLazy);
    std::printf(
        "first paint, load all records:                       %6.0f ms   stock %6.0f ms   ratio %.2f\n",
        oursPaintAll, stockPaint, oursPaintAll / std::max(1.0, stockPaint));
    std::printf(
        "sort by nvarchar(50), case-insensitive:              %6.0f ms   stock %6.0f ms   ratio %.2f\n",
        oursSort, stockSort, oursSort / std::max(1.0, stockSort));
    std::printf(
        "group by money, 1,000 groups (stock: sort only):     %6.0f ms   stock %6.0f ms   ratio %.2f\n",
        oursGroup, stockGroupSort, oursGroup / std::max(1.0, stockGroupSort));
    std::printf("memory beyond the data set, bytes per row: default mode %.1f, load all %.1f, load all "
                "sorted and grouped %.1f; stock %.1f\n",
                oursMemLazy, oursMemAll, oursMemGroup, stockMem);
    std::printf(
        "memory beyond the data set, bytes per row, load all, grouped by code with the groups closed: "
        "%.1f\n",
        oursMemGroupedFresh);
    std::printf(
        "transient peak while sorting, bytes per row: ours %.1f, stock %.1f; while grouping: ours %.1f\n",
        oursPeakSort, stockPeakSort, oursPeakGroup);
    return 0;
}

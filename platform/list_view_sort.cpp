// The list view's sort, off the window thread: a sort thread reads the rows' item data, asks each row's
// key, orders the rows byte by byte of their keys (the compare callback only between equal keys) on both
// cores, and hands the new order back; the window thread moves the rows into it in one step. A newer sort,
// or the rows' deletion, cancels a sort under way. The list shows a busy cursor while a sort runs.
#include "platform/handover.h"
#include "platform/list_view.h"

#include <QCoreApplication>
#include <QEvent>
#include <QHeaderView>
#include <algorithm>
#include <atomic>
#include <new>
#include <system_error>
#include <thread>

namespace {

constexpr int KeyBytes = 8 * ListViewSortKeyWords;
// Rows whose item data is read under the store's lock at a time; a cancel is heard between them.
constexpr size_t RowsPerChunk = size_t(1) << 16;
// Fewer entries than this are ordered by comparing them.
constexpr size_t SmallRange = 64;

int awaitedSorts = 0; // sorts started whose rows have not come back (window thread)

} // namespace

struct SortEntry {
    uint64_t words[ListViewSortKeyWords]; // the row's key
    uint32_t row;                         // its place when the sort began
};

struct RowSort {
    std::shared_ptr<ListRowStore> store;
    ListViewSortByKey sort{};
    bool descending = false;
    uint64_t generation = 0; // the store's sort generation it belongs to; any other means it was cancelled
    size_t rowCount = 0;     // the rows present when it was asked for; rows appended later stay at the end
    std::unique_ptr<SortEntry[]> entries;
    std::unique_ptr<SecondParameter[]> items; // each row's item data, by its place when the sort began
    std::vector<ListRow> sorted;              // the rows' new room, its pages touched on the sort thread
    // The sort thread copied the rows into it in their new order (none keeps texts of its own), as they
    // stood at the store's edit count editsCopied; the window thread then only puts them in place.
    bool copied = false;
    uint64_t editsCopied = 0;
};

namespace {

bool Cancelled(const RowSort& job) {
    return job.store->sortGeneration.load(std::memory_order_relaxed) != job.generation;
}

unsigned ByteAt(const SortEntry& entry, int depth) {
    return unsigned(entry.words[depth / 8] >> (56 - 8 * (depth % 8))) & 0xFFu;
}

// Ascending (or descending) by key, then by the compare callback; rows equal in both keep their order.
struct EntryOrder {
    const RowSort* job;
    bool operator()(const SortEntry& left, const SortEntry& right) const {
        for (int word = 0; word < ListViewSortKeyWords; word++)
            if (left.words[word] != right.words[word])
                return (left.words[word] < right.words[word]) != job->descending;
        // A key ending in 0 holds the whole text: equal keys, equal rows (without a key function every
        // key is 0, and the callback decides).
        if (job->sort.key && (left.words[ListViewSortKeyWords - 1] & 0xFFu) == 0) return left.row < right.row;
        const ListViewSortByKey& sort = job->sort;
        int compared = sort.compare(job->items[left.row], job->items[right.row], sort.sortParameter);
        if (compared != 0) return (compared < 0) != job->descending;
        return left.row < right.row;
    }
};

// Reads the item data of the rows first to last - 1 and asks their keys. False when cancelled.
bool ReadKeys(RowSort& job, size_t first, size_t last) {
    ListRowStore& store = *job.store;
    for (size_t chunk = first; chunk < last; chunk += RowsPerChunk) {
        size_t end = std::min(last, chunk + RowsPerChunk);
        {
            std::lock_guard<std::mutex> lock(store.lock);
            if (Cancelled(job) || store.rows.size() < end) return false;
            for (size_t row = chunk; row < end; row++)
                job.items[row] = store.rows[row].parameter;
        }
        for (size_t row = chunk; row < end; row++) {
            ListViewSortKey key =
                job.sort.key ? job.sort.key(job.items[row], job.sort.sortParameter) : ListViewSortKey{};
            SortEntry& entry = job.entries[row];
            std::copy(key.words, key.words + ListViewSortKeyWords, entry.words);
            entry.row = uint32_t(row);
        }
    }
    return true;
}

// The bucket sizes of the entries by their byte at depth.
void CountBytes(const SortEntry* entries, size_t count, int depth, size_t (&counts)[256]) {
    std::fill(counts, counts + 256, size_t(0));
    for (size_t index = 0; index < count; index++)
        counts[ByteAt(entries[index], depth)]++;
}

// The first depth from start at which the entries' bytes differ (KeyBytes when their keys are equal).
int SplittingDepth(const SortEntry* entries, size_t count, int depth, size_t (&counts)[256]) {
    for (; depth < KeyBytes; depth++) {
        CountBytes(entries, count, depth, counts);
        if (counts[ByteAt(entries[0], depth)] != count) break;
    }
    return depth;
}

// Moves the entries, in place, into their buckets by the byte at depth, the buckets in the sort's
// direction; starts gets where each bucket begins.
void Partition(const RowSort& job, SortEntry* entries, int depth, const size_t (&counts)[256],
               size_t (&starts)[256]) {
    size_t heads[256], tails[256];
    size_t at = 0;
    for (int step = 0; step < 256; step++) {
        int bucket = job.descending ? 255 - step : step;
        starts[bucket] = heads[bucket] = at;
        at += counts[bucket];
        tails[bucket] = at;
    }
    for (unsigned bucket = 0; bucket < 256; bucket++)
        while (heads[bucket] < tails[bucket]) {
            SortEntry moving = entries[heads[bucket]];
            for (unsigned byte = ByteAt(moving, depth); byte != bucket; byte = ByteAt(moving, depth))
                std::swap(moving, entries[heads[byte]++]);
            entries[heads[bucket]++] = moving;
        }
}

void SortRange(const RowSort& job, SortEntry* entries, size_t count, int depth) {
    if (Cancelled(job)) return;
    size_t counts[256];
    if (count > SmallRange) depth = SplittingDepth(entries, count, depth, counts);
    if (count <= SmallRange || depth >= KeyBytes) {
        std::sort(entries, entries + count, EntryOrder{&job});
        return;
    }
    size_t starts[256];
    Partition(job, entries, depth, counts, starts);
    for (int bucket = 0; bucket < 256; bucket++)
        if (counts[bucket] > 1) SortRange(job, entries + starts[bucket], counts[bucket], depth + 1);
}

// Runs work on a second thread and on this one; alone when no thread can be had.
template <typename Work> void OnBothCores(Work work) {
    std::thread helper;
    try {
        helper = std::thread([&work] { work(0); });
    } catch (const std::system_error&) {
        work(0);
    }
    work(1);
    if (helper.joinable()) helper.join();
}

// Orders the entries. False when cancelled.
bool OrderRows(RowSort& job) {
    size_t half = job.rowCount / 2;
    std::atomic<bool> read[2] = {false, false};
    OnBothCores([&](int part) {
        read[part] = part == 0 ? ReadKeys(job, 0, half) : ReadKeys(job, half, job.rowCount);
    });
    if (!read[0] || !read[1]) return false;
    if (job.rowCount < 2) return true;
    SortEntry* entries = job.entries.get();
    size_t counts[256];
    // Without a key function the callback alone orders the rows.
    int depth = job.sort.key ? SplittingDepth(entries, job.rowCount, 0, counts) : KeyBytes;
    if (depth >= KeyBytes) {
        SortRange(job, entries, job.rowCount, depth);
        return !Cancelled(job);
    }
    size_t starts[256];
    Partition(job, entries, depth, counts, starts);
    // The buckets, largest first, go to whichever core is free.
    int buckets[256];
    for (int bucket = 0; bucket < 256; bucket++)
        buckets[bucket] = bucket;
    std::sort(buckets, buckets + 256, [&](int left, int right) { return counts[left] > counts[right]; });
    std::atomic<int> next{0};
    OnBothCores([&](int) {
        for (int taken = next++; taken < 256 && counts[buckets[taken]] > 1; taken = next++)
            SortRange(job, entries + starts[buckets[taken]], counts[buckets[taken]], depth + 1);
    });
    return !Cancelled(job);
}

// Carries a finished sort to the window thread.
class SortedRowsEvent : public QEvent {
  public:
    static QEvent::Type type() {
        static int registered = QEvent::registerEventType();
        return static_cast<QEvent::Type>(registered);
    }
    explicit SortedRowsEvent(std::shared_ptr<RowSort> finished) : QEvent(type()), job(std::move(finished)) {}
    std::shared_ptr<RowSort> job;
};

// Copies the rows, in their new order, into the new room, a part at a time under the store's lock (a row
// with texts of its own cannot be copied; the window thread moves the rows then).
void CopyRowsInOrder(RowSort& job) {
    ListRowStore& store = *job.store;
    job.sorted.resize(job.rowCount);
    for (size_t chunk = 0; chunk < job.rowCount; chunk += RowsPerChunk) {
        size_t end = std::min(job.rowCount, chunk + RowsPerChunk);
        std::lock_guard<std::mutex> lock(store.lock);
        if (chunk == 0) job.editsCopied = store.rowEdits;
        if (Cancelled(job) || store.rowEdits != job.editsCopied || store.rows.size() < job.rowCount) return;
        for (size_t place = chunk; place < end; place++) {
            const ListRow& row = store.rows[job.entries[place].row];
            if (row.texts) return;
            ListRow& copy = job.sorted[place];
            copy.parameter = row.parameter;
            copy.state = row.state;
            copy.callbackCells = row.callbackCells;
        }
    }
    job.copied = true;
}

// The sort thread's body: orders the rows, tells anyone waiting to free the items that it reads them no
// more, makes the rows' new room ready and sends the order to the window thread.
unsigned long RunRowSort(void* argument) {
    auto* carried = static_cast<std::shared_ptr<RowSort>*>(argument);
    std::shared_ptr<RowSort> job = std::move(*carried);
    delete carried;
    bool ordered = false;
    {
        struct StopReading {
            ListRowStore& store;
            ~StopReading() {
                std::lock_guard<std::mutex> lock(store.lock);
                store.sortsReadingItems--;
                store.sortsStopped.notify_all();
            }
        } stopReading{*job->store};
        ordered = OrderRows(*job);
    }
    // A cancelled sort was forgotten by the window thread when it was cancelled.
    if (!ordered) return 0;
    CopyRowsInOrder(*job);
    ListRowStore& store = *job->store;
    PostToListFace(store, new SortedRowsEvent(std::move(job)));
    return 0;
}

// The list no longer waits for its sort (window thread).
void ForgetAwaitedSort(ListView& list) {
    if (!list.sort) return;
    list.sort.reset();
    awaitedSorts--;
    list.face->unsetCursor();
}

// The focused row's new place, found among the sorted entries by its key and place (-1 for none).
int NewPlaceOf(const RowSort& job, int focused) {
    if (focused < 0 || size_t(focused) >= job.rowCount) return -1;
    SortEntry wanted{};
    ListViewSortKey key =
        job.sort.key ? job.sort.key(job.items[focused], job.sort.sortParameter) : ListViewSortKey{};
    std::copy(key.words, key.words + ListViewSortKeyWords, wanted.words);
    wanted.row = uint32_t(focused);
    const SortEntry* begin = job.entries.get();
    const SortEntry* end = begin + job.rowCount;
    const SortEntry* found = std::lower_bound(begin, end, wanted, EntryOrder{&job});
    return found != end && found->row == wanted.row ? int(found - begin) : -1;
}

// Puts the rows into the sorted order, in one step under the store's lock; rows appended since the sort
// began follow them. False when the rows stay as they were (cancelled after all, or no room for the rows
// appended meanwhile).
bool PutRowsInOrder(ListView& list, RowSort& job) {
    ListRowStore& store = *list.store;
    std::lock_guard<std::mutex> lock(store.lock);
    if (Cancelled(job) || store.rows.size() < job.rowCount) return false;
    size_t total = store.rows.size();
    try {
        job.sorted.reserve(total);
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (!job.copied || store.rowEdits != job.editsCopied) {
        constexpr size_t Ahead = 16; // the rows are read all over memory: ask for them a little early
        for (size_t place = 0; place < job.rowCount; place++) {
            if (place + Ahead < job.rowCount) __builtin_prefetch(&store.rows[job.entries[place + Ahead].row]);
            job.sorted[place] = std::move(store.rows[job.entries[place].row]);
        }
    }
    for (size_t row = job.rowCount; row < total; row++)
        job.sorted.push_back(std::move(store.rows[row]));
    store.rows.swap(job.sorted);
    return true;
}

// What a sort leaves behind (the rows' old room, the keys) is freed on a thread of its own: giving back
// hundreds of megabytes takes the window thread tens of milliseconds.
struct SortRemains {
    std::vector<ListRow> rows;
    std::unique_ptr<SortEntry[]> entries;
    std::unique_ptr<SecondParameter[]> items;
};

unsigned long FreeSortRemains(void* remains) {
    delete static_cast<SortRemains*>(remains);
    return 0;
}

void FreeAwayFromWindowThread(RowSort& job) {
    auto* remains = new SortRemains{std::move(job.sorted), std::move(job.entries), std::move(job.items)};
    if (ThreadHandle thread = CreateThread(FreeSortRemains, remains))
        CloseHandle(thread);
    else
        FreeSortRemains(remains);
}

} // namespace

int StartRowSort(ListView& list, const ListViewSortByKey& sort, bool descending) {
    ListRowStore& store = *list.store;
    auto job = std::make_shared<RowSort>();
    job->store = list.store;
    job->sort = sort;
    job->descending = descending;
    {
        std::lock_guard<std::mutex> lock(store.lock);
        job->rowCount = store.rows.size();
    }
    // The sort's room is taken here, so that a sort without it is refused at once; its pages are
    // touched on the sort thread.
    job->entries.reset(new (std::nothrow) SortEntry[job->rowCount]);
    job->items.reset(new (std::nothrow) SecondParameter[job->rowCount]);
    if (!job->entries || !job->items) return -1;
    job->sorted.reserve(job->rowCount);
    ForgetAwaitedSort(list);
    {
        std::lock_guard<std::mutex> lock(store.lock);
        job->generation = ++store.sortGeneration;
        store.sortsReadingItems++;
    }
    list.sort = job;
    awaitedSorts++;
    list.face->setCursor(Qt::BusyCursor);
    auto* carried = new std::shared_ptr<RowSort>(job);
    if (ThreadHandle thread = CreateThread(RunRowSort, carried))
        CloseHandle(thread);
    else
        RunRowSort(carried); // no thread to be had: sorted here, the rows still come back as an event
    return 1;
}

void CancelRowSorts(ListView& list) {
    ListRowStore& store = *list.store;
    {
        std::unique_lock<std::mutex> lock(store.lock);
        store.sortGeneration++;
        // The items a sort reads may be freed once the rows are deleted.
        store.sortsStopped.wait(lock, [&] { return store.sortsReadingItems == 0; });
    }
    ForgetAwaitedSort(list);
}

bool TakeSortedRows(ListView& list, QEvent* event) {
    if (event->type() != SortedRowsEvent::type()) return false;
    RowSort& job = *static_cast<SortedRowsEvent*>(event)->job;
    if (list.sort.get() != &job) return true; // a newer sort, or the rows' deletion, cancelled it
    ForgetAwaitedSort(list);
    int focused = FocusedRow(list);
    if (!PutRowsInOrder(list, job)) return true;
    int newFocus = NewPlaceOf(job, focused);
    // On a desktop the heading's arrow tells the order the rows are in, once they are.
    if (DesktopFaceShown() && job.sort.sortParameter >= 0 &&
        job.sort.sortParameter < int(list.columns.size())) {
        list.face->header()->setSortIndicatorShown(true);
        list.face->header()->setSortIndicator(int(job.sort.sortParameter),
                                              job.descending ? Qt::DescendingOrder : Qt::AscendingOrder);
    }
    FreeAwayFromWindowThread(job);
    if (newFocus >= 0) list.face->setCurrentIndex(list.model->index(newFocus, 0));
    // The rows shown are asked for their texts again; telling the view of every row's change would make it
    // measure each of millions of rows on the window thread.
    list.face->viewport()->update();
    return true;
}

void WaitForRowSorts() {
    while (awaitedSorts > 0)
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

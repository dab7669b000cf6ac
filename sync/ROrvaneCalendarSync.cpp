// Bringing a calendar's stored items up to date with its collection: the collection tag, the
// entity-tag listing compared with the stored rows (read once, by resource name), the changed
// resources fetched in calendar-multiget batches, and the leftovers deleted.
#include "sync/ROrvaneCalendar.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <future>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <system_error>
#include <unordered_map>
#include <vector>

#include "foundation/debug/DebugTrace.h"
#include "ical/model/RIcsCalendar.h"
#include "ical/model/RIcsEvent.h"
#include "ical/model/RIcsToDo.h"
#include "ical/parser/RIcsZoneMemo.h"
#include "platform/http/HttpClient.h"
#include "sync/CalendarOperation.h"
#include "sync/HrefNames.h"
#include "sync/ROrvaneAccount.h"

namespace {

// Hrefs per multiget request group; between groups the worker looks for a stop or a waiting user.
constexpr std::size_t kHrefsPerRound = 200;
constexpr int kProgressEvery = 200;
constexpr int kProgressPauseMs = 250;
// The database pages a sync of many rounds keeps cached between rounds, at most.
constexpr long long kRoundsCachedBytes = 2LL * 1024 * 1024;

// The master rows stored from one resource: usually one, but a resource may hold several UIDs.
struct StoredResource {
    std::vector<CStringA> guids;
    CStringA etag;
    CStringA scheduleTag;
    bool tagsDiffer = false;  // rows stored from different versions: fetched again
    bool listed = false;      // the listing shows its resource
};

// The hrefs a sync downloads, in listing order, kept in one block of text (each followed by a
// NUL) with the offset of each: a large first sync keeps some thirty bytes per resource here,
// not a string object (and its own allocation) per href.
class QueuedHrefs {
public:
    void Add(const char* href) {
        starts_.push_back(static_cast<std::uint32_t>(text_.size()));
        text_ += href;
        text_ += '\0';
    }
    std::size_t Size() const { return starts_.size(); }
    const char* At(std::size_t i) const { return text_.c_str() + starts_[i]; }
    void Clear() {
        text_.clear();
        starts_.clear();
    }
    // Gives back the room that growing left unused, before the rounds.
    void Fit() {
        text_.shrink_to_fit();
        starts_.shrink_to_fit();
    }
    // Keeps the first of hrefs that name the same resource (their ResourceKey is the same).
    void DropRepeatedResources() {
        std::vector<std::pair<std::size_t, std::uint32_t>> byKey;  // (hash of the key, index)
        byKey.reserve(Size());
        for (std::size_t i = 0; i < Size(); ++i) {
            byKey.emplace_back(std::hash<std::string_view>()(ResourceKey(At(i)).AsView()), static_cast<std::uint32_t>(i));
        }
        std::sort(byKey.begin(), byKey.end());
        std::vector<bool> dropped(Size(), false);
        bool any = false;
        for (std::size_t run = 0; run < byKey.size();) {
            std::size_t end = run + 1;
            while (end < byKey.size() && byKey[end].first == byKey[run].first) ++end;
            // Equal hashes: the keys themselves decide; within a run the indices ascend.
            for (std::size_t a = run; a < end; ++a) {
                if (dropped[byKey[a].second]) continue;
                const CStringA key = ResourceKey(At(byKey[a].second));
                for (std::size_t b = a + 1; b < end; ++b) {
                    if (!dropped[byKey[b].second] && ResourceKey(At(byKey[b].second)) == key) {
                        dropped[byKey[b].second] = true;
                        any = true;
                    }
                }
            }
            run = end;
        }
        if (!any) return;
        QueuedHrefs kept;
        for (std::size_t i = 0; i < Size(); ++i) {
            if (!dropped[i]) kept.Add(At(i));
        }
        *this = std::move(kept);
    }

private:
    std::string text_;
    std::vector<std::uint32_t> starts_;
};

// The UIDs of a parsed calendar's events and to-dos.
std::vector<CStringA> UidsOf(RIcsCalendar& calendar) {
    std::vector<CStringA> uids;
    for (int i = 0; i < calendar.GetEventCount(); ++i) {
        if (const char* uid = calendar.GetEventAt(i)->GetUid()) uids.emplace_back(uid);
    }
    for (int i = 0; i < calendar.GetToDoCount(); ++i) {
        if (const char* uid = calendar.GetToDoAt(i)->GetUid()) uids.emplace_back(uid);
    }
    return uids;
}

// Whether the store keeps a row of any event or to-do of a parsed calendar.
bool StoresAnyItem(RIcsCalendar& calendar) {
    for (int i = 0; i < calendar.GetEventCount(); ++i) {
        if (ROrvaneDataManager::StoresComponent(calendar.GetEventAt(i))) return true;
    }
    for (int i = 0; i < calendar.GetToDoCount(); ++i) {
        if (ROrvaneDataManager::StoresComponent(calendar.GetToDoAt(i))) return true;
    }
    return false;
}

// One multiget round's answer: the records of the hrefs asked for, or the failure.
struct RoundDownload {
    std::vector<ResponseRecord> records;
    RResult error = 0;
};

// Asks for the round of hrefs that starts at `first`, under the collection's lock.
RoundDownload DownloadRound(RCalDAVCalendar& server, const QueuedHrefs& queued, std::size_t first) {
    RoundDownload round;
    auto held = server.Lock();
    const std::size_t last = std::min(queued.Size(), first + kHrefsPerRound);
    for (std::size_t i = first; i < last && round.error == 0; ++i) round.error = server.AddMultigetHref(queued.At(i));
    if (round.error == 0) round.error = server.FetchMultiget();
    RXmlMultigetResponse* response = nullptr;
    if (round.error == 0 && server.GetMultigetResponse(&response) == 0 && response != nullptr) {
        round.records = response->TakeRecords();
    }
    return round;
}

// DownloadRound on a thread of its own, which a stop of the account cuts short as it does the
// worker's own requests. Where no thread can be started, it runs when its result is asked for.
// `server` and `queued` must outlive the result.
std::future<RoundDownload> StartDownload(RCalDAVCalendar& server, const QueuedHrefs& queued,
                                         std::size_t first, const std::atomic<bool>* stopFlag) {
    try {
        return std::async(std::launch::async, [&server, &queued, first, stopFlag] {
            platform::http::SetThreadAbortFlag(stopFlag);
            RoundDownload round = DownloadRound(server, queued, first);
            platform::http::SetThreadAbortFlag(nullptr);
            return round;
        });
    } catch (const std::system_error&) {
        return std::async(std::launch::deferred, [&server, &queued, first] { return DownloadRound(server, queued, first); });
    }
}

}  // namespace

RResult ROrvaneCalendar::SyncWithServer(bool force) {
    CalendarOperation operation(*this);
    if (!operation.Held()) return R_E_CALENDAR_BUSY;
    return SyncLocked(force);
}

RResult ROrvaneCalendar::SyncLocked(bool force) {
    RRef<RCalDAVCalendar> server = AttachedServerCalendar();
    if (!server) DebugTrace("Failed to fetch RCalDAVCalendar for %s\n", GetRecord().pathURI.GetString());
    if (!IsUsableCalendar()) return 0;
    RRef<ROrvaneAccount> account = GetAccount();
    RRef<ROrvaneDataManager> store = GetDataManager();
    if (!account || !store) return R_E_INVALID_ARGUMENT;
    const std::uint64_t changesAtStart = LocalChangeCount();
    const CalendarRecord record = GetRecord();

    RResult result = server->FetchCtag();
    if (result != 0) return result;
    CStringA serverCtag;
    server->GetCtag(&serverCtag);
    if (server->IsChanged() && serverCtag == record.ctag) server->ClearChanged();
    if (!server->IsChanged() && !force) return 0;

    // The stored rows, read once: master rows by resource name, and every master guid as a
    // candidate for deletion until the listing shows its resource.
    std::vector<ROrvaneDataManager::ItemTags> rows;
    result = store->GetCalendarItemTags(record.guid, record.parentAccountGuid, &rows);
    if (result != 0) return result;
    std::unordered_map<std::string, StoredResource> storedByName;
    for (const ROrvaneDataManager::ItemTags& row : rows) {
        if (!row.recurrenceID.IsEmpty()) continue;
        const auto [stored, added] = storedByName.try_emplace(ResourceKey(row.serverFileName).Str());
        if (added) {
            stored->second.etag = row.etag;
            stored->second.scheduleTag = row.scheduleTag;
        } else if (stored->second.etag != row.etag || stored->second.scheduleTag != row.scheduleTag) {
            stored->second.tagsDiffer = true;
        }
        stored->second.guids.push_back(row.guid);
    }
    rows = {};

    // Of the resources without rows, those the listing shows unchanged are remembered still.
    std::map<std::string, ResourceTags> rowless;
    {
        platform::MutexLock lock(mutex_);
        rowless.swap(rowlessResources_);
    }
    // The listing, compared with the rows as it arrives, under the collection's lock: only what
    // is to be downloaded is kept of it.
    struct Comparison final : EtagListingVisitor {
        Comparison(std::unordered_map<std::string, StoredResource>& storedByName,
                   const std::map<std::string, ResourceTags>& rowless, const CStringA& ownPath)
            : storedByName(storedByName), rowless(rowless), ownKey(ServerPathKey(ownPath)) {}
        void Restart() override {
            for (auto& entry : storedByName) entry.second.listed = false;
            rowlessUnchanged.clear();
            queued.Clear();
            namesCollection = false;
            listingComplete = true;
        }
        // A Depth 1 listing always names the collection itself (without tags); one that does
        // not (an empty multistatus) is not the whole collection either.
        void Untagged(const CStringA& href) override {
            if (ServerPathKey(href) == ownKey) namesCollection = true;
        }
        void Resource(EtagRecord&& entry) override {
            if (entry.href.IsEmpty()) return;
            if (ServerPathKey(entry.href) == ownKey) {
                namesCollection = true;
                return;
            }
            if (entry.contentType.Find("directory") >= 0) return;
            // A listing in which the server failed on a resource is not the whole truth: nothing
            // is deleted after it. (A 404 names a property the resource lacks, such as its
            // schedule tag.)
            if (entry.status >= 500) listingComplete = false;
            const std::string name = ResourceKey(entry.href).Str();
            const auto found = storedByName.find(name);
            if (found != storedByName.end()) {
                // Every item stored from the resource stays while the resource does.
                found->second.listed = true;
                if (!found->second.tagsDiffer && found->second.etag == entry.etag &&
                    found->second.scheduleTag == entry.scheduleTag) {
                    return;
                }
            }
            if (const auto seen = rowless.find(name); seen != rowless.end() && seen->second.etag == entry.etag &&
                                                      seen->second.scheduleTag == entry.scheduleTag) {
                rowlessUnchanged.insert(*seen);
                return;
            }
            queued.Add(entry.href);
        }
        std::unordered_map<std::string, StoredResource>& storedByName;
        const std::map<std::string, ResourceTags>& rowless;
        const CStringA ownKey;  // the collection's own path, as SameServerPath compares it
        std::map<std::string, ResourceTags> rowlessUnchanged;
        QueuedHrefs queued;
        bool namesCollection = false;
        bool listingComplete = true;
    };
    const CStringA ownPath = GetServerPath();
    Comparison listing(storedByName, rowless, ownPath);
    {
        auto held = server->Lock();
        result = server->ListEtags(listing);
        if (result != 0) {
            // Nothing changes: the resources without rows stay remembered as they were.
            platform::MutexLock lock(mutex_);
            rowlessResources_.insert(rowless.begin(), rowless.end());
            return result;
        }
    }
    QueuedHrefs queued = std::move(listing.queued);
    queued.DropRepeatedResources();
    queued.Fit();
    bool listingComplete = listing.listingComplete && listing.namesCollection;
    // Every stored master is a leftover unless the listing showed a resource it was stored from.
    std::set<std::string> pending;
    for (const auto& entry : storedByName) {
        if (entry.second.listed) continue;
        for (const CStringA& guid : entry.second.guids) pending.insert(guid.Str());
    }
    for (const auto& entry : storedByName) {
        if (!entry.second.listed) continue;
        for (const CStringA& guid : entry.second.guids) pending.erase(guid.Str());
    }
    storedByName = {};
    {
        platform::MutexLock lock(mutex_);
        pendingDeletes_.swap(pending);
        rowlessResources_.swap(listing.rowlessUnchanged);
    }

    // The changed resources, in rounds; every stored one takes its guids off the leftovers.
    // The first record or leftover the store could not take: reported once the sync is done.
    RResult storeError = 0;
    bool stopped = false;
    int downloaded = 0;
    // Whether a resource asked for did not come (each round's answer is checked against it).
    bool missing = false;
    RResult fetchError = 0;
    // While a round is stored, the next one downloads: the store's work then overlaps the wait
    // for the server instead of adding to it. Downloads change nothing stored, so the rounds
    // are stored in the same order and at the same points as one after the other.
    std::future<RoundDownload> next;
    for (std::size_t first = 0; first < queued.Size() && fetchError == 0; first += kHrefsPerRound) {
        if (account->ShouldStop() || OperationLock().YieldRequested()) {
            stopped = true;
            break;
        }
        RoundDownload round = next.valid() ? next.get() : DownloadRound(*server, queued, first);
        fetchError = round.error;
        const std::size_t following = first + kHrefsPerRound;
        if (fetchError == 0 && following < queued.Size() && !account->ShouldStop()) {
            next = StartDownload(*server, queued, following, account->StopFlag());
        }
        const int before = downloaded;
        std::set<std::string> received;
        downloaded += StoreRound(round.records, received, storeError, stopped);
        for (std::size_t i = first; i < std::min(queued.Size(), following) && fetchError == 0; ++i) {
            if (received.count(ResourceKey(queued.At(i)).Str()) == 0) missing = true;
        }
        round.records = {};  // this round's bodies go now, not when the next round arrives
        // In a sync of many rounds the pages its rows were written to go too once they take more
        // than a few rounds' worth, so its memory stays bounded; a sync of one round keeps them,
        // with the pages the views read.
        if (queued.Size() > kHrefsPerRound) store->ReleaseCachedPages(kRoundsCachedBytes);
        // Progress between rounds, when the round's write lock is no longer held.
        if (downloaded / kProgressEvery != before / kProgressEvery && account->GetNotifyTarget() != 0) {
            account->PostToNotifyTarget(platform::messages::WM_APP_SYNC_PROGRESS, GetNotifyId());
            account->Pause(kProgressPauseMs, this);
        }
        if (stopped) break;
    }
    // A download still under way when the rounds ended early is waited for and dropped (a stop
    // cuts it short), so that no other thread's request outlives the sync; one that was to run
    // only when asked for is dropped unasked.
    if (next.valid() && next.wait_for(std::chrono::seconds(0)) != std::future_status::deferred) next.wait();
    if (stopped || account->ShouldStop()) {
        platform::MutexLock lock(mutex_);
        pendingDeletes_.clear();
        return account->ShouldStop() ? R_E_SYNC_CANCELLED : storeError;
    }

    // The leftovers: stored masters whose resource the complete listing did not show.
    std::set<std::string> leftovers;
    {
        platform::MutexLock lock(mutex_);
        leftovers.swap(pendingDeletes_);
    }
    if (listingComplete) {
        for (const std::string& guid : leftovers) {
            if (account->IsDeleted()) return R_E_SYNC_CANCELLED;
            const RResult deleted = store->DeleteCalendarItem(guid.c_str(), "", record.guid, record.parentAccountGuid);
            if (deleted != 0 && storeError == 0) storeError = deleted;
        }
    }
    if (fetchError != 0) return fetchError;

    // The new ctag only when everything arrived and nothing changed locally meanwhile: otherwise
    // the next sync lists the collection again.
    CStringA newCtag;
    if (listingComplete && storeError == 0 && !missing && LocalChangeCount() == changesAtStart &&
        server->GetCtag(&newCtag) == 0 && !newCtag.IsEmpty()) {
        SetCTag(newCtag);
    }
    return storeError;
}

int ROrvaneCalendar::StoreRound(const std::vector<ResponseRecord>& records, std::set<std::string>& received,
                                RResult& storeError, bool& stopped) {
    RRef<ROrvaneAccount> account = GetAccount();
    RRef<ROrvaneDataManager> store = GetDataManager();
    if (!account || !store) {
        if (storeError == 0) storeError = R_E_INVALID_ARGUMENT;
        return 0;
    }
    const CalendarRecord record = GetRecord();
    // Parsed first, outside the store's write lock.
    struct Parsed {
        const ResponseRecord* entry;
        RRef<RIcsCalendar> calendar;
    };
    // The round's resources mostly carry the same VTIMEZONE text: each distinct one is parsed
    // once and its zone shared by the calendars of the round, which go with the memo at its end.
    RIcsZoneMemo zones;
    std::vector<Parsed> parsed;
    parsed.reserve(records.size());
    for (const ResponseRecord& entry : records) {
        if (entry.href.IsEmpty()) continue;
        const std::string name = ResourceKey(entry.href).Str();
        auto calendar = MakeRef<RIcsCalendar>();
        if (const RResult result = calendar->Parse(entry.data, &zones); result != 0) {
            received.insert(name);
            DebugTrace("Error 0x%08x encountered on HREF %s\n\r", static_cast<unsigned>(result), entry.href.GetString());
            continue;
        }
        if (calendar->GetEventCount() == 0 && calendar->GetToDoCount() == 0) {
            // A calendar without any item is no text for the rows stored from this resource:
            // like a resource the answer left out, nothing is written and it is asked for again.
            DebugTrace("No event or to-do in HREF %s\n\r", entry.href.GetString());
            continue;
        }
        received.insert(name);
        if (!StoresAnyItem(*calendar)) {
            // The store would keep nothing of it: its tags are, so that it is not downloaded
            // again while it stays the same.
            platform::MutexLock lock(mutex_);
            rowlessResources_[name] = ResourceTags{entry.etag, entry.scheduleTag};
            continue;
        }
        parsed.push_back(Parsed{&entry, std::move(calendar)});
    }

    // The round's files first, written and flushed to disk together, then its rows in one
    // transaction: a row never names a file that is not there. A rolled back round leaves
    // complete files that its rows would have named, which the retry below (or the next sync)
    // writes again. The files are written before the store's write lock is taken, so other
    // writers do not wait for the disk meanwhile (that lock orders rows; a single item's file
    // write does not take it either).
    bool batched = false;
    if (!account->IsDeleted()) {
        std::vector<CStringA> names;
        names.reserve(parsed.size());
        std::vector<ROrvaneDataManager::ItemFileText> files;
        files.reserve(parsed.size());
        for (const Parsed& item : parsed) {
            names.push_back(LastHrefComponent(item.entry->href));
            files.push_back({item.entry->data.GetString(), names.back().GetString()});
        }
        RResult result = store->WriteCalendarItemFiles(files, record.guid, record.parentAccountGuid);
        if (result == 0) {
            std::vector<ROrvaneDataManager::IcsResource> resources;
            resources.reserve(parsed.size());
            for (const Parsed& item : parsed) {
                resources.push_back({item.entry->href.GetString(), item.entry->scheduleTag.GetString(),
                                     item.entry->etag.GetString(), item.calendar.get()});
            }
            // Looked at under the store's write lock: a deleted account's rows are not made again.
            ROrvaneDataManager::WriteBatch batch(*store);
            batched = !account->IsDeleted() &&
                      store->ImportIcsCalendars(record.parentAccountGuid, record.guid, resources) == 0 &&
                      batch.Commit() == 0;
        }
    }
    std::vector<const Parsed*> storedItems;
    if (batched) {
        for (const Parsed& item : parsed) storedItems.push_back(&item);
    } else {
        // Record by record, as a single write each, so that only the failing ones are missed.
        for (const Parsed& item : parsed) {
            if (account->IsDeleted()) {
                stopped = true;
                break;
            }
            const RResult result = StoreParsedInto(*store, *account, record, item.entry->href, item.entry->scheduleTag,
                                                   item.entry->etag, item.entry->data, *item.calendar);
            if (result == 0) {
                storedItems.push_back(&item);
            } else {
                if (storeError == 0) storeError = result;
                DebugTrace("Error 0x%08x encountered on HREF %s\n\r", static_cast<unsigned>(result),
                           item.entry->href.GetString());
            }
        }
    }
    for (const Parsed* item : storedItems) {
        for (const CStringA& uid : UidsOf(*item->calendar)) RemovePendingDelete(uid);
    }
    int count = 0;
    for (const ResponseRecord& entry : records) {
        if (!entry.href.IsEmpty()) ++count;
    }
    return count;
}

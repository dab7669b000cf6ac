#pragma once
// The walk shared by the multistatus responses that keep one record per DAV:response: a record
// is kept when it has an href and an entity or schedule tag.
#include "foundation/ResultCodes.h"

#include <new>
#include <utility>
#include <vector>

#include "dav/http/StatusLine.h"
#include "dav/xml/DavNamespaces.h"
#include "dav/xml/MultistatusParse.h"
#include "platform/string/CString.h"
#include "platform/xml/XmlDocument.h"

// `Fields` says what a record takes beyond href, entity and schedule tag:
//   static bool StoreExtra(const XmlNode&, Record&)  stores a field it knows; true when it did;
//   static bool PropstatDone(const Record&)          true when later propstats are skipped;
//   static void NotePropstat(Record&, int status)    records a propstat's status (non-zero).
template <typename Record, typename Fields>
class ResourceWalker {
public:
    explicit ResourceWalker(std::vector<Record>& out) : out_(out) {}

    // `status` is the variable a DAV:status sets; `record` the DAV:response being read (null
    // above any response).
    RResult Walk(const platform::xml::XmlNode& node, int* status, Record* record) {
        if (node.Is("status", kDavNamespace)) {
            if (status != nullptr) *status = ParseStatusLine(node.Text());
            return 0;
        }
        if (node.Is("propstat", kDavNamespace)) {
            if (record != nullptr && Fields::PropstatDone(*record)) return 0;
            int fresh = 0;
            const RResult result = WalkChildren(node, &fresh, record);
            if (fresh != 0 && record != nullptr) Fields::NotePropstat(*record, fresh);
            return result;
        }
        if (node.Is("response", kDavNamespace) && record == nullptr) {
            Record current;
            const RResult result = WalkChildren(node, status, &current);
            if (!current.href.IsEmpty() && (!current.etag.IsEmpty() || !current.scheduleTag.IsEmpty())) {
                try {
                    out_.push_back(std::move(current));
                } catch (const std::bad_alloc&) {
                    return R_E_OUT_OF_MEMORY;
                }
            }
            return result;
        }
        if (record != nullptr) {
            if (node.Is("href", kDavNamespace)) return StoreNonEmptyText(node, record->href), 0;
            if (node.Is("getetag", kDavNamespace)) return StoreNonEmptyText(node, record->etag), 0;
            if (node.Is("schedule-tag", kCalDavNamespace)) return StoreNonEmptyText(node, record->scheduleTag), 0;
            if (Fields::StoreExtra(node, *record)) return 0;
        }
        return WalkChildren(node, status, record);
    }

private:
    RResult WalkChildren(const platform::xml::XmlNode& node, int* status, Record* record) {
        for (auto child = node.FirstChild(); child; child = child.NextSibling()) {
            const RResult result = Walk(child, status, record);
            if (result != 0) return result;
        }
        return 0;
    }

    std::vector<Record>& out_;
};

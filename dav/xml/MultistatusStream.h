#pragma once
// Multistatus answers read as a stream into records: the body is read once, in place, and no
// document is built, so a listing of many thousand resources costs little more than its text.
// The walks keep the rules of a walk over the element tree: a DAV:status sets the status of the
// propstat it stands in; a stored element's value is its whole text, blanks at both ends removed,
// and nothing inside it is looked at; an element without text leaves the field as it was.
// A body that is not well-formed (even after some complete responses) gives R_E_BAD_FORMAT and
// adds nothing: a partial listing would read as "these resources are gone".
// Threads: free functions without shared state; safe on any thread.
#include "foundation/ResultCodes.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dav/xml/XmlRecords.h"
#include "platform/string/CString.h"

// What a per-resource walk stores beyond href, entity tag and schedule tag.
//   static CStringA* ExtraField(std::string_view local, std::string_view ns, Record&): the field an
//       element fills, or null;
//   static bool PropstatDone(const Record&): later propstats of the resource are skipped;
//   static void NotePropstat(Record&, int status): a propstat's status (non-zero) is noted.
// Records are appended to `out`; when the text turns out not to be well-formed, every record
// this call appended is taken back. A response with neither tag (the collection itself, a
// subcollection) makes no record; its href is appended to `untagged` when that is given.
template <typename Record, typename Fields>
RResult ParseResourceStream(const char* xml, size_t length, std::vector<Record>& out,
                            std::vector<CStringA>* untagged = nullptr);

namespace platform::xml {
class XmlStreamReader;
}

// The per-resource walk of ParseResourceStream over a text that may arrive in pieces: each
// Walk reads the reader's events until it asks for more text, and hands over each complete
// record (and untagged href) as its response closes. The caller who acts on records before the
// whole text is read must drop them when a later Walk fails.
template <typename Record, typename Fields>
class ResourceStreamWalk {
public:
    using OnRecord = std::function<void(Record&&)>;
    using OnUntagged = std::function<void(const CStringA&)>;
    ResourceStreamWalk(OnRecord onRecord, OnUntagged onUntagged)
        : onRecord_(std::move(onRecord)), onUntagged_(std::move(onUntagged)) {}
    // 0 while the text is well-formed so far (Done() once it ended as a multistatus);
    // R_E_BAD_FORMAT or R_E_OUT_OF_MEMORY once it failed, which every later Walk repeats.
    RResult Walk(platform::xml::XmlStreamReader& reader);
    bool Done() const { return done_; }

private:
    enum class Frame { Other, Propstat, Response };
    OnRecord onRecord_;
    OnUntagged onUntagged_;
    std::vector<Frame> frames_;
    std::vector<int> statuses_{0};  // the status variable of each open propstat, the document's first
    std::optional<Record> record_;
    int skipDepth_ = 0;                 // inside a propstat that is passed over
    int captureDepth_ = 0;              // inside an element whose text is taken
    CStringA* captureField_ = nullptr;  // null while capturing a DAV:status
    std::string captured_;              // a status, or text that may replace a filled field
    std::string* captureInto_ = nullptr;  // where the captured text goes: captured_ or the field
    // Only a DAV:multistatus lists resources: any other document (a login page in XHTML, blanks)
    // read as an empty listing would empty a calendar.
    bool rootSeen_ = false;
    bool done_ = false;
    RResult result_ = 0;
};

// Every recognised property anywhere in the text, with the status of the innermost propstat
// met (0 until its DAV:status has been read). Calls add(local, ns, status, value) for each
// property with text; the first non-zero result of add ends the parse with that result.
template <typename Add>
RResult ParsePropertiesStream(const char* xml, size_t length, Add add);

// The implementation details shared by both walks.
namespace multistatus_stream {

// The text with blanks (space, tab, CR, LF) at both ends removed, reusing its storage.
void TrimInPlace(std::string& text);
bool IsDav(std::string_view ns);
// A guess at the number of responses in a body: its "response>" closings, at most one per 128
// bytes.
size_t EstimateResponses(const char* xml, size_t length);
// libxml2's own messages go to the debugger trace, not raw to standard error (once per process).
void RouteXmlMessagesToTrace();

}  // namespace multistatus_stream

#include "dav/xml/MultistatusStream.inl"

#pragma once
// A listing of entity tags (the Depth 1 PROPFIND answer of a collection) read as its text
// arrives: each resource's record goes to a visitor as soon as its response closes, so neither
// the answer nor the whole list of records is held. The visitor must treat what it was given as
// provisional until Finish returns 0: a text that turns out not to be well-formed is no listing.
// Threads: one thread at a time.
#include "foundation/ResultCodes.h"

#include <memory>
#include <string_view>

#include "dav/xml/DavNamespaces.h"
#include "dav/xml/XmlRecords.h"
#include "platform/http/HttpClient.h"
#include "platform/string/CString.h"

namespace platform::xml {
class XmlStreamReader;
}
template <typename Record, typename Fields>
class ResourceStreamWalk;

// What a listing keeps of a resource beyond its tags: its content type, and the status of its
// first successful propstat (later ones are skipped).
struct EtagListingFields {
    static CStringA* ExtraField(std::string_view local, std::string_view ns, EtagRecord& record) {
        return local == "getcontenttype" && ns == kDavNamespace ? &record.contentType : nullptr;
    }
    static bool PropstatDone(const EtagRecord& record) { return record.status >= 200 && record.status <= 299; }
    static void NotePropstat(EtagRecord& record, int status) { record.status = status; }
};

class EtagListingVisitor {
public:
    virtual ~EtagListingVisitor() = default;
    // The answer starts again (a transfer sent again): everything given before is void.
    virtual void Restart() = 0;
    // A resource with an entity tag or a schedule tag.
    virtual void Resource(EtagRecord&& record) = 0;
    // A response with neither tag: the collection itself, or a subcollection.
    virtual void Untagged(const CStringA& href) = 0;
};

class EtagListingStream : public platform::http::BodySink {
public:
    explicit EtagListingStream(EtagListingVisitor& visitor);
    ~EtagListingStream() override;
    EtagListingStream(const EtagListingStream&) = delete;
    EtagListingStream& operator=(const EtagListingStream&) = delete;

    void Restart() override;
    void Piece(const char* data, size_t length) override;
    // After the last piece: 0 when the text was a whole multistatus; R_E_BAD_FORMAT (nothing or
    // not well-formed) or R_E_OUT_OF_MEMORY otherwise.
    [[nodiscard]] RResult Finish();

private:
    EtagListingVisitor& visitor_;
    std::unique_ptr<platform::xml::XmlStreamReader> reader_;
    std::unique_ptr<ResourceStreamWalk<EtagRecord, EtagListingFields>> walk_;
};

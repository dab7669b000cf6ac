#include "dav/xml/EtagListingStream.h"

#include "dav/xml/MultistatusStream.h"
#include "platform/xml/XmlStreamReader.h"

EtagListingStream::EtagListingStream(EtagListingVisitor& visitor) : visitor_(visitor) {}

EtagListingStream::~EtagListingStream() = default;

void EtagListingStream::Restart() {
    multistatus_stream::RouteXmlMessagesToTrace();
    reader_ = std::make_unique<platform::xml::XmlStreamReader>();
    walk_ = std::make_unique<ResourceStreamWalk<EtagRecord, EtagListingFields>>(
        [this](EtagRecord&& record) { visitor_.Resource(std::move(record)); },
        [this](const CStringA& href) { visitor_.Untagged(href); });
    visitor_.Restart();
}

void EtagListingStream::Piece(const char* data, size_t length) {
    if (!reader_) Restart();
    // A failure stays with the walk and the reader, for Finish; the rest of the text is passed over.
    reader_->Feed(data, length, false);
    static_cast<void>(walk_->Walk(*reader_));
}

RResult EtagListingStream::Finish() {
    if (!reader_) return R_E_BAD_FORMAT;
    reader_->Feed(nullptr, 0, true);
    const RResult result = walk_->Walk(*reader_);
    if (result != 0) return result;
    return walk_->Done() ? 0 : R_E_BAD_FORMAT;
}

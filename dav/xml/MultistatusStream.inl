// Template bodies of MultistatusStream.h.
#include <algorithm>
#include <new>
#include <optional>
#include <utility>

#include "dav/http/StatusLine.h"
#include "dav/xml/DavNamespaces.h"
#include "platform/xml/XmlStreamReader.h"

template <typename Record, typename Fields>
RResult ResourceStreamWalk<Record, Fields>::Walk(platform::xml::XmlStreamReader& reader) {
    using platform::xml::XmlStreamReader;
    using namespace multistatus_stream;
    if (result_ != 0 || done_) return result_;
    try {
        for (;;) {
            switch (reader.Next()) {
                case XmlStreamReader::Event::NeedMore:
                    return 0;
                case XmlStreamReader::Event::Error:
                    return result_ = R_E_BAD_FORMAT;
                case XmlStreamReader::Event::End:
                    if (!rootSeen_) return result_ = R_E_BAD_FORMAT;
                    done_ = true;
                    return 0;
                case XmlStreamReader::Event::Text:
                    if (captureDepth_ > 0) captureInto_->append(reader.Value());
                    break;
                case XmlStreamReader::Event::StartElement: {
                    if (!rootSeen_) {
                        rootSeen_ = true;
                        if (!IsDav(reader.NamespaceUri()) || reader.LocalName() != "multistatus") {
                            return result_ = R_E_BAD_FORMAT;
                        }
                    }
                    if (skipDepth_ > 0) {
                        ++skipDepth_;
                        break;
                    }
                    if (captureDepth_ > 0) {
                        ++captureDepth_;
                        break;
                    }
                    const std::string_view local = reader.LocalName();
                    const std::string_view ns = reader.NamespaceUri();
                    const bool dav = IsDav(ns);
                    if (dav && local == "status") {
                        captureDepth_ = 1;
                        captureField_ = nullptr;
                        captured_.clear();
                        captureInto_ = &captured_;
                    } else if (dav && local == "propstat") {
                        if (record_ && Fields::PropstatDone(*record_)) {
                            skipDepth_ = 1;
                        } else {
                            statuses_.push_back(0);
                            frames_.push_back(Frame::Propstat);
                        }
                    } else if (dav && local == "response" && !record_) {
                        record_.emplace();
                        frames_.push_back(Frame::Response);
                    } else {
                        CStringA* field = nullptr;
                        if (record_) {
                            if (dav && local == "href") {
                                field = &record_->href;
                            } else if (dav && local == "getetag") {
                                field = &record_->etag;
                            } else if (local == "schedule-tag" && ns == kCalDavNamespace) {
                                field = &record_->scheduleTag;
                            } else {
                                field = Fields::ExtraField(local, ns, *record_);
                            }
                        }
                        if (field != nullptr) {
                            captureDepth_ = 1;
                            captureField_ = field;
                            // An empty field takes the text straight away (an element without text
                            // leaves it empty, as it was); a filled one keeps its value until the
                            // new text turns out not to be empty.
                            if (field->IsEmpty()) {
                                captureInto_ = &field->Str();
                            } else {
                                captured_.clear();
                                captureInto_ = &captured_;
                            }
                        } else {
                            frames_.push_back(Frame::Other);
                        }
                    }
                    break;
                }
                case XmlStreamReader::Event::EndElement: {
                    if (skipDepth_ > 0) {
                        --skipDepth_;
                        break;
                    }
                    if (captureDepth_ > 0) {
                        if (--captureDepth_ > 0) break;
                        TrimInPlace(*captureInto_);
                        if (captureField_ == nullptr) {
                            statuses_.back() = ParseStatusLine(captured_);
                        } else if (captureInto_ == &captured_ && !captured_.empty()) {
                            captureField_->Str().swap(captured_);
                        }
                        captured_.clear();
                        break;
                    }
                    if (frames_.empty()) break;
                    const Frame frame = frames_.back();
                    frames_.pop_back();
                    if (frame == Frame::Propstat) {
                        const int status = statuses_.back();
                        statuses_.pop_back();
                        if (status != 0 && record_) Fields::NotePropstat(*record_, status);
                    } else if (frame == Frame::Response) {
                        if (!record_->href.IsEmpty() && (!record_->etag.IsEmpty() || !record_->scheduleTag.IsEmpty())) {
                            onRecord_(std::move(*record_));
                        } else if (onUntagged_ && !record_->href.IsEmpty()) {
                            onUntagged_(record_->href);
                        }
                        record_.reset();
                    }
                    break;
                }
            }
        }
    } catch (const std::bad_alloc&) {
        return result_ = R_E_OUT_OF_MEMORY;
    }
}

template <typename Record, typename Fields>
RResult ParseResourceStream(const char* xml, size_t length, std::vector<Record>& out, std::vector<CStringA>* untagged) {
    multistatus_stream::RouteXmlMessagesToTrace();
    platform::xml::XmlStreamReader reader(xml, length);
    // Records go straight into `out` (a second list would double the peak of a large listing);
    // a failure takes back everything this parse added.
    const size_t kept = out.size();
    const size_t untaggedKept = untagged != nullptr ? untagged->size() : 0;
    try {
        // Room for the records at once: growing a list of many thousand records would hold the
        // old and the new copy together. The guess is bounded by the body's size, and room not
        // used is never touched. A list that collects several answers grows at least twofold, so
        // that its records are not moved once per answer.
        const size_t needed = kept + multistatus_stream::EstimateResponses(xml, length);
        if (needed > out.capacity()) out.reserve(std::max(needed, 2 * out.capacity()));
    } catch (const std::bad_alloc&) {
        return R_E_OUT_OF_MEMORY;
    }
    ResourceStreamWalk<Record, Fields> walk([&out](Record&& record) { out.push_back(std::move(record)); },
                                            [untagged](const CStringA& href) {
                                                if (untagged != nullptr) untagged->push_back(href);
                                            });
    const RResult result = walk.Walk(reader);
    if (result != 0) {
        out.erase(out.begin() + static_cast<std::ptrdiff_t>(kept), out.end());
        if (untagged != nullptr) untagged->resize(untaggedKept);
    }
    return result;
}

template <typename Add>
RResult ParsePropertiesStream(const char* xml, size_t length, Add add) {
    using platform::xml::XmlStreamReader;
    using namespace multistatus_stream;
    RouteXmlMessagesToTrace();
    XmlStreamReader reader(xml, length);
    std::vector<bool> propstats;   // per open element in walk mode: is it a propstat
    std::vector<int> statuses{0};
    int captureDepth = 0;
    bool capturingStatus = false;
    std::string name, nameSpace, captured;
    bool isOwner = false, ownerHasHref = false;
    int ownerHrefDepth = 0;        // inside the owner's first DAV:href child
    std::string ownerHref;
    struct Found {
        std::string name, nameSpace;
        int status;
        std::string value;
    };
    std::vector<Found> found;
    try {
        for (;;) {
            switch (reader.Next()) {
                case XmlStreamReader::Event::Error:
                case XmlStreamReader::Event::NeedMore:  // not given by a reader over held text
                    return R_E_BAD_FORMAT;
                case XmlStreamReader::Event::End:
                    for (const auto& f : found) {
                        const RResult result = add(f.name.c_str(), f.nameSpace.c_str(), f.status, f.value.c_str());
                        if (result != 0) return result;
                    }
                    return 0;
                case XmlStreamReader::Event::Text:
                    if (captureDepth > 0) captured += reader.Value();
                    if (ownerHrefDepth > 0) ownerHref += reader.Value();
                    break;
                case XmlStreamReader::Event::StartElement: {
                    const std::string_view local = reader.LocalName();
                    const std::string_view ns = reader.NamespaceUri();
                    if (captureDepth > 0) {
                        if (ownerHrefDepth > 0) {
                            ++ownerHrefDepth;
                        } else if (isOwner && !ownerHasHref && captureDepth == 1 && IsDav(ns) && local == "href") {
                            ownerHasHref = true;
                            ownerHrefDepth = 1;
                        }
                        ++captureDepth;
                        break;
                    }
                    const bool dav = IsDav(ns);
                    if (dav && local == "status") {
                        captureDepth = 1;
                        capturingStatus = true;
                        captured.clear();
                        break;
                    }
                    const bool recognised = ((dav || ns == kCalendarServerNamespace) && local == "getctag") ||
                                            (dav && (local == "sync-token" || local == "privilege" || local == "displayname" ||
                                                     local == "owner" || local == "href")) ||
                                            (ns == kAppleICalNamespace && (local == "calendar-order" || local == "calendar-color"));
                    if (recognised) {
                        captureDepth = 1;
                        capturingStatus = false;
                        name.assign(local);
                        nameSpace.assign(ns);
                        isOwner = dav && local == "owner";
                        ownerHasHref = false;
                        ownerHref.clear();
                        captured.clear();
                        break;
                    }
                    const bool propstat = dav && local == "propstat";
                    if (propstat) statuses.push_back(0);
                    propstats.push_back(propstat);
                    break;
                }
                case XmlStreamReader::Event::EndElement: {
                    if (captureDepth > 0) {
                        if (ownerHrefDepth > 0) --ownerHrefDepth;
                        if (--captureDepth > 0) break;
                        std::string& value = ownerHasHref ? ownerHref : captured;
                        TrimInPlace(value);
                        if (capturingStatus) {
                            statuses.back() = ParseStatusLine(value);
                        } else if (!value.empty()) {
                            found.push_back(Found{name, nameSpace, statuses.back(), std::move(value)});
                        }
                        captured.clear();
                        ownerHref.clear();
                        isOwner = ownerHasHref = false;
                        break;
                    }
                    if (propstats.empty()) break;
                    if (propstats.back()) statuses.pop_back();
                    propstats.pop_back();
                    break;
                }
            }
        }
    } catch (const std::bad_alloc&) {
        return R_E_OUT_OF_MEMORY;
    }
}

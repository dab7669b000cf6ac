// Template bodies of MultistatusStream.h.
#include <new>
#include <optional>
#include <utility>

#include "dav/http/StatusLine.h"
#include "dav/xml/DavNamespaces.h"
#include "platform/xml/XmlStreamReader.h"

template <typename Record, typename Fields>
RResult ParseResourceStream(const char* xml, size_t length, std::vector<Record>& out, std::vector<CStringA>* untagged) {
    using platform::xml::XmlStreamReader;
    using namespace multistatus_stream;
    enum class Frame { Other, Propstat, Response };
    RouteXmlMessagesToTrace();
    XmlStreamReader reader(xml, length);
    // Records go straight into `out` (a second list would double the peak of a large listing);
    // a failure takes back everything this parse added.
    const size_t kept = out.size();
    // Room for the records at once: growing a list of many thousand records would hold the old
    // and the new copy together. The guess is bounded by the body's size, and room not used is
    // never touched.
    out.reserve(kept + EstimateResponses(xml, length));
    auto fail = [&](RResult result) {
        out.erase(out.begin() + static_cast<std::ptrdiff_t>(kept), out.end());
        return result;
    };
    std::vector<Frame> frames;
    std::vector<int> statuses{0};  // the status variable of each open propstat, the document's first
    std::optional<Record> record;
    int skipDepth = 0;             // inside a propstat that is passed over
    int captureDepth = 0;          // inside an element whose text is taken
    CStringA* captureField = nullptr;  // null while capturing a DAV:status
    std::string captured;
    // Only a DAV:multistatus lists resources: any other document (a login page in XHTML, blanks)
    // read as an empty listing would empty a calendar.
    bool rootSeen = false;
    try {
        for (;;) {
            switch (reader.Next()) {
                case XmlStreamReader::Event::Error:
                    return fail(R_E_BAD_FORMAT);
                case XmlStreamReader::Event::End:
                    if (!rootSeen) return fail(R_E_BAD_FORMAT);
                    return 0;
                case XmlStreamReader::Event::Text:
                    if (captureDepth > 0) captured += reader.Value();
                    break;
                case XmlStreamReader::Event::StartElement: {
                    if (!rootSeen) {
                        rootSeen = true;
                        if (!IsDav(reader.NamespaceUri()) || reader.LocalName() != "multistatus") {
                            return fail(R_E_BAD_FORMAT);
                        }
                    }
                    if (skipDepth > 0) {
                        ++skipDepth;
                        break;
                    }
                    if (captureDepth > 0) {
                        ++captureDepth;
                        break;
                    }
                    const std::string_view local = reader.LocalName();
                    const bool dav = IsDav(reader.NamespaceUri());
                    if (dav && local == "status") {
                        captureDepth = 1;
                        captureField = nullptr;
                        captured.clear();
                    } else if (dav && local == "propstat") {
                        if (record && Fields::PropstatDone(*record)) {
                            skipDepth = 1;
                        } else {
                            statuses.push_back(0);
                            frames.push_back(Frame::Propstat);
                        }
                    } else if (dav && local == "response" && !record) {
                        record.emplace();
                        frames.push_back(Frame::Response);
                    } else {
                        CStringA* field = nullptr;
                        if (record) {
                            if (dav && local == "href") {
                                field = &record->href;
                            } else if (dav && local == "getetag") {
                                field = &record->etag;
                            } else if (local == "schedule-tag" && reader.NamespaceUri() == kCalDavNamespace) {
                                field = &record->scheduleTag;
                            } else {
                                field = Fields::ExtraField(local, reader.NamespaceUri(), *record);
                            }
                        }
                        if (field != nullptr) {
                            captureDepth = 1;
                            captureField = field;
                            captured.clear();
                        } else {
                            frames.push_back(Frame::Other);
                        }
                    }
                    break;
                }
                case XmlStreamReader::Event::EndElement: {
                    if (skipDepth > 0) {
                        --skipDepth;
                        break;
                    }
                    if (captureDepth > 0) {
                        if (--captureDepth > 0) break;
                        TrimInPlace(captured);
                        if (captureField == nullptr) {
                            statuses.back() = ParseStatusLine(captured);
                        } else if (!captured.empty()) {
                            *captureField = CStringA(std::move(captured));
                        }
                        captured.clear();
                        break;
                    }
                    if (frames.empty()) break;
                    const Frame frame = frames.back();
                    frames.pop_back();
                    if (frame == Frame::Propstat) {
                        const int status = statuses.back();
                        statuses.pop_back();
                        if (status != 0 && record) Fields::NotePropstat(*record, status);
                    } else if (frame == Frame::Response) {
                        if (!record->href.IsEmpty() && (!record->etag.IsEmpty() || !record->scheduleTag.IsEmpty())) {
                            out.push_back(std::move(*record));
                        } else if (untagged != nullptr && !record->href.IsEmpty()) {
                            untagged->push_back(record->href);
                        }
                        record.reset();
                    }
                    break;
                }
            }
        }
    } catch (const std::bad_alloc&) {
        return fail(R_E_OUT_OF_MEMORY);
    }
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

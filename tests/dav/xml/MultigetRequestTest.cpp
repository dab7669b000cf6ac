#include "foundation/ResultCodes.h"

#include <gtest/gtest.h>

#include <string>

#include "dav/xml/RXmlRequest.h"

namespace {

constexpr char kHead[] =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?> <x1:calendar-multiget xmlns:x0=\"DAV:\" "
    "xmlns:x1=\"urn:ietf:params:xml:ns:caldav\">   <x0:prop>     <x0:getetag/>     <x1:schedule-tag/> \t"
    "<x1:calendar-data/>   </x0:prop> ";

int CountHrefs(const CStringA& body) {
    int n = 0;
    for (int pos = body.Find("<x0:href>"); pos >= 0; pos = body.Find("<x0:href>", pos + 1)) ++n;
    return n;
}

}  // namespace

TEST(MultigetRequest, BuildsTheExactBodyAndEscapesHrefs) {
    auto* request = new RXmlMultigetRequest();
    CStringA body;
    request->BuildBody(body, "caldav");
    EXPECT_EQ(body, std::string(kHead) + "</x1:calendar-multiget>");

    request->AddHref("/cal/a.ics");
    request->AddHref("/cal/R&D <1>.ics");
    request->BuildBody(body, "caldav");
    EXPECT_EQ(body, std::string(kHead) + "  <x0:href>/cal/a.ics</x0:href>  <x0:href>/cal/R&amp;D &lt;1&gt;.ics</x0:href>" +
                        "</x1:calendar-multiget>");
    request->BuildBody(body, "carddav");
    EXPECT_EQ(body.Find("<x1:addressbook-multiget xmlns:x0=\"DAV:\" xmlns:x1=\"urn:ietf:params:xml:ns:carddav\">"), 39);
    EXPECT_GE(body.Find("<x1:address-data/>"), 0);
    EXPECT_GE(body.Find("</x1:addressbook-multiget>"), 0);
    request->Release();
}

TEST(MultigetRequest, SendsHrefsInBatchesOfFiftyInTheOrderAdded) {
    auto* request = new RXmlMultigetRequest();
    for (int i = 0; i < 120; ++i) request->AddHref(("/c/" + std::to_string(i) + ".ics").c_str());
    std::vector<int> batches;
    CStringA body;
    for (int round = 0; round < 5 && request->GetCount() > 0; ++round) {
        request->BuildBody(body, "caldav");
        batches.push_back(CountHrefs(body));
        if (round == 2) {
            EXPECT_GE(body.Find("<x0:href>/c/100.ics</x0:href>  <x0:href>/c/101.ics"), 0);
        }
        request->RemoveSent();
    }
    EXPECT_EQ(batches, (std::vector<int>{50, 50, 20}));
    request->AddHref("/x");
    request->AddHref("/y");
    request->Clear();
    EXPECT_EQ(request->GetCount(), 0);
    request->Release();
}

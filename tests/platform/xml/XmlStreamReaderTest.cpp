// The forward-only XML reader: events in document order, empty elements, namespaces, errors
// after good content, and libxml2's messages kept off standard error.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/xml/XmlMessages.h"
#include "platform/xml/XmlStreamReader.h"

using platform::xml::XmlStreamReader;
using Event = XmlStreamReader::Event;

namespace {

// "<name" / "</name" / text / "END" / "ERROR" for each event.
std::vector<std::string> Events(const std::string& text) {
    XmlStreamReader reader(text.data(), text.size());
    std::vector<std::string> out;
    for (;;) {
        switch (reader.Next()) {
            case Event::StartElement: out.push_back("<" + std::string(reader.LocalName()) + "@" + std::string(reader.NamespaceUri())); break;
            case Event::EndElement: out.push_back("</" + std::string(reader.LocalName())); break;
            case Event::Text: out.push_back(std::string(reader.Value())); break;
            case Event::End: out.push_back("END"); return out;
            case Event::Error: out.push_back("ERROR"); return out;
            case Event::NeedMore: out.push_back("MORE"); return out;  // only a fed reader asks
        }
    }
}

std::vector<std::string> g_lines;
void Record(const char* line) { g_lines.emplace_back(line); }

}  // namespace

TEST(XmlStreamReader, GivesElementsAndTextInDocumentOrder) {
    const auto events = Events("<?xml version=\"1.0\"?><d:a xmlns:d=\"DAV:\"><!-- c --><d:b/><c x=\"1\">t<![CDATA[<u>]]></c></d:a>");
    const std::vector<std::string> expected = {"<a@DAV:", "<b@DAV:", "</b", "<c@", "t<u>", "</c", "</a", "END"};
    EXPECT_EQ(events, expected);
}

TEST(XmlStreamReader, BlankOrBrokenTextIsAnErrorEvenAfterGoodElements) {
    EXPECT_EQ(Events("   \n").back(), "ERROR");
    EXPECT_EQ(Events("").back(), "ERROR");
    EXPECT_EQ(Events("<a><b>x</b><b>y</b><b>z").back(), "ERROR");
    // A long text breaks off after many good elements: they were read as they came, and the
    // error still ends the reading.
    std::string longText = "<a>";
    for (int i = 0; i < 20000; ++i) longText += "<b>x</b>";
    const auto cut = Events(longText + "<b>z");
    EXPECT_EQ(cut.back(), "ERROR");
    EXPECT_EQ(cut.front(), "<a@");
    EXPECT_EQ(Events("<a>&undeclared;</a>").back(), "ERROR");
    EXPECT_EQ(Events("<a/><b/>").back(), "ERROR");
}

TEST(XmlMessages, ABodyInTheWrongEncodingReachesTheSinkAndNotStandardError) {
    g_lines.clear();
    const auto previous = platform::xml::SetXmlMessageSink(&Record);
    char path[] = "/tmp/orvane-stderr-XXXXXX";
    const int file = ::mkstemp(path);
    ASSERT_GE(file, 0);
    std::fflush(stderr);
    const int saved = ::dup(2);
    ::dup2(file, 2);
    const std::string body = "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><a>\x82\xff\xff\x82</a>";
    const auto events = Events(body);
    std::fflush(stderr);
    ::dup2(saved, 2);
    ::close(saved);
    const off_t written = ::lseek(file, 0, SEEK_END);
    ::close(file);
    ::unlink(path);
    platform::xml::SetXmlMessageSink(previous);
    EXPECT_EQ(events.back(), "ERROR");
    EXPECT_EQ(written, 0);
    bool conversion = false;
    for (const auto& line : g_lines) conversion = conversion || line.find("input conversion failed") != std::string::npos;
    EXPECT_TRUE(conversion);
}

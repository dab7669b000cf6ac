// The XML document layer: namespaces, element-only walks, trimmed texts and unsafe input.
#include <gtest/gtest.h>

#include <string>

#include "platform/xml/XmlDocument.h"

using platform::xml::XmlDocument;
using platform::xml::XmlNode;

namespace {
std::unique_ptr<XmlDocument> Load(const std::string& text) { return XmlDocument::Parse(text.data(), text.size()); }
}  // namespace

TEST(XmlDocument, WalksElementsWithTheirNamespacesAndTrimmedText) {
    const auto doc = Load(
        "<?xml version=\"1.0\"?>\n<d:multistatus xmlns:d=\"DAV:\" xmlns=\"urn:x\">\n  <!-- c -->\n"
        "  <d:response>\n    <d:href>\n      /cal/a.ics\n    </d:href>\n    <item>v<b>w</b></item>\n  </d:response>\n"
        "</d:multistatus>");
    ASSERT_TRUE(doc);
    const XmlNode root = doc->Root();
    EXPECT_TRUE(root.Is("multistatus", "DAV:"));
    const XmlNode response = root.FirstChild();
    EXPECT_TRUE(response.Is("response", "DAV:"));
    EXPECT_FALSE(response.NextSibling());
    const XmlNode href = response.FirstChild();
    EXPECT_EQ(href.Text(), "/cal/a.ics");
    const XmlNode item = href.NextSibling();
    EXPECT_TRUE(item.Is("item", "urn:x"));  // default namespace inherited
    EXPECT_EQ(item.Text(), "vw");
    EXPECT_EQ(root.FindDescendant("b", "urn:x").Text(), "w");
    EXPECT_FALSE(root.FindDescendant("b", "DAV:"));
    EXPECT_TRUE(response.FindChild("item", "urn:x"));
    EXPECT_EQ(item.FirstChild().Markup(), "<b>w</b>");
}

TEST(XmlDocument, RejectsWhatIsNotWellFormed) {
    EXPECT_FALSE(Load("<html><body>Please log in<br></body></html>"));
    EXPECT_FALSE(Load(""));
    EXPECT_FALSE(Load("   \n"));
    EXPECT_FALSE(Load("<a><b></a>"));
    EXPECT_FALSE(XmlDocument::Parse(nullptr, 0));
    EXPECT_TRUE(platform::xml::IsBlankText(" \r\n\t", 4));
    EXPECT_FALSE(platform::xml::IsBlankText(" x", 2));
}

TEST(XmlDocument, NeitherLoadsExternalEntitiesNorExpandsThem) {
    const auto doc = Load(
        "<?xml version=\"1.0\"?><!DOCTYPE d [<!ENTITY e SYSTEM \"file:///etc/hostname\">"
        "<!ENTITY big \"xxxxxxxxxxxxxxxxxxxx\">]><d>&e;&big;</d>");
    if (doc) {
        const std::string text = doc->Root().Text();
        EXPECT_EQ(text.find("xxxxxxxx"), std::string::npos);
        EXPECT_LT(text.size(), 4u);
    }
}

#include "tarvane/store/xml_document.h"

#include <string>

#include <gtest/gtest.h>

#include "tarvane/store/xml_entities.h"

namespace tarvane {
namespace {

// The index of an edited document must equal the one a fresh parse of its text builds.
void ExpectIndexMatchesText(const XmlDocument& doc) {
    XmlDocument fresh;
    fresh.SetText(doc.Text());
    EXPECT_EQ(doc.IndexOutline(), fresh.IndexOutline()) << doc.Text();
    EXPECT_EQ(doc.IsWellFormed(), fresh.IsWellFormed()) << doc.Text();
}

// The document holds `text`, and its index is the one a fresh parse builds.
void ExpectText(const XmlDocument& doc, const std::string& text) {
    EXPECT_EQ(doc.Text(), text);
    ExpectIndexMatchesText(doc);
}

// Loads a text and steps into its root.
void EnterRoot(XmlDocument& doc, const std::string& text) {
    doc.SetText(text);
    ASSERT_TRUE(doc.FindElement());
    ASSERT_TRUE(doc.EnterElement());
}

TEST(XmlDocumentEdit, AppendAndInsertProduceItemLines) {
    XmlDocument doc;
    EnterRoot(doc, "<list/>");
    ASSERT_TRUE(doc.AppendElement("item"));
    ASSERT_TRUE(doc.AppendElement("item"));
    ExpectText(doc, "<list>\r\n<item/>\r\n<item/>\r\n</list>");

    // A root written with white space inside and one already present: the new element takes
    // the place before the first one and a line of its own.
    EnterRoot(doc, "<?xml version=\"1.0\"?>\r\n<list>\r\n<item a=\"1\"/>\r\n</list>\r\n");
    ASSERT_TRUE(doc.InsertElement("item", "x<y&z"));
    ExpectText(doc, "<?xml version=\"1.0\"?>\r\n<list>\r\n<item>x&lt;y&amp;z</item>\r\n<item a=\"1\"/>\r\n</list>\r\n");

    // Nested: entering the new element and appending into it.
    EnterRoot(doc, "<r>\r\n<a/>\r\n</r>");
    ASSERT_TRUE(doc.FindElement("a"));
    ASSERT_TRUE(doc.EnterElement());
    ASSERT_TRUE(doc.AppendElement("b", "t"));
    ExpectText(doc, "<r>\r\n<a>\r\n<b>t</b>\r\n</a>\r\n</r>");
}

TEST(XmlDocumentEdit, RemoveTakesTheLineAndResetsThePosition) {
    XmlDocument doc;
    EnterRoot(doc, "<list>\r\n<item a=\"1\"/>\r\n</list>");
    ASSERT_TRUE(doc.FindElement("item"));
    ASSERT_TRUE(doc.RemoveElement());
    ExpectText(doc, "<list>\r\n</list>");

    EnterRoot(doc, "<list>\r\n<item a=\"1\"><x/></item>\r\n<item a=\"2\"/>\r\n<item a=\"3\"/>\r\n</list>");
    ASSERT_TRUE(doc.FindElement("item"));
    ASSERT_TRUE(doc.RemoveElement());
    // First child removed: no current element, so the walk starts again at the first child.
    ASSERT_TRUE(doc.FindElement("item"));
    EXPECT_EQ(doc.GetAttribute("a"), "2");
    ASSERT_TRUE(doc.FindElement("item"));
    ASSERT_TRUE(doc.RemoveElement());
    // Not the first: the previous sibling becomes current.
    EXPECT_EQ(doc.GetAttribute("a"), "2");
    ExpectText(doc, "<list>\r\n<item a=\"2\"/>\r\n</list>");
}

TEST(XmlDocumentEdit, SetAttributeRewritesInPlaceOrAppends) {
    XmlDocument doc;
    EnterRoot(doc, "<r>\r\n<i a='old' b=\"2\"/>\r\n<i a=\"next\"/>\r\n</r>");
    ASSERT_TRUE(doc.FindElement("i"));
    ASSERT_TRUE(doc.SetAttribute("a", "n&w"));
    ASSERT_TRUE(doc.SetAttribute("c", -42));
    ExpectText(doc, "<r>\r\n<i a=\"n&amp;w\" b=\"2\" c=\"-42\"/>\r\n<i a=\"next\"/>\r\n</r>");

    // Every character that needs it is escaped and read back unchanged, double-byte ones kept.
    const std::string value = "a\"b'c<d>e&f \xD6\xD0\xCE\xC4\t";
    ASSERT_TRUE(doc.SetAttribute("v", value));
    EXPECT_NE(doc.Text().find("v=\"a&quot;b&apos;c&lt;d&gt;e&amp;f \xD6\xD0\xCE\xC4&#9;\""), std::string::npos);
    EXPECT_EQ(doc.GetAttribute("v"), value);

    // A value ending in a lead byte without its trail would swallow the closing quote; a control
    // character would make the file no XML to other readers.
    ASSERT_TRUE(doc.SetAttribute("e", "\x01x\xD6"));
    EXPECT_EQ(doc.GetAttribute("e"), "?x?");
    ExpectIndexMatchesText(doc);

    // Names the tag could not hold are refused.
    EXPECT_FALSE(doc.SetAttribute("a b", "1"));
    EXPECT_FALSE(doc.AppendElement("a/b"));

    // Without a current element nothing changes.
    doc.SetText("<r a=\"1\"/>");
    EXPECT_FALSE(doc.SetAttribute("a", "2"));
    EXPECT_FALSE(doc.RemoveElement());
    // A second top-level element would break the document.
    EXPECT_FALSE(doc.AppendElement("s"));
    EXPECT_EQ(doc.Text(), "<r a=\"1\"/>");

    // An empty document can be given its root.
    EXPECT_FALSE(doc.SetText());
    ASSERT_TRUE(doc.AppendElement("list"));
    ExpectText(doc, "<list/>\r\n");
}

TEST(XmlDocumentParse, FailuresAreReportedInTheLog) {
    struct Case {
        std::string text;
        std::string log;
    };
    const Case cases[] = {
        {"\r\n", "<no_root_element/>"},
        {"<a/><b/>", "<root_has_sibling/>"},
        {"<r><a></r>", "<unended_start_tag tagname=\"a\" offset=\"3\"/>"},
        {"<r><!-x--></r>", "<comment_tag_syntax offset=\"3\"/>"},
        {"<r><!-- open",
         "<unterminated_tag_syntax type=\"comment\" offset=\"3\"/>"
         "<unended_start_tag tagname=\"r\" offset=\"0\"/>"},
        {"<r a=\"1\xD6", "<unterminated_tag_syntax type=\"start_tag\" offset=\"0\"/><no_root_element/>"},
    };
    for (const Case& c : cases) {
        XmlDocument doc;
        EXPECT_FALSE(doc.SetText(c.text)) << c.text;
        EXPECT_EQ(doc.LogText(), c.log) << c.text;
    }

    XmlDocument doc;
    // Children of an unended element become its following siblings.
    doc.SetText("<r><a><b/><c/></r>");
    ASSERT_TRUE(doc.FindElement());
    ASSERT_TRUE(doc.EnterElement());
    std::string names;
    while (doc.FindElement()) {
        names += doc.ElementName(doc.CurrentElement());
    }
    EXPECT_EQ(names, "abc");

    // A '>' inside a quoted value, comments, CDATA and a document type with an internal subset
    // are all passed over.
    EXPECT_TRUE(doc.SetText(
        "<!DOCTYPE r [<!ENTITY e \"a>b\"><!-- c -->]>\r\n<r a=\"x>y\"><!-- <b> --><![CDATA[<c>]]><?pi <d>?></r>"));
    ASSERT_TRUE(doc.FindElement("r"));
    EXPECT_EQ(doc.GetAttribute("a"), "x>y");
    ASSERT_TRUE(doc.EnterElement());
    EXPECT_FALSE(doc.FindElement());
}

TEST(XmlDocumentParse, TrailBytesAreNeverDelimitersAndLoneLeadBytesSwallowNone) {
    XmlDocument doc;
    // Names of double-byte characters whose trail bytes are '\\' and ']'; a trail byte is never '"',
    // '<', '>' or '/', so a lead byte before one of those stands alone.
    const std::string name = "\xB0\x5C\x81]";
    ASSERT_TRUE(doc.SetText("<r><" + name + " a=\"\xB0\"/><![CDATA[\x81]]>]]></r>"));
    ASSERT_TRUE(doc.FindElement());
    ASSERT_TRUE(doc.EnterElement());
    ASSERT_TRUE(doc.FindElement(name));
    EXPECT_EQ(doc.GetAttribute("a"), "\xB0");
    ASSERT_TRUE(doc.SetAttribute("a", "\xB0\"y\xB0"));
    EXPECT_EQ(doc.GetAttribute("a"), "?\"y?");
    ExpectIndexMatchesText(doc);
    ASSERT_TRUE(doc.AppendElement(name, "\xB0<"));
    EXPECT_NE(doc.Text().find("<" + name + ">?&lt;</" + name + ">"), std::string::npos);
    ExpectIndexMatchesText(doc);
}

TEST(XmlDocumentParse, OverlongTagsAndTextFailCleanly) {
    XmlDocument doc;
    const std::string longName(1100, 'n');
    EXPECT_FALSE(doc.SetText("<r><" + longName + "></" + longName + "></r>"));
    EXPECT_NE(doc.LogText().find("<tag_too_long offset=\"1105\"/>"), std::string::npos) << doc.LogText();

    // A start tag must fit its 22-bit length field, also after an edit.
    EnterRoot(doc, "<r><a/></r>");
    ASSERT_TRUE(doc.FindElement("a"));
    EXPECT_FALSE(doc.SetAttribute("v", std::string(1u << 22, 'x')));
    EXPECT_EQ(doc.Text(), "<r><a/></r>");

    // A text over the length limit is refused whole, and so is an edit that would grow past it.
    XmlDocument small(32);
    EXPECT_FALSE(small.SetText("<r>" + std::string(40, 'x') + "</r>"));
    EXPECT_EQ(small.LogText(), "<text_too_long length=\"47\"/>");
    EnterRoot(small, "<r>\r\n<a/>\r\n</r>");
    ASSERT_TRUE(small.FindElement("a"));
    EXPECT_FALSE(small.AppendElement("b", std::string(20, 'x')));
    EXPECT_EQ(small.Text(), "<r>\r\n<a/>\r\n</r>");
}

// Past 65536 records the index takes a second block; an early edit moves elements in both.
TEST(XmlDocumentIndex, LargeDocumentSpansBlocks) {
    std::string text = "<list>\r\n";
    for (int i = 0; i < 70000; ++i) {
        text += "<item n=\"" + std::to_string(i) + "\"/>\r\n";
    }
    XmlDocument doc;
    EnterRoot(doc, text + "</list>\r\n");
    ASSERT_TRUE(doc.FindElement("item"));
    ASSERT_TRUE(doc.SetAttribute("flag", "3"));
    while (doc.FindElement("item")) {
    }
    EXPECT_EQ(doc.GetAttribute("n"), "69999");
    ASSERT_TRUE(doc.AppendElement("item"));
    ExpectIndexMatchesText(doc);
}

TEST(XmlEntities, ReferencesDecodeToCodePage936) {
    const std::pair<std::string, std::string> cases[] = {
        // U+4E2D in decimal and hexadecimal: its two bytes in code page 936.
        {"&#20013;&#x4E2D;", "\xD6\xD0\xD6\xD0"},
        // Outside the basic plane, or unknown, or cut short, or too long: left as written.
        {"&#x1F600;", "&#x1F600;"},
        {"&bogus; &amp &#; &#0; &#xZZ;", "&bogus; &amp &#; &#0; &#xZZ;"},
        // A character code page 936 lacks stays a reference.
        {"&Prime;&prime;&Dagger;&hearts;&APOS;", "\xA1\xE4\xA1\xE4&Dagger;&hearts;'"},
        // '&' and '<' are never trail bytes.
        {"x\x81&amp;\x81\x81&lt", "x\x81&\x81\x81&lt"},
    };
    for (const auto& [text, decoded] : cases) {
        EXPECT_EQ(DecodeXmlReferences(text), decoded) << text;
    }
}

}  // namespace
}  // namespace tarvane

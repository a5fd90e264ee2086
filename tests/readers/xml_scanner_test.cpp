// The pull scanner of the package reader: the tokens it hands out for well-formed parts, where it
// stops on broken ones and with which code, token ranges, and decoded references and escapes.
#include <gtest/gtest.h>

#include "readers/xml_scanner.h"

namespace tabsmith {
namespace {

// The tokens of a text as one line: <name a=v> for starts, </name> for ends, [text] for texts.
// With `take`, an element <c> whose content the scanner takes whole shows as {text}.
std::string walk(std::string_view text, int *error = nullptr, bool take = false) {
    XmlScanner scanner(text);
    std::string out;
    for (XmlToken token; (token = scanner.next()) != XmlToken::kEndOfInput;) {
        std::string_view taken;
        if (take && token == XmlToken::kStart && !scanner.self_closing() && scanner.local_name() == "c" &&
            scanner.take_text_child("v", taken)) {
            out += "{" + std::string(taken) + "}";
        } else if (token == XmlToken::kStart) {
            out += "<" + std::string(scanner.name());
            for (const XmlAttribute &attribute : scanner.attributes())
                out += " " + std::string(attribute.name) + "=" + std::string(attribute.value);
            out += scanner.self_closing() ? "/>" : ">";
        } else if (token == XmlToken::kEnd) {
            out += "</" + std::string(scanner.name()) + ">";
        } else {
            out += "[" + std::string(scanner.text()) + (scanner.cdata() ? "|cdata" : "") + "]";
        }
    }
    if (error) *error = scanner.error();
    return out;
}

TEST(XmlScanner, WellFormedParts) {
    const std::pair<const char *, const char *> cases[] = {
        {"<?xml version=\"1.0\"?>\n<a x='1' y = \"2\"><b/>t</a>", "[\n]<a x=1 y=2><b/></b>[t]</a>"},
        {"\xEF\xBB\xBF<a><!-- <b> --><![CDATA[<raw>]]></a>", "<a>[<raw>|cdata]</a>"},
        {"<x:a xmlns:x=\"u\"><x:b v=\"a>b\"/></x:a>", "<x:a xmlns:x=u><x:b v=a>b/></x:b></x:a>"},
        {"<a>&lt;&#65;</a>", "<a>[&lt;&#65;]</a>"},
    };
    for (const auto &[text, tokens] : cases) {
        int error = 99;
        EXPECT_EQ(walk(text, &error), tokens) << text;
        EXPECT_EQ(error, kOk) << text;
    }
}

// A cell's content is taken whole only in its plain form; every other form, and every broken
// one, is scanned token by token as before, with the same faults.
TEST(XmlScanner, PlainCellContentIsTakenWhole) {
    std::string deep;
    for (int k = 0; k < 99; ++k) deep += "<d>";
    const struct {
        std::string text;
        const char *tokens;
        int error;
    } cases[] = {
        {"<r><c s=\"1\"><v>12</v></c><c/><c><v>a&amp;b</v></c></r>", "<r>{12}<c/></c>{a&amp;b}</r>", kOk},
        {"<c><v></v></c>", "<c><v></v></c>", kOk},
        {"<x:c><x:v>1</x:v></x:c>", "<x:c><x:v>[1]</x:v></x:c>", kOk},
        {"<c><v>1</v ></c>", "<c><v>[1]</v></c>", kOk},
        {"<c> <v>1</v></c>", "<c>[ ]<v>[1]</v></c>", kOk},
        {"<c><v>1</v><f>x</f></c>", "<c><v>[1]</v><f>[x]</f></c>", kOk},
        {"<c><v>1</v></d>", "<c><v>[1]</v>", kFail},
        {"<c><v>1</v></c", "<c><v>[1]</v>", kFail},
        {deep + "<c><v>1</v></c>", nullptr, kLimit},
    };
    for (const auto &c : cases) {
        int error = 99;
        const std::string tokens = walk(c.text, &error, true);
        if (c.tokens) {
            EXPECT_EQ(tokens, c.tokens) << c.text;
        }
        EXPECT_EQ(error, c.error) << c.text.substr(0, 40);
    }
}

// Broken parts stop with their code; a hundred levels of nesting are allowed, not 101.
TEST(XmlScanner, BrokenPartsStopWithTheirCode) {
    auto nested = [](int levels) {
        std::string open, close;
        for (int k = 0; k < levels; ++k) open += "<d>", close += "</d>";
        return open + close;
    };
    const struct {
        std::string text;
        int error;
    } cases[] = {
        {"<a><b></a>", kFail}, {"</a>", kFail}, {"<a>", kFail}, {"<a x=1/>", kFail}, {"<a x=\"1/>", kFail},
        {"<!DOCTYPE a [<!ENTITY e \"x\">]><a/>", kFail}, {"<a><!-- unclosed", kFail},
        {"<" + std::string(81, 'n') + "/>", kLimit}, {"<a " + std::string(81, 'n') + "=\"1\"/>", kLimit},
        {nested(101), kLimit}, {nested(100), kOk},
    };
    for (const auto &c : cases) {
        int error = 99;
        walk(c.text, &error);
        EXPECT_EQ(error, c.error) << c.text.substr(0, 40);
    }
}

TEST(XmlScanner, DecodingReferencesAndEscapes) {
    const std::pair<const char *, const char *> cases[] = {
        {"plain", "plain"}, {"a &amp; b &lt;&gt; &quot;&apos;", "a & b <> \"'"}, {"&#x41;&#66;&#x3042;", "AB\xE3\x81\x82"},
        {"one_x000D_two", "one\rtwo"}, {"_x005F_x000D_", "_x000D_"}, {"cr\r\nlf\rend", "cr\nlf\nend"}, {"&unknown;", "&unknown;"},
    };
    for (const auto &[raw, plain] : cases) {
        std::string out;
        xml_decode_append(out, raw);
        EXPECT_EQ(out, plain) << raw;
    }
}

}  // namespace
}  // namespace tabsmith

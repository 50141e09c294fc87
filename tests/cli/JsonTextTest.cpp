// The tool's JSON strings: what must be escaped is, and nothing else is touched.
#include "cli/JsonText.h"

#include <gtest/gtest.h>

namespace
{
    juce::String fromBytes (const std::string& bytes)
    {
        // Straight from the bytes, as JUCE keeps a file name that is not UTF-8.
        return juce::String (juce::CharPointer_UTF8 (bytes.data()), juce::CharPointer_UTF8 (bytes.data() + bytes.size()));
    }
}

TEST (JsonText, QuotesEscapingOnlyWhatJsonRequires)
{
    struct Case { std::string text, expected; };
    const Case cases[] = {
        { "",                          "\"\"" },
        { "clip.MOV",                  "\"clip.MOV\"" },
        { "a\"b\\c/d",                 "\"a\\\"b\\\\c/d\"" },
        { "\b\f\n\r\t",                "\"\\b\\f\\n\\r\\t\"" },
        { "\x01\x07\x1f\x7f",          "\"\\u0001\\u0007\\u001f\\u007f\"" },
        { "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x8e\xac", "\"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x8e\xac\"" },
        { "bad\xff" "byte",            "\"bad\\ufffdbyte\"" },
        { "cut \xe2\x82",              "\"cut \\ufffd\\ufffd\"" },
        { "overlong \xc0\xaf",         "\"overlong \\ufffd\\ufffd\"" },
        { "surrogate \xed\xa0\x80",    "\"surrogate \\ufffd\\ufffd\\ufffd\"" },
    };

    for (const auto& c : cases)
        EXPECT_EQ (JsonText::quoted (fromBytes (c.text)).toStdString(), c.expected) << c.text;
}

#include "cli/JsonText.h"

#include <cstring>

namespace
{
    // The length of the valid UTF-8 sequence at bytes[0], or 0 when it is not one.
    size_t validSequenceLength (const juce::uint8* bytes, size_t available)
    {
        auto lead = bytes[0];
        size_t length = 0;
        juce::uint32 codePoint = 0, smallest = 0;

        if (lead < 0x80)       return 1;
        if (lead >= 0xc2 && lead <= 0xdf)       { length = 2; codePoint = lead & 0x1fu; smallest = 0x80; }
        else if (lead >= 0xe0 && lead <= 0xef)  { length = 3; codePoint = lead & 0x0fu; smallest = 0x800; }
        else if (lead >= 0xf0 && lead <= 0xf4)  { length = 4; codePoint = lead & 0x07u; smallest = 0x10000; }
        else                   return 0;

        if (length > available)
            return 0;

        for (size_t i = 1; i < length; ++i)
        {
            if ((bytes[i] & 0xc0) != 0x80)
                return 0;

            codePoint = (codePoint << 6) | (bytes[i] & 0x3fu);
        }

        if (codePoint < smallest || codePoint > 0x10ffff || (codePoint >= 0xd800 && codePoint <= 0xdfff))
            return 0;

        return length;
    }
}

juce::String JsonText::quoted (const juce::String& text)
{
    // The raw bytes: getNumBytesAsUTF8 would count decoded characters, which for
    // bytes that are not UTF-8 is not the length.
    auto* bytes = reinterpret_cast<const juce::uint8*> (text.toRawUTF8());
    auto numBytes = std::strlen (text.toRawUTF8());
    juce::MemoryOutputStream out;
    out.writeByte ('"');

    for (size_t i = 0; i < numBytes;)
    {
        auto c = bytes[i];

        switch (c)
        {
            case '"':   out << "\\\""; ++i; continue;
            case '\\':  out << "\\\\"; ++i; continue;
            case '\b':  out << "\\b";  ++i; continue;
            case '\f':  out << "\\f";  ++i; continue;
            case '\n':  out << "\\n";  ++i; continue;
            case '\r':  out << "\\r";  ++i; continue;
            case '\t':  out << "\\t";  ++i; continue;
            default:    break;
        }

        if (c < 0x20 || c == 0x7f)
        {
            out << "\\u00" << juce::String::toHexString (static_cast<int> (c)).paddedLeft ('0', 2);
            ++i;
            continue;
        }

        if (auto length = validSequenceLength (bytes + i, numBytes - i))
        {
            out.write (bytes + i, length);
            i += length;
        }
        else
        {
            out << "\\ufffd";
            ++i;
        }
    }

    out.writeByte ('"');
    return out.toUTF8();
}

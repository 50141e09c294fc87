#include "library/TreeStreamValidator.h"

#include <cstring>
#include <string_view>
#include <unordered_set>

namespace
{
    // The value markers of juce::var's binary form.
    enum ValueMarker : juce::uint8
    {
        markerInt       = 1,
        markerBoolTrue  = 2,
        markerBoolFalse = 3,
        markerDouble    = 4,
        markerString    = 5,
        markerInt64     = 6,
        markerArray     = 7,
        markerBinary    = 8
    };

    class StreamWalk
    {
    public:
        StreamWalk (const juce::uint8* data, size_t numBytes, const TreeStreamValidator::Limits& walkLimits)
            : position (data), end (data + numBytes), limits (walkLimits)
        {
        }

        bool node (int depth)
        {
            if (depth > limits.maxDepth || ! countItem())
                return false;

            int numProperties = 0, numChildren = 0;

            if (! name() || ! count (numProperties) || numProperties > limits.maxPropertiesPerNode)
                return false;

            for (int i = 0; i < numProperties; ++i)
                if (! name() || ! value (depth))
                    return false;

            if (! count (numChildren))
                return false;

            for (int i = 0; i < numChildren; ++i)
                if (! node (depth + 1))
                    return false;

            return true;
        }

    private:
        bool countItem()
        {
            return ++numItems <= limits.maxNodes;
        }

        size_t remaining() const noexcept   { return static_cast<size_t> (end - position); }

        bool skip (size_t numBytes)
        {
            if (numBytes > remaining())
                return false;

            position += numBytes;
            return true;
        }

        // OutputStream::writeCompressedInt: a byte with the number of value bytes (and
        // 0x80 for a negative value), then the magnitude in little-endian order.
        bool compressedInt (int& result)
        {
            if (remaining() < 1)
                return false;

            auto sizeByte = *position++;
            auto numValueBytes = static_cast<size_t> (sizeByte & 0x7f);

            if (numValueBytes > 4 || numValueBytes > remaining())
                return false;

            juce::uint32 magnitude = 0;

            for (size_t i = 0; i < numValueBytes; ++i)
                magnitude |= static_cast<juce::uint32> (position[i]) << (8 * i);

            position += numValueBytes;

            // As InputStream::readCompressedInt computes it, without its overflow.
            auto value = (sizeByte & 0x80) != 0 ? 0u - magnitude : magnitude;
            result = static_cast<int> (value);
            return true;
        }

        // A count of things that follow. Each needs at least one byte, so a count
        // larger than what is left cannot be true.
        bool count (int& result)
        {
            return compressedInt (result) && result >= 0 && static_cast<size_t> (result) <= remaining();
        }

        // A zero-terminated type or property name. JUCE's reader stops at the end of
        // the data as if it were a zero; a name cut off there is refused. An empty
        // name is what JUCE writes for a null tree and cannot be a property's name.
        bool name()
        {
            auto* terminator = static_cast<const juce::uint8*> (std::memchr (position, 0, remaining()));

            if (terminator == nullptr || terminator == position)
                return false;

            std::string_view text (reinterpret_cast<const char*> (position), static_cast<size_t> (terminator - position));
            position = terminator + 1;

            if (names.find (text) == names.end())
            {
                if (static_cast<int> (names.size()) >= limits.maxDistinctNames)
                    return false;

                names.insert (text);
            }

            return true;
        }

        // var::writeToStream: a compressed byte count, then a marker and the data
        // (a count of 0 is a void value). The fixed-size kinds are read by JUCE
        // without looking at the count, so the count must match them exactly.
        bool value (int depth)
        {
            int numBytes = 0;

            if (! compressedInt (numBytes) || numBytes < 0 || static_cast<size_t> (numBytes) > remaining())
                return false;

            if (numBytes == 0)
                return true;

            auto marker = *position++;
            auto dataBytes = static_cast<size_t> (numBytes - 1);

            switch (marker)
            {
                case markerInt:        return numBytes == 5 && skip (4);
                case markerInt64:
                case markerDouble:     return numBytes == 9 && skip (8);
                case markerBoolTrue:
                case markerBoolFalse:  return numBytes == 1;
                case markerArray:      return array (depth + 1, dataBytes);
                case markerString:
                case markerBinary:
                default:               return skip (dataBytes);
            }
        }

        // An array: its element count and elements, which must fill its byte count
        // exactly (JUCE's reader ignores the byte count and trusts the element count).
        bool array (int depth, size_t dataBytes)
        {
            if (depth > limits.maxDepth)
                return false;

            auto* arrayEnd = position + dataBytes;
            int numElements = 0;

            if (! count (numElements))
                return false;

            for (int i = 0; i < numElements; ++i)
                if (position >= arrayEnd || ! countItem() || ! value (depth))
                    return false;

            return position == arrayEnd;
        }

        const juce::uint8* position;
        const juce::uint8* const end;
        const TreeStreamValidator::Limits& limits;
        std::unordered_set<std::string_view> names;
        int numItems = 0;
    };
}

bool TreeStreamValidator::isCompleteTree (const void* data, size_t numBytes, const Limits& limits)
{
    if (data == nullptr || numBytes == 0)
        return false;

    StreamWalk walk (static_cast<const juce::uint8*> (data), numBytes, limits);
    return walk.node (1);
}

bool TreeStreamValidator::isCompleteTree (const void* data, size_t numBytes)
{
    return isCompleteTree (data, numBytes, Limits());
}

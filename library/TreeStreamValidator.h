// A bounded walk over JUCE's binary ValueTree stream, run before JUCE reads a
// database, so that no file can make the reader allocate, recurse or loop without end.
#pragma once

#include <juce_core/juce_core.h>

/**
    JUCE's ValueTree::readFromStream trusts the counts it reads: a child count is
    reserved before any child is read, a binary value's length is allocated before
    its bytes are, nesting recurses without a limit, every property and type name is
    added to the process-wide string pool (a sorted array), and properties are set
    one by one with a linear search. A damaged or hostile "Assets.db" could therefore
    exhaust memory, overflow the stack or keep the program busy for hours.

    The validator walks the layout that ValueTree::writeToStream produces (type name,
    compressed property count, name and value per property, compressed child count,
    children) and accepts the data only when it holds one complete tree that stays
    within the limits, checking every count against the bytes that are really there.
    The node limit bounds the memory JUCE's tree takes, which is far more per node
    than the few bytes a node needs in the file.
    Every stream that JUCE writes for a tree within the limits is accepted, whatever
    bytes its strings hold. Bytes after the tree are ignored, as JUCE's reader
    ignores them. The walk itself is linear in the data and recurses no deeper than
    Limits::maxDepth.

    Any thread; nothing is shared.
*/
class TreeStreamValidator
{
public:
    /** What a stream may hold before it is refused. The library database needs a
        depth of 4, at most 6 properties a node and about ten distinct names. */
    struct Limits
    {
        int maxDepth = 64;                 ///< nodes and array values nested in each other
        int maxPropertiesPerNode = 256;
        int maxDistinctNames = 4096;       ///< type names and property names together
        int maxNodes = 4000000;            ///< nodes and array elements in the whole tree
    };

    /** True when data starts with one complete, well-formed tree within limits. */
    static bool isCompleteTree (const void* data, size_t numBytes, const Limits& limits);

    /** The same with the default limits. */
    static bool isCompleteTree (const void* data, size_t numBytes);
};

// Turning a library thumbnail file into the picture an asset keeps in memory: at
// most a tile's width and a little more, whatever the size of the file.
#pragma once

#include <juce_graphics/juce_graphics.h>

#include <unordered_map>
#include <optional>

/**
    Thumbnail files are full-size frames (a 4K clip gives a 3840 x 2160 JPEG), but a
    tile is at most 400 pixels wide. Holding every thumbnail at full size costs about
    33 MB a tile, so the in-memory picture is decoded at no more than maxWidth pixels
    wide. JPEG files are decoded with libjpeg's scaled decoding (the IDCT produces the
    smaller picture directly, so large files are also quick to load); other formats
    (PNG, GIF) go through JUCE's image formats and are scaled down afterwards.
    Pictures more than 16384 pixels on a side are refused, and so is anything
    whose header is not that of a JPEG, PNG or GIF, before anything is allocated
    for it.

    Whoever needs the full-size picture reads the thumbnail file itself.

    decode may be called on any thread; a Batch changes where it takes its picture
    from only on the thread that made the batch.
*/
namespace ThumbnailDecoder
{
    /** The widest picture an asset holds in memory. */
    inline constexpr int maxWidth = 480;

    /** Decodes the picture in file at no more than maximumWidth pixels wide, keeping
        its proportions; a picture narrower than that keeps its size. Gives a null
        image when file is not a regular file or cannot be decoded. */
    juce::Image decode (const juce::File& file, int maximumWidth = maxWidth);

    /** The same for a file's content already in memory. */
    juce::Image decode (const void* data, size_t numBytes, int maximumWidth = maxWidth);

    /**
        Decodes many thumbnail files at once, on as many threads as the machine has
        cores, for a library that is being loaded. While a Batch lives, decode (file)
        on the thread that made it takes a picture of the batch instead of decoding
        the file again; everything else about decode stays the same.

        Threads: made, used and destroyed on one thread (the one loading the
        library). Its workers run only inside the constructor, each writing its own
        slots of the results, and are joined before the constructor returns.
    */
    class Batch
    {
    public:
        /** Decodes every file named by paths (full paths; duplicates are decoded
            once; paths of no regular file give nothing) at no more than maxWidth
            pixels wide. */
        explicit Batch (const juce::StringArray& paths);
        ~Batch();

        /** The picture decoded for path, taken out of the batch, or nothing when the
            batch has none for it. */
        std::optional<juce::Image> take (const juce::String& path);

    private:
        struct PathHash { size_t operator() (const juce::String& path) const noexcept { return path.hash(); } };

        std::unordered_map<juce::String, juce::Image, PathHash> pictures;
        Batch* previous;

        JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (Batch)
    };
}

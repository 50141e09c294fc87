#include "library/ThumbnailDecoder.h"

#include <atomic>
#include <csetjmp>
#include <cstring>
#include <cstdio>
#include <sys/stat.h>
#include <thread>
#include <vector>

#include <jpeglib.h>

#ifndef JCS_EXTENSIONS
 #error "libjpeg-turbo's colour-space extensions are needed to decode straight into JUCE's pixel layout"
#endif

namespace
{
    // A thumbnail file is a frame written by the program; anything bigger than this
    // is not one, and reading it would only cost memory.
    constexpr juce::int64 largestThumbnailFileBytes = 256 * 1024 * 1024;

    // libjpeg's own working memory (coefficient buffers of progressive files grow with
    // the full picture size). Past this it stops with an error instead of growing.
    constexpr long largestDecoderMemoryBytes = 512L * 1024 * 1024;

    // Frames of 8K video are 7680 wide; a header claiming far more than that is
    // damage, and even scaled it would cost hundreds of megabytes.
    constexpr int largestPictureSide = 16384;

    bool looksLikeJpeg (const void* data, size_t numBytes)
    {
        auto* bytes = static_cast<const juce::uint8*> (data);
        return numBytes >= 3 && bytes[0] == 0xff && bytes[1] == 0xd8 && bytes[2] == 0xff;
    }

    bool sidesAreAcceptable (int width, int height)
    {
        return width > 0 && width <= largestPictureSide && height > 0 && height <= largestPictureSide;
    }

    int bigEndian32 (const juce::uint8* bytes)
    {
        auto value = (static_cast<juce::uint32> (bytes[0]) << 24) | (static_cast<juce::uint32> (bytes[1]) << 16)
                   | (static_cast<juce::uint32> (bytes[2]) << 8) | static_cast<juce::uint32> (bytes[3]);
        return value > 0x7fffffffu ? -1 : static_cast<int> (value);
    }

    int littleEndian16 (const juce::uint8* bytes)
    {
        return bytes[0] | (bytes[1] << 8);
    }

    // JUCE's PNG reader allocates the whole picture the IHDR chunk (always the first
    // chunk) claims, and carries on writing when that allocation fails.
    bool isPngOfAcceptableSize (const juce::uint8* bytes, size_t numBytes)
    {
        static constexpr juce::uint8 signature[] = { 0x89, 'P', 'N', 'G', 0x0d, 0x0a, 0x1a, 0x0a };

        return numBytes >= 24
            && std::memcmp (bytes, signature, sizeof (signature)) == 0
            && std::memcmp (bytes + 12, "IHDR", 4) == 0
            && sidesAreAcceptable (bigEndian32 (bytes + 16), bigEndian32 (bytes + 20));
    }

    /*  JUCE's GIF reader allocates the picture at the size of the first image
        descriptor, which may differ from the logical screen; both are checked. The
        blocks before that descriptor are walked the way JUCE's reader walks them, so
        that it meets no descriptor this walk has not seen. Data that ends before any
        descriptor makes JUCE's reader give up without allocating anything.
    */
    bool isGifOfAcceptableSize (const juce::uint8* bytes, size_t numBytes)
    {
        if (numBytes < 13
             || (std::memcmp (bytes, "GIF87a", 6) != 0 && std::memcmp (bytes, "GIF89a", 6) != 0)
             || ! sidesAreAcceptable (littleEndian16 (bytes + 6), littleEndian16 (bytes + 8)))
            return false;

        size_t position = 13;

        if ((bytes[10] & 0x80) != 0)
            position += 3 * static_cast<size_t> (2 << (bytes[10] & 7));

        auto skipSubBlock = [&]
        {
            auto length = bytes[position];
            position += 1 + length;
            return length;
        };

        while (position < numBytes)
        {
            auto introducer = bytes[position++];

            if (introducer == ';')
                return true;

            if (introducer == '!')
            {
                if (position >= numBytes)
                    return true;

                // JUCE reads the graphic control block and then the usual sub-blocks.
                if (bytes[position++] == 0xf9)
                {
                    if (position >= numBytes)
                        return true;

                    skipSubBlock();
                }

                for (;;)
                {
                    if (position >= numBytes)
                        return true;

                    if (skipSubBlock() == 0)
                        break;
                }

                continue;
            }

            if (introducer != ',')
                continue;

            if (position + 9 > numBytes)
                return true;

            return sidesAreAcceptable (littleEndian16 (bytes + position + 4), littleEndian16 (bytes + position + 6));
        }

        return true;
    }

    // The smallest of libjpeg's scale factors M/8 that still gives at least the wanted
    // width; the rest is done by a resample. Pictures that are narrow already are
    // decoded at full size.
    int chooseScaleNumerator (int width, int wantedWidth)
    {
        for (int numerator = 1; numerator < 8; ++numerator)
            if ((static_cast<juce::int64> (width) * numerator + 7) / 8 >= wantedWidth)
                return numerator;

        return 8;
    }

    juce::Image narrowedTo (const juce::Image& image, int maximumWidth)
    {
        if (! image.isValid() || image.getWidth() <= maximumWidth)
            return image;

        auto height = juce::jmax (1, juce::roundToInt (image.getHeight() * (double) maximumWidth / image.getWidth()));
        return image.rescaled (maximumWidth, height, juce::Graphics::mediumResamplingQuality);
    }

    /*  One libjpeg decompression. libjpeg reports errors by calling error_exit, which
        must not return; it jumps back to the setjmp of the step that is running. Each
        step keeps its own setjmp and touches no C++ object with a destructor between
        setjmp and the libjpeg calls, so the jump skips nothing that needs cleaning up.
    */
    class JpegDecompression
    {
    public:
        JpegDecompression()
        {
            info.err = jpeg_std_error (&trap.manager);
            trap.manager.error_exit = [] (j_common_ptr common)
            {
                std::longjmp (reinterpret_cast<ErrorTrap*> (common->err)->jump, 1);
            };
            // Damaged but readable data gives warnings; the picture is used anyway.
            trap.manager.emit_message = [] (j_common_ptr, int) {};
            trap.manager.output_message = [] (j_common_ptr) {};
        }

        ~JpegDecompression()
        {
            if (created)
                jpeg_destroy_decompress (&info);
        }

        bool readHeader (const void* data, size_t numBytes)
        {
            if (setjmp (trap.jump) != 0)
                return false;

            jpeg_create_decompress (&info);
            created = true;
            info.mem->max_memory_to_use = largestDecoderMemoryBytes;
            jpeg_mem_src (&info, static_cast<const unsigned char*> (data), static_cast<unsigned long> (numBytes));
            jpeg_read_header (&info, TRUE);
            return true;
        }

        int getWidth() const noexcept   { return static_cast<int> (info.image_width); }
        int getHeight() const noexcept  { return static_cast<int> (info.image_height); }

        bool start (int scaleNumerator)
        {
            if (setjmp (trap.jump) != 0)
                return false;

            info.scale_num = static_cast<unsigned int> (scaleNumerator);
            info.scale_denom = 8;
            info.out_color_space = JCS_EXT_BGR;   // JUCE's PixelRGB order on little-endian Linux
            jpeg_start_decompress (&info);
            return info.output_components == 3;
        }

        int getOutputWidth() const noexcept     { return static_cast<int> (info.output_width); }
        int getOutputHeight() const noexcept    { return static_cast<int> (info.output_height); }

        bool readLines (juce::uint8* firstLine, int lineStride)
        {
            if (setjmp (trap.jump) != 0)
                return false;

            while (info.output_scanline < info.output_height)
            {
                JSAMPROW row = firstLine + static_cast<size_t> (lineStride) * info.output_scanline;
                jpeg_read_scanlines (&info, &row, 1);
            }

            jpeg_finish_decompress (&info);
            return true;
        }

    private:
        struct ErrorTrap
        {
            jpeg_error_mgr manager;   // first, so libjpeg's err pointer is the trap's address
            std::jmp_buf jump;
        };

        jpeg_decompress_struct info {};
        ErrorTrap trap {};
        bool created = false;
    };

    juce::Image decodeJpeg (const void* data, size_t numBytes, int maximumWidth)
    {
        JpegDecompression jpeg;

        if (! jpeg.readHeader (data, numBytes)
             || jpeg.getWidth() <= 0 || jpeg.getWidth() > largestPictureSide
             || jpeg.getHeight() <= 0 || jpeg.getHeight() > largestPictureSide)
            return {};

        if (! jpeg.start (chooseScaleNumerator (jpeg.getWidth(), maximumWidth)))
            return {};

        juce::Image image (juce::Image::RGB, jpeg.getOutputWidth(), jpeg.getOutputHeight(), false);

        {
            const juce::Image::BitmapData pixels (image, juce::Image::BitmapData::writeOnly);
            jassert (pixels.pixelStride == 3);

            if (! jpeg.readLines (pixels.getLinePointer (0), pixels.lineStride))
                return {};
        }

        return narrowedTo (image, maximumWidth);
    }

    // The batch of the library being loaded on this thread, if any.
    thread_local ThumbnailDecoder::Batch* currentBatch = nullptr;

    juce::Image decodeFile (const juce::File& file, int maximumWidth);

    bool isRegularFile (const juce::File& file, juce::int64& size)
    {
        struct stat info {};

        if (::stat (file.getFullPathName().toRawUTF8(), &info) != 0 || ! S_ISREG (info.st_mode))
            return false;

        size = static_cast<juce::int64> (info.st_size);
        return true;
    }
}

juce::Image ThumbnailDecoder::decode (const void* data, size_t numBytes, int maximumWidth)
{
    if (data == nullptr || numBytes == 0 || maximumWidth <= 0)
        return {};

    // JUCE's own JPEG reader uses the same libjpeg with the same colour conversions,
    // so what fails here (CMYK, damage) would fail there too.
    if (looksLikeJpeg (data, numBytes))
        return decodeJpeg (data, numBytes, maximumWidth);

    // JUCE's other readers trust the sizes in the headers, so only formats whose
    // header has been read and found sound reach them.
    auto* bytes = static_cast<const juce::uint8*> (data);

    if (! isPngOfAcceptableSize (bytes, numBytes) && ! isGifOfAcceptableSize (bytes, numBytes))
        return {};

    return narrowedTo (juce::ImageFileFormat::loadFrom (data, numBytes), maximumWidth);
}

namespace
{
    juce::Image decodeFile (const juce::File& file, int maximumWidth)
    {
        // Only regular files: a stored path may name a folder, a device or a pipe,
        // which would never end or never answer.
        juce::int64 size = 0;

        if (! isRegularFile (file, size) || size <= 0 || size > largestThumbnailFileBytes)
            return {};

        juce::MemoryBlock content;

        {
            juce::FileInputStream in (file);

            if (! in.openedOk())
                return {};

            content.setSize (static_cast<size_t> (size));
            auto numRead = in.read (content.getData(), static_cast<int> (size));

            if (numRead <= 0)
                return {};

            content.setSize (static_cast<size_t> (numRead));
        }

        return ThumbnailDecoder::decode (content.getData(), content.getSize(), maximumWidth);
    }
}

juce::Image ThumbnailDecoder::decode (const juce::File& file, int maximumWidth)
{
    if (currentBatch != nullptr && maximumWidth == maxWidth)
        if (auto picture = currentBatch->take (file.getFullPathName()))
            return *picture;

    return decodeFile (file, maximumWidth);
}

ThumbnailDecoder::Batch::Batch (const juce::StringArray& paths)
    : previous (currentBatch)
{
    std::vector<juce::String> unique;

    for (const auto& path : paths)
        if (path.startsWithChar ('/') && pictures.emplace (path, juce::Image()).second)
            unique.push_back (path);

    std::vector<juce::Image> decoded (unique.size());
    std::atomic<size_t> next { 0 };

    auto work = [&]
    {
        for (auto i = next++; i < unique.size(); i = next++)
            decoded[i] = decodeFile (juce::File (unique[i]), maxWidth);
    };

    // Decoding is bound by the CPU (libjpeg's entropy decoding): one worker a core,
    // this thread being one of them.
    const auto numWorkers = juce::jlimit<size_t> (1, 8, std::min<size_t> (std::thread::hardware_concurrency(), unique.size()));
    std::vector<std::thread> workers;

    for (size_t i = 1; i < numWorkers; ++i)
        workers.emplace_back (work);

    work();

    for (auto& worker : workers)
        worker.join();

    for (size_t i = 0; i < unique.size(); ++i)
        pictures[unique[i]] = std::move (decoded[i]);

    currentBatch = this;
}

ThumbnailDecoder::Batch::~Batch()
{
    currentBatch = previous;
}

std::optional<juce::Image> ThumbnailDecoder::Batch::take (const juce::String& path)
{
    auto found = pictures.find (path);

    if (found == pictures.end())
        return std::nullopt;

    auto picture = std::move (found->second);
    pictures.erase (found);
    return picture;
}

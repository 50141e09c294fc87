// The in-memory thumbnail: at most 480 wide whatever the file, colours and sides
// intact, and nothing but null for what is not a picture.
#include "library/LibraryDatabase.h"
#include "library/ThumbnailDecoder.h"

#include "ChildProgram.h"
#include "LibraryFixtures.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <cstring>

namespace
{
    class ThumbnailDecoderTest : public ::testing::Test
    {
    private:
        ScratchFolder scratch;

    protected:
        juce::File folder { juce::String (scratch.path()) };
    };

    juce::File testMedia (const char* name)
    {
        return juce::File (VORNIQ_TEST_MEDIA_DIR).getChildFile (name);
    }

    juce::uint32 pngChunkCrc (const juce::uint8* typeAndData, size_t numBytes)
    {
        juce::uint32 crc = 0xffffffffu;

        for (size_t i = 0; i < numBytes; ++i)
        {
            crc ^= typeAndData[i];

            for (int bit = 0; bit < 8; ++bit)
                crc = (crc >> 1) ^ ((crc & 1) != 0 ? 0xedb88320u : 0u);
        }

        return crc ^ 0xffffffffu;
    }

    void putBigEndian32 (juce::uint8* destination, juce::uint32 value)
    {
        for (int i = 0; i < 4; ++i)
            destination[i] = static_cast<juce::uint8> (value >> (24 - 8 * i));
    }

    // A real PNG of JUCE's writer whose IHDR chunk, checksum included, claims
    // width x height: every reader takes it for a picture of that size.
    void writePngClaiming (const juce::File& file, juce::uint32 width, juce::uint32 height)
    {
        writeTestPng (file, 40, 30);
        juce::MemoryBlock bytes;
        ASSERT_TRUE (file.loadFileAsData (bytes));
        auto* data = static_cast<juce::uint8*> (bytes.getData());
        ASSERT_EQ (std::memcmp (data + 12, "IHDR", 4), 0);

        putBigEndian32 (data + 16, width);
        putBigEndian32 (data + 20, height);
        putBigEndian32 (data + 29, pngChunkCrc (data + 12, 17));
        ASSERT_TRUE (file.replaceWithData (bytes.getData(), bytes.getSize()));
    }

    // A one-pixel white GIF with a graphic control extension, whose logical screen
    // and image descriptor claim the sizes given.
    void writeGifClaiming (const juce::File& file, int screenWidth, int screenHeight, int imageWidth, int imageHeight)
    {
        auto lo = [] (int value) { return static_cast<juce::uint8> (value & 0xff); };
        auto hi = [] (int value) { return static_cast<juce::uint8> ((value >> 8) & 0xff); };

        const juce::uint8 bytes[] = {
            'G', 'I', 'F', '8', '9', 'a',
            lo (screenWidth), hi (screenWidth), lo (screenHeight), hi (screenHeight), 0x80, 0, 0,
            0xff, 0xff, 0xff, 0, 0, 0,
            '!', 0xf9, 4, 0, 0, 0, 0, 0,
            ',', 0, 0, 0, 0, lo (imageWidth), hi (imageWidth), lo (imageHeight), hi (imageHeight), 0,
            2, 2, 0x44, 0x01, 0,
            ';'
        };

        ASSERT_TRUE (file.replaceWithData (bytes, sizeof (bytes)));
    }

    void expectNear (juce::Colour actual, juce::Colour expected, const std::string& where)
    {
        EXPECT_NEAR (actual.getRed(), expected.getRed(), 24) << where;
        EXPECT_NEAR (actual.getGreen(), expected.getGreen(), 24) << where;
        EXPECT_NEAR (actual.getBlue(), expected.getBlue(), 24) << where;
    }
}

TEST_F (ThumbnailDecoderTest, JpegsAreDecodedAtMostTileWidthKeepingTheirShape)
{
    struct Case { int width, height, expectedWidth, expectedHeight; };
    const Case cases[] = {
        { 3840, 2160, 480, 270 },   // 1/8 exactly
        { 1920, 1080, 480, 270 },   // 2/8
        { 1280,  720, 480, 270 },   // 3/8
        { 1024,  576, 480, 270 },   // 4/8 gives 512, then resampled
        { 7680, 4320, 480, 270 },   // 1/8 gives 960, then resampled
        {  640,  360, 480, 270 },
        {  480,  270, 480, 270 },
        {  400,  300, 400, 300 },   // narrower already: full size
        { 4000,  100, 480,  12 },
        {   90, 1600,  90, 1600 },
    };

    for (const auto& c : cases)
    {
        auto file = folder.getChildFile (juce::String (c.width) + "x" + juce::String (c.height) + ".jpg");
        writeTestJpeg (file, c.width, c.height);
        auto picture = ThumbnailDecoder::decode (file);

        ASSERT_TRUE (picture.isValid()) << c.width << "x" << c.height;
        EXPECT_EQ (picture.getWidth(), c.expectedWidth) << c.width << "x" << c.height;
        EXPECT_EQ (picture.getHeight(), c.expectedHeight) << c.width << "x" << c.height;
    }
}

TEST_F (ThumbnailDecoderTest, ColoursAndSidesSurviveTheScaledDecode)
{
    auto file = folder.getChildFile ("split.jpg");
    writeTestJpeg (file, 3840, 2160);
    auto picture = ThumbnailDecoder::decode (file);
    ASSERT_EQ (picture.getWidth(), 480);

    expectNear (picture.getPixelAt (60, 135), juce::Colour (0xffd02020), "left half");
    expectNear (picture.getPixelAt (420, 135), juce::Colour (0xff2040d0), "right half");

    // The same as JUCE's own full-size decode, scaled.
    auto reference = juce::ImageFileFormat::loadFrom (file);
    expectNear (picture.getPixelAt (60, 135), reference.getPixelAt (480, 1080), "left, against JUCE");
    expectNear (picture.getPixelAt (420, 135), reference.getPixelAt (3360, 1080), "right, against JUCE");
}

TEST_F (ThumbnailDecoderTest, OtherJpegFormsAndOtherPictureFormats)
{
    auto png = folder.getChildFile ("wide.png");
    writeTestPng (png, 1000, 500);

    struct Case { juce::File file; int expectedWidth, expectedHeight; };
    const Case cases[] = {
        { testMedia ("thumb-gray.jpg"),        480, 270 },
        { testMedia ("thumb-progressive.jpg"), 480, 270 },
        { png,                                 480, 240 },
    };

    for (const auto& c : cases)
    {
        auto picture = ThumbnailDecoder::decode (c.file);
        ASSERT_TRUE (picture.isValid()) << c.file.getFileName();
        EXPECT_EQ (picture.getWidth(), c.expectedWidth) << c.file.getFileName();
        EXPECT_EQ (picture.getHeight(), c.expectedHeight) << c.file.getFileName();
    }

    // libjpeg turns no CMYK into RGB; JUCE's own reader gives null for it as well.
    auto cmyk = ThumbnailDecoder::decode (testMedia ("thumb-cmyk.jpg"));
    EXPECT_EQ (cmyk.isValid(), juce::ImageFileFormat::loadFrom (testMedia ("thumb-cmyk.jpg")).isValid());
    EXPECT_LE (cmyk.getWidth(), 480);
}

TEST_F (ThumbnailDecoderTest, WhatIsNoPictureGivesNull)
{
    auto text = folder.getChildFile ("notes.jpg");
    text.replaceWithText ("hello");
    auto empty = folder.getChildFile ("empty.jpg");
    empty.create();
    auto whole = folder.getChildFile ("whole.jpg");
    writeTestJpeg (whole, 800, 450);
    juce::MemoryBlock wholeBytes;
    whole.loadFileAsData (wholeBytes);
    auto headerOnly = folder.getChildFile ("header-only.jpg");
    headerOnly.replaceWithData (wholeBytes.getData(), 200);

    for (const auto& file : { text, empty, headerOnly, folder, folder.getChildFile ("missing.jpg"),
                              juce::File ("/dev/zero"), juce::File ("/dev/null") })
    {
        auto started = std::chrono::steady_clock::now();
        EXPECT_TRUE (ThumbnailDecoder::decode (file).isNull()) << file.getFullPathName();
        EXPECT_LT (std::chrono::steady_clock::now() - started, std::chrono::seconds (5)) << file.getFullPathName();
    }
}

TEST_F (ThumbnailDecoderTest, DamagedJpegsAreSurvived)
{
    auto whole = folder.getChildFile ("whole.jpg");
    writeTestJpeg (whole, 1920, 1080);
    juce::MemoryBlock bytes;
    whole.loadFileAsData (bytes);

    // Cut anywhere after the header: libjpeg fills in what is missing, or gives up.
    for (size_t length = 300; length < bytes.getSize(); length += bytes.getSize() / 7)
    {
        auto picture = ThumbnailDecoder::decode (bytes.getData(), length);
        if (picture.isValid())
        {
            EXPECT_EQ (picture.getWidth(), 480);
        }
    }

    // A header claiming a picture of 60000 x 60000 is refused before anything is
    // allocated for it. The frame size follows the SOF0 marker (FF C0).
    juce::MemoryBlock huge (bytes);
    auto* data = static_cast<juce::uint8*> (huge.getData());

    for (size_t i = 0; i + 8 < huge.getSize(); ++i)
    {
        if (data[i] == 0xff && data[i + 1] == 0xc0)
        {
            data[i + 5] = 0xea; data[i + 6] = 0x60;   // height 60000
            data[i + 7] = 0xea; data[i + 8] = 0x60;   // width 60000
            break;
        }
    }

    EXPECT_TRUE (ThumbnailDecoder::decode (huge.getData(), huge.getSize()).isNull());

    juce::Random random (5);
    for (int i = 0; i < 200; ++i)
    {
        juce::MemoryBlock changed (bytes);
        for (int n = 0; n < 8; ++n)
            static_cast<juce::uint8*> (changed.getData())[random.nextInt ((int) changed.getSize())] = (juce::uint8) random.nextInt (256);

        auto picture = ThumbnailDecoder::decode (changed.getData(), changed.getSize());
        EXPECT_LE (picture.getWidth(), 480);
    }
}

TEST_F (ThumbnailDecoderTest, ABatchDecodesAheadAndHandsEachPictureOverOnce)
{
    auto first = folder.getChildFile ("first.jpg");
    auto second = folder.getChildFile ("second.jpg");
    writeTestJpeg (first, 1920, 1080);
    writeTestJpeg (second, 1280, 960);

    {
        const ThumbnailDecoder::Batch batch ({ first.getFullPathName(), second.getFullPathName(), first.getFullPathName(),
                                               "/dev/zero", "relative/path.jpg", folder.getFullPathName() });

        // The files change after the batch decoded them: what decode gives now shows
        // where it came from.
        writeTestJpeg (first, 640, 640);
        writeTestJpeg (second, 640, 640);

        auto fromBatch = ThumbnailDecoder::decode (first);
        EXPECT_EQ (fromBatch.getWidth(), 480);
        EXPECT_EQ (fromBatch.getHeight(), 270) << "decoded by the batch, before the file changed";
        EXPECT_EQ (ThumbnailDecoder::decode (second).getHeight(), 360);

        EXPECT_EQ (ThumbnailDecoder::decode (first).getHeight(), 480) << "handed over once; then the file is read";
        EXPECT_TRUE (ThumbnailDecoder::decode (juce::File ("/dev/zero")).isNull());
        EXPECT_EQ (ThumbnailDecoder::decode (first, 100).getWidth(), 100) << "other widths never come from the batch";
    }

    writeTestJpeg (second, 1920, 1080);
    EXPECT_EQ (ThumbnailDecoder::decode (second).getHeight(), 270) << "without a batch, the file is read";
}

TEST_F (ThumbnailDecoderTest, ALoadedLibraryHoldsTheSamePicturesAsDecodingEachFile)
{
    // loadLibrary decodes through a batch; the pictures must be those of the files.
    AssetCollection saved, savedAlbums, library, albums;

    for (int i = 0; i < 12; ++i)
    {
        auto thumbnail = folder.getChildFile ("Thumbnails/" + juce::String (i) + ".jpg");
        thumbnail.getParentDirectory().createDirectory();
        writeTestJpeg (thumbnail, 480 + i * 160, 270 + i * 90 + (i % 2) * 10);
        auto* asset = new FileAsset (folder.getChildFile ("clip" + juce::String (i) + ".mov"));
        asset->setThumbnailFile (thumbnail);
        saved.add (asset);
    }

    ASSERT_TRUE (LibraryDatabase::saveLibrary (folder, saved, savedAlbums).wasOk());
    ASSERT_TRUE (LibraryDatabase::loadLibrary (folder, library, albums).wasOk());
    ASSERT_EQ (library.size(), 12);

    for (int i = 0; i < 12; ++i)
    {
        const auto& loaded = library.get (i)->getThumbnail();
        const auto& direct = saved.get (i)->getThumbnail();
        EXPECT_EQ (loaded.getWidth(), direct.getWidth()) << i;
        EXPECT_EQ (loaded.getHeight(), direct.getHeight()) << i;
        EXPECT_EQ (loaded.getPixelAt (10, 10).getARGB(), direct.getPixelAt (10, 10).getARGB()) << i;
    }
}

TEST_F (ThumbnailDecoderTest, PngsAndGifsClaimingHugePicturesAreRefusedBeforeDecoding)
{
    struct Case { const char* name; std::function<void (const juce::File&)> write; bool decodes; };
    const Case cases[] = {
        { "small.png",        [] (const juce::File& f) { writePngClaiming (f, 40, 30); },                true },
        { "huge.png",         [] (const juce::File& f) { writePngClaiming (f, 100000, 100000); },        false },
        { "wide.png",         [] (const juce::File& f) { writePngClaiming (f, 16385, 1); },              false },
        { "negative.png",     [] (const juce::File& f) { writePngClaiming (f, 0x80000010u, 30); },       false },
        { "pixel.gif",        [] (const juce::File& f) { writeGifClaiming (f, 1, 1, 1, 1); },            true },
        { "huge-screen.gif",  [] (const juce::File& f) { writeGifClaiming (f, 65535, 65535, 1, 1); },    false },
        { "huge-image.gif",   [] (const juce::File& f) { writeGifClaiming (f, 1, 1, 65535, 65535); },    false },
        { "tall-image.gif",   [] (const juce::File& f) { writeGifClaiming (f, 1, 1, 1, 16385); },        false },
    };

    for (const auto& c : cases)
    {
        auto file = folder.getChildFile (c.name);
        c.write (file);
        auto picture = ThumbnailDecoder::decode (file);
        EXPECT_EQ (picture.isValid(), c.decodes) << c.name;
    }

    // Patched back to its own size, the PNG is whole again: the checksum is right.
    auto small = ThumbnailDecoder::decode (folder.getChildFile ("small.png"));
    ASSERT_TRUE (small.isValid());
    EXPECT_EQ (small.getWidth(), 40);
    EXPECT_EQ (small.getHeight(), 30);
    expectNear (small.getPixelAt (5, 15), juce::Colour (0xffd02020), "left of the small PNG");
    expectNear (small.getPixelAt (35, 15), juce::Colour (0xff2040d0), "right of the small PNG");

    auto pixel = ThumbnailDecoder::decode (folder.getChildFile ("pixel.gif"));
    EXPECT_EQ (pixel.getWidth(), 1);
    EXPECT_EQ (pixel.getHeight(), 1);
}

TEST_F (ThumbnailDecoderTest, ALibraryWithHugePngAndGifThumbnailsLoadsWithNullPictures)
{
    auto thumbnails = folder.getChildFile ("Thumbnails");
    ASSERT_TRUE (thumbnails.createDirectory());
    auto normalPng = thumbnails.getChildFile ("normal.png");
    auto hugePng = thumbnails.getChildFile ("huge.png");
    auto hugeGif = thumbnails.getChildFile ("huge.gif");

    // Saved while every thumbnail is a sound picture; the files are damaged afterwards,
    // as they would be on a disk the program does not own alone.
    for (const auto& file : { normalPng, hugePng, hugeGif })
        writeTestPng (file, 1000, 500);

    {
        AssetCollection saved, savedAlbums;
        saved.add (makeStoredFileAsset (1, "normal.mov", "/media/normal.mov", normalPng.getFullPathName(), 1700000000000));
        saved.add (makeStoredFileAsset (2, "huge.mov", "/media/huge.mov", hugePng.getFullPathName(), 1700000001000));
        saved.add (makeStoredFileAsset (3, "gif.mov", "/media/gif.mov", hugeGif.getFullPathName(), 1700000002000));
        ASSERT_TRUE (LibraryDatabase::saveLibrary (folder, saved, savedAlbums).wasOk());
    }

    writePngClaiming (hugePng, 100000, 100000);
    writeGifClaiming (hugeGif, 65535, 65535, 65535, 65535);
    ASSERT_LT (hugePng.getSize(), 4096);

    AssetCollection library, albums;
    ASSERT_TRUE (LibraryDatabase::loadLibrary (folder, library, albums).wasOk());
    ASSERT_EQ (library.size(), 3);

    EXPECT_EQ (library.get (0)->getThumbnail().getWidth(), 480);
    EXPECT_EQ (library.get (0)->getThumbnail().getHeight(), 240);

    for (int i : { 1, 2 })
    {
        EXPECT_TRUE (library.get (i)->getThumbnail().isNull()) << library.get (i)->getName();
        EXPECT_EQ (library.get (i)->getThumbnailUrl(), (i == 1 ? hugePng : hugeGif).getFullPathName())
            << "the stored path is kept";
    }
}

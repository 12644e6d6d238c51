// The little-endian writer and reader against byte images written out by hand.
#include <gtest/gtest.h>

#include <vector>

#include "model/byte_io.h"

namespace velmora {
namespace {

using Image = std::vector<uint8_t>;

TEST(ByteIo, WritesEachFieldInItsStoredWidth) {
    struct Case {
        const char* what;
        void (*write)(ByteWriter&);
        Image expected;
    };
    const Case cases[] = {
        {"int16 low byte first", [](ByteWriter& w) { w.i16(0x0102); }, {0x02, 0x01}},
        {"negative int16 in two's complement", [](ByteWriter& w) { w.i16(-2); }, {0xFE, 0xFF}},
        {"int16 extremes",
         [](ByteWriter& w) {
             w.i16(-32768);
             w.i16(32767);
         },
         {0x00, 0x80, 0xFF, 0x7F}},
        {"byte", [](ByteWriter& w) { w.u8(0xA5); }, {0xA5}},
        {"real 1.0", [](ByteWriter& w) { w.real(1.0L); }, {0x81, 0, 0, 0, 0, 0}},
        {"real -10.0", [](ByteWriter& w) { w.real(-10.0L); }, {0x84, 0, 0, 0, 0, 0xA0}},
        {"short string: length, characters, zero fill",
         [](ByteWriter& w) { w.shortString("VML", 5); },
         {3, 'V', 'M', 'L', 0, 0}},
        {"empty short string", [](ByteWriter& w) { w.shortString("", 2); }, {0, 0, 0}},
        {"full short string", [](ByteWriter& w) { w.shortString("ab", 2); }, {2, 'a', 'b'}},
        {"fixed block and zeros",
         [](ByteWriter& w) {
             const uint8_t block[] = {9, 8, 7};
             w.bytes(block);
             w.zeros(2);
         },
         {9, 8, 7, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ByteWriter w;
        c.write(w);
        EXPECT_TRUE(w.ok());
        EXPECT_EQ(w.data(), c.expected);
        EXPECT_EQ(w.size(), c.expected.size());
    }
}

TEST(ByteIo, AnOverlongStringFailsTheWriterButKeepsTheLayout) {
    ByteWriter w;
    w.shortString("abcdef", 4);
    w.u8(7);
    EXPECT_FALSE(w.ok());
    EXPECT_EQ(w.data(), (Image{4, 'a', 'b', 'c', 'd', 7}));
}

TEST(ByteIo, ReadsBackWhatWasWritten) {
    const Image image{0x02, 0x01, 0xFE, 0xFF, 0xA5, 0x84, 0, 0, 0, 0, 0xA0, 3, 'V', 'M', 'L', 0, 0, 9, 8, 7};
    ByteReader r(image);
    EXPECT_EQ(r.i16(), 0x0102);
    EXPECT_EQ(r.i16(), -2);
    EXPECT_EQ(r.u8(), 0xA5);
    EXPECT_EQ(r.real().value(), -10.0L);
    EXPECT_EQ(r.shortString(5), "VML");
    EXPECT_EQ(r.offset(), 17u);
    const auto block = r.bytes(2);
    EXPECT_EQ(Image(block.begin(), block.end()), (Image{9, 8}));
    r.skip(1);
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(r.remaining(), 0u);
}

TEST(ByteIo, CharactersBeyondTheLengthAreIgnored) {
    const Image image{2, 'o', 'k', 'x', 'y'};
    ByteReader r(image);
    EXPECT_EQ(r.shortString(4), "ok");
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(r.remaining(), 0u);
}

TEST(ByteIo, ReadingFailuresAreStickyAndYieldZeros) {
    struct Case {
        const char* what;
        Image image;
        void (*read)(ByteReader&);
        ByteReadError error;
    };
    const Case cases[] = {
        {"int16 with one byte left", {0x01}, [](ByteReader& r) { r.i16(); }, ByteReadError::PastEnd},
        {"real with five bytes left",
         {0x81, 0, 0, 0, 0},
         [](ByteReader& r) { r.real(); },
         ByteReadError::PastEnd},
        {"string whose field is cut",
         {1, 'a'},
         [](ByteReader& r) { r.shortString(2); },
         ByteReadError::PastEnd},
        {"length above the capacity",
         {3, 'a', 'b', 'c'},
         [](ByteReader& r) { r.shortString(2); },
         ByteReadError::TextTooLong},
        {"block past the end", {1, 2}, [](ByteReader& r) { r.bytes(3); }, ByteReadError::PastEnd},
        {"skip past the end", {1, 2}, [](ByteReader& r) { r.skip(3); }, ByteReadError::PastEnd},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ByteReader r(c.image);
        c.read(r);
        EXPECT_EQ(r.error(), c.error);
        // Once failed, every further field reads as zero or empty.
        EXPECT_EQ(r.u8(), 0);
        EXPECT_EQ(r.i16(), 0);
        EXPECT_EQ(r.real().value(), 0.0L);
        EXPECT_EQ(r.shortString(0), "");
        EXPECT_TRUE(r.bytes(0).empty());
        EXPECT_EQ(r.error(), c.error);
    }
}

} // namespace
} // namespace velmora

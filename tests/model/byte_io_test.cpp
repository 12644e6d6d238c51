// The little-endian writer and reader against byte images written out by hand.
#include <gtest/gtest.h>

#include <vector>

#include "model/byte_io.h"

namespace velmora {
namespace {

using Image = std::vector<uint8_t>;

// Each field in its stored width, and read back from the same image.
TEST(ByteIo, WritesAndReadsEachFieldInItsStoredWidth) {
    ByteWriter w;
    w.i16(0x0102);
    w.i16(-2);
    w.u8(0xA5);
    w.real(-10.0L);
    w.shortString("VML", 5);
    w.shortString("ab", 2);
    const uint8_t block[] = {9, 8, 7};
    w.bytes(block);
    w.zeros(2);
    EXPECT_TRUE(w.ok());
    const Image image{0x02, 0x01, 0xFE, 0xFF, 0xA5, 0x84, 0,   0, 0, 0, 0xA0, 3, 'V',
                      'M',  'L',  0,    0,    2,    'a',  'b', 9, 8, 7, 0,    0};
    EXPECT_EQ(w.data(), image);
    ByteReader r(image);
    EXPECT_EQ(r.i16(), 0x0102);
    EXPECT_EQ(r.i16(), -2);
    EXPECT_EQ(r.u8(), 0xA5);
    EXPECT_EQ(r.real().value(), -10.0L);
    EXPECT_EQ(r.shortString(5), "VML");
    EXPECT_EQ(r.shortString(2), "ab");
    const auto read = r.bytes(2);
    EXPECT_EQ(Image(read.begin(), read.end()), (Image{9, 8}));
    r.skip(3);
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(r.remaining(), 0u);
    // An overlong string fails the writer but keeps the layout.
    ByteWriter over;
    over.shortString("abcdef", 4);
    over.u8(7);
    EXPECT_FALSE(over.ok());
    EXPECT_EQ(over.data(), (Image{4, 'a', 'b', 'c', 'd', 7}));
}

TEST(ByteIo, ReadingFailuresAreStickyAndYieldZeros) {
    using E = ByteReadError;
    struct Case {
        const char* what;
        Image image;
        void (*read)(ByteReader&);
        E error;
    };
    const Case cases[] = {
        {"int16 with one byte left", {0x01}, [](ByteReader& r) { r.i16(); }, E::PastEnd},
        {"real with five bytes left", {0x81, 0, 0, 0, 0}, [](ByteReader& r) { r.real(); }, E::PastEnd},
        {"string whose field is cut", {1, 'a'}, [](ByteReader& r) { r.shortString(2); }, E::PastEnd},
        {"length above the capacity",
         {3, 'a', 'b', 'c'},
         [](ByteReader& r) { r.shortString(2); },
         E::TextTooLong},
        {"skip past the end", {1, 2}, [](ByteReader& r) { r.skip(3); }, E::PastEnd},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ByteReader r(c.image);
        c.read(r);
        EXPECT_EQ(r.error(), c.error);
        EXPECT_EQ(r.u8(), 0);
        EXPECT_EQ(r.i16(), 0);
        EXPECT_EQ(r.real().value(), 0.0L);
        EXPECT_EQ(r.shortString(0), "");
        EXPECT_EQ(r.error(), c.error);
    }
}

} // namespace
} // namespace velmora

// The 6-byte real: byte images worked out by hand from value = (-1)^s 2^(e-129) 1.m,
// round trips, and the range rules at both ends; the little-endian fields of the files
// that hold it.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "model/byte_io.h"
#include "model/real48.h"

namespace velmora {
namespace {

using Bytes = Real48::Bytes;

TEST(Real48, EncodesHandComputedPatterns) {
    const long double pi = 3.14159265358979323846264338327950288L;
    const struct Case {
        long double value;
        Bytes bytes;
        const char* derivation;
    } cases[] = {
        {1.0L, {0x81, 0, 0, 0, 0, 0}, "1 = 2^0: e = 129, m = 0"},
        {-1.0L, {0x81, 0, 0, 0, 0, 0x80}, "sign bit is the top bit of byte 5"},
        {0.5L, {0x80, 0, 0, 0, 0, 0}, "2^-1: e = 128"},
        {10.0L, {0x84, 0, 0, 0, 0, 0x20}, "1.25 * 2^3: e = 132, m = 0.25 * 2^39 = 2^37, bit 5 of byte 5"},
        {30.0L, {0x85, 0, 0, 0, 0, 0x70}, "1.875 * 2^4: m = 2^38 + 2^37 + 2^36"},
        // 2 pi = 1.5707963267948966... * 2^2; m = round(0.5707963267948966... * 2^39)
        // = 0x490FDAA221, worked out with exact rational arithmetic from 60 digits of pi.
        {2.0L * pi, {0x83, 0x21, 0xA2, 0xDA, 0x0F, 0x49}, "2 pi"},
        // 1e-30 = 1.2621774483536189 * 2^-100 (e = 29); m = round(0.26217744835... * 2^39)
        // = 0x22425FF75E, exact rational arithmetic.
        {1e-30L, {0x1D, 0x5E, 0xF7, 0x5F, 0x42, 0x22}, "1e-30"},
        {-1234.567L, {0x8B, 0x2F, 0xDD, 0x24, 0x52, 0x9A}, "-1.2056318359375 * 2^10, exact rationals"},
        {Real48::largest(), {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F}, "e = 255, m all ones"},
        {Real48::smallest(), {0x01, 0, 0, 0, 0, 0}, "2^-128: e = 1"},
        {1.0L + 0x1p-40L, {0x81, 0, 0, 0, 0, 0}, "a tie goes to the even mantissa 0"},
        {1.0L + 0x3p-40L, {0x81, 2, 0, 0, 0, 0}, "a tie goes to the even mantissa 2"},
        {2.0L - 0x1p-40L, {0x82, 0, 0, 0, 0, 0}, "rounding up carries into the exponent"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.derivation);
        EXPECT_EQ(encodeReal48(c.value), c.bytes);
        EXPECT_EQ(decodeReal48(c.bytes), Real48(c.value).value());
    }
}

TEST(Real48, StoresAgreeWithTheGeneralRoutineOnEveryKindOfTie) {
    // A store rounds inline; the byte encoding takes the value apart with frexp and
    // rounds the mantissa with nearbyint. Both must give the same value and status for
    // random significands, exact ties, values one unit of the extended format either
    // side of a tie, and significands that carry into the next power of two; and with
    // 39 mantissa bits the value stored errs by at most half a unit, 2^-40 of the value.
    std::mt19937_64 rng(20261206);
    const auto generalStatus = [](long double x) {
        Real48Status st = Real48Status::Exact;
        (void)encodeReal48(x, &st);
        return st;
    };
    for (int i = 0; i < 200000; ++i) {
        uint64_t m = rng() | (uint64_t{1} << 63); // a 64-bit significand
        const uint64_t dropped = (uint64_t{1} << 24) - 1;
        switch (i % 4) {
        case 1:
            m = (m & ~dropped) | (uint64_t{1} << 23);
            break; // exact tie
        case 2:
            m = (m & ~dropped) | ((uint64_t{1} << 23) + (rng() % 3) - 1);
            break; // around it
        case 3:
            m |= dropped;
            break; // carries
        default:
            break;
        }
        long double x = std::ldexp(static_cast<long double>(m), -63 + static_cast<int>(rng() % 250) - 125);
        if (rng() & 1) x = -x;
        Real48Status inlineStatus = Real48Status::Exact;
        const long double stored = Real48::round(x, &inlineStatus);
        ASSERT_EQ(stored, decodeReal48(encodeReal48(x))) << static_cast<double>(x);
        ASSERT_EQ(inlineStatus, generalStatus(x)) << static_cast<double>(x);
        ASSERT_LE(std::fabs(stored - x), std::ldexp(std::fabs(x), -40)) << static_cast<double>(x);
    }
}

TEST(Real48, RangeRules) {
    using S = Real48Status;
    const long double inf = std::numeric_limits<long double>::infinity();
    const struct Case {
        long double value;
        Bytes bytes;
        S status;
        const char* what;
    } cases[] = {
        {std::ldexp(1.0L, -130), {}, S::Underflow, "below half the smallest value: 0"},
        {-std::ldexp(1.0L, -135), {}, S::Underflow, "negative underflow is the one zero"},
        {std::ldexp(1.0L, -129), {0x01, 0, 0, 0, 0, 0}, S::Underflow, "half the smallest value ties up"},
        {1e39L, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F}, S::Overflow, "above the largest: saturates"},
        {-1e39L, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, S::Overflow, "with its sign"},
        {inf, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F}, S::Overflow, "infinity saturates"},
        {-0.0L, {}, S::Exact, "negative zero is zero"},
        {std::numeric_limits<long double>::quiet_NaN(), {}, S::NotANumber, "NaN stores as 0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        S status;
        EXPECT_EQ(encodeReal48(c.value, &status), c.bytes);
        EXPECT_EQ(status, c.status);
    }
    EXPECT_FALSE(std::signbit(Real48(-std::ldexp(1.0L, -135)).value()));
}

// The in-place store and the double read assemble and take apart the extended format's
// bytes: every 6-byte value from the smallest to the largest, both signs and zero, must
// come back as the same number, compare equal to the converting store, and encode to
// the same six bytes.
TEST(Real48, StoresAndReadsThroughTheBytesAsTheFloatingPointUnitDoes) {
    std::mt19937_64 rng(48);
    std::uniform_real_distribution<double> mantissa(1.0, 2.0);
    std::uniform_int_distribution<int> exponent(-128, 126);
    std::vector<double> values = {
        0.0,           1.0,          -1.0, 0x1p-128, -0x1p-128, 0x1.fffffffffep+126, -0x1.fffffffffep+126,
        1.0 + 0x1p-39, 3.0 - 0x1p-38};
    for (int k = 0; k < 20000; ++k) {
        const double x = static_cast<double>(Real48(std::ldexp(mantissa(rng), exponent(rng))).value());
        values.push_back(k % 2 ? -x : x);
    }
    for (const double x : values) {
        Real48 viaBytes;
        viaBytes.setExact(x);
        const Real48 viaFpu = Real48::fromExact(x);
        ASSERT_EQ(viaBytes.value(), viaFpu.value()) << x;
        ASSERT_EQ(viaBytes.toBytes(), viaFpu.toBytes()) << x;
        ASSERT_EQ(viaBytes.exactDouble(), x) << x;
        ASSERT_EQ(Real48(static_cast<long double>(x)).exactDouble(), x) << x;
    }
}

// The little-endian writer and reader against byte images written out by hand.
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
    const struct Case {
        const char* what;
        Image image;
        void (*read)(ByteReader&);
        E error;
    } cases[] = {
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

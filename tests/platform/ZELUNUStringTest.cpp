#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <thread>

#include <unicode/locid.h>

#include "support/FreshThreadSweep.h"
#include "zorvsupport/StatusCodes.h"
#include "zorvsupport/platform/ZELUNUString.h"

using ZORV_3_13_0_::DataSet::kErrNumberToTextFailed;
using ZORV_3_13_0_::DataSet::kErrTextNotNumber;
using ZORV_3_13_0_::DataSet::kSuccess;

namespace {

ZELUNUString const kReal("##############0.0################");

std::string formatted(double value, ZELUNUString const& pattern)
{
    ZELUNUString s;
    EXPECT_EQ(s.formatPattern(value, pattern, false), kSuccess);
    return s.toUtf8();
}

// Restores ICU's default locale when a test changes it.
class DefaultLocaleGuard {
public:
    DefaultLocaleGuard() : m_saved(icu::Locale::getDefault()) {}
    ~DefaultLocaleGuard()
    {
        UErrorCode st = U_ZERO_ERROR;
        icu::Locale::setDefault(m_saved, st);
    }

private:
    icu::Locale m_saved;
};

}  // namespace

TEST(ZELUNUStringNumbers, FormatPatternReplacesText)
{
    ZELUNUString s("old text");
    ASSERT_EQ(s.formatPattern(3.0, kReal, false), kSuccess);
    EXPECT_EQ(s, ZELUNUString("3.0"));
    EXPECT_EQ(formatted(3.14159, "0.00"), "3.14");
    EXPECT_EQ(formatted(2.5, "0"), "2");  // half-even
    EXPECT_EQ(formatted(1234567.0, "0.0"), "1234567.0");
}

TEST(ZELUNUStringNumbers, BadPatternFailsAndKeepsText)
{
    ZELUNUString s("keep");
    EXPECT_EQ(s.formatPattern(1.0, "0.0.0", false), kErrNumberToTextFailed);
    EXPECT_EQ(s, ZELUNUString("keep"));
    long status = kSuccess;
    EXPECT_EQ(ZELUNUString("1.0").parsePattern("0.0.0", status, nullptr, false), 0.0);
    EXPECT_EQ(status, kErrTextNotNumber);
}

TEST(ZELUNUStringNumbers, FixedSymbolsWhateverTheDefaultLocale)
{
    DefaultLocaleGuard guard;
    for (char const* name : {"de_DE", "fr_FR", "ar_EG", "hi_IN"}) {
        SCOPED_TRACE(name);
        UErrorCode st = U_ZERO_ERROR;
        icu::Locale::setDefault(icu::Locale(name), st);
        ASSERT_TRUE(U_SUCCESS(st));
        EXPECT_EQ(formatted(1234567.25, kReal), "1234567.25");
        long status = 1;
        EXPECT_EQ(ZELUNUString("1234567.25").parsePattern(kReal, status, nullptr, false), 1234567.25);
        EXPECT_EQ(status, kSuccess);
        ZELUNUString comma("1,5");
        comma.parsePattern(kReal, status, nullptr, false);
        EXPECT_EQ(status, kErrTextNotNumber);
    }
}

TEST(ZELUNUStringNumbers, ParsePatternWithPosition)
{
    ZELUNUString s("12.5;-7.0;x");
    long status = 1;
    int pos = 0;
    EXPECT_EQ(s.parsePattern(kReal, status, &pos, false), 12.5);
    EXPECT_EQ(status, kSuccess);
    EXPECT_EQ(pos, 4);
    pos = 5;
    EXPECT_EQ(s.parsePattern(kReal, status, &pos, false), -7.0);
    EXPECT_EQ(pos, 9);
    pos = 10;
    EXPECT_EQ(s.parsePattern(kReal, status, &pos, false), 0.0);
    EXPECT_EQ(status, kErrTextNotNumber);
    EXPECT_EQ(pos, 10);
    for (int bad : {-1, 12, 1000}) {
        pos = bad;
        s.parsePattern(kReal, status, &pos, false);
        EXPECT_EQ(status, kErrTextNotNumber) << bad;
        EXPECT_EQ(pos, bad);
    }
    // Without a position the whole text must be the number.
    EXPECT_EQ(s.parsePattern(kReal, status, nullptr, false), 0.0);
    EXPECT_EQ(status, kErrTextNotNumber);
}

// The parser's time grows with the square of the length: texts of more than
// 1100 units (from where the parse starts) are no number.
TEST(ZELUNUStringNumbers, NumberTextsUpTo1100Units)
{
    long status = 1;
    std::string const longest = std::string(1096, '0') + "12.5";  // 1100 units
    EXPECT_EQ(ZELUNUString(longest).parsePattern(kReal, status, nullptr, false), 12.5);
    EXPECT_EQ(status, kSuccess);
    EXPECT_EQ(ZELUNUString("0" + longest).parsePattern(kReal, status, nullptr, false), 0.0);
    EXPECT_EQ(status, kErrTextNotNumber);
    int pos = 1;
    EXPECT_EQ(ZELUNUString("x" + longest).parsePattern(kReal, status, &pos, false), 12.5);
    EXPECT_EQ(status, kSuccess);
    pos = 1;
    ZELUNUString("x0" + longest).parsePattern(kReal, status, &pos, false);
    EXPECT_EQ(status, kErrTextNotNumber);
    EXPECT_EQ(pos, 1);
}

// Narrow text beyond what the string class holds gives the bogus string
// instead of a write through a null buffer.
TEST(ZELUNUString, NarrowTextOfTwoGigabytesIsBogus)
{
    std::string huge(std::size_t(1) << 31, 'a');
    ZELUNUString s(huge);
    EXPECT_TRUE(s.isBogus());
    EXPECT_EQ(s.length(), 0);
    EXPECT_TRUE(ZELUNUString::fromUtf8(huge.data(), huge.size()).isBogus());
    EXPECT_FALSE(ZELUNUString(std::string(3, 'a')).isBogus());
}

TEST(ZELUNUStringNumbers, NonFiniteTextsRoundTrip)
{
    for (double v : {std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity()}) {
        ZELUNUString s;
        ASSERT_EQ(s.formatPattern(v, kReal, false), kSuccess);
        long status = 1;
        EXPECT_EQ(s.parsePattern(kReal, status, nullptr, false), v) << s.toUtf8();
        EXPECT_EQ(status, kSuccess);
    }
    ZELUNUString s;
    ASSERT_EQ(s.formatPattern(-std::numeric_limits<double>::quiet_NaN(), kReal, false), kSuccess);
    EXPECT_EQ(s, ZELUNUString("NaN"));
    long status = 1;
    EXPECT_TRUE(std::isnan(s.parsePattern(kReal, status, nullptr, false)));
    EXPECT_EQ(status, kSuccess);
}

TEST(ZELUNUStringNumbers, PatternsOnSeveralThreads)
{
    // Each thread alternates between two patterns; a shared or stale format
    // would show up as the other pattern's text.
    auto work = [](bool* ok) {
        for (int i = 0; i < 200; ++i) {
            ZELUNUString a, b;
            a.formatPattern(i + 0.125, "0.0", false);
            b.formatPattern(i + 0.125, "0.000", false);
            if (a != ZELUNUString(std::to_string(i) + ".1") || b != ZELUNUString(std::to_string(i) + ".125")) {
                *ok = false;
                return;
            }
        }
        *ok = true;
    };
    bool ok1 = false, ok2 = false;
    std::thread t1(work, &ok1), t2(work, &ok2);
    t1.join();
    t2.join();
    EXPECT_TRUE(ok1);
    EXPECT_TRUE(ok2);
}

TEST(ZELUNUStringNumbers, FormatLong)
{
    ZELUNUString s("old");
    EXPECT_EQ(s.formatLong(-2147483647 - 1, false), kSuccess);
    EXPECT_EQ(s, ZELUNUString("-2147483648"));
    EXPECT_EQ(s.formatLong(2147483647, false), kSuccess);
    EXPECT_EQ(s, ZELUNUString("2147483647"));
    EXPECT_EQ(s.formatLong(0, false), kSuccess);
    EXPECT_EQ(s, ZELUNUString("0"));
}

TEST(ZELUNUStringNumbers, ParseLongRefusesOverflowAndGarbage)
{
    struct Case {
        char const* text;
        long status;
        int value;
    };
    const Case cases[] = {
        {"0", kSuccess, 0},
        {"-2147483648", kSuccess, -2147483647 - 1},
        {"2147483647", kSuccess, 2147483647},
        {"+7", kSuccess, 7},
        {"007", kSuccess, 7},
        {"2147483648", kErrTextNotNumber, 0},
        {"-2147483649", kErrTextNotNumber, 0},
        {"4294967296", kErrTextNotNumber, 0},  // would wrap to 0
        {"99999999999999999999999", kErrTextNotNumber, 0},
        {"12x", kErrTextNotNumber, 0},
        {"12 ", kErrTextNotNumber, 0},
        {" 12", kErrTextNotNumber, 0},
        {"1.0", kErrTextNotNumber, 0},
        {"", kErrTextNotNumber, 0},
        {"-", kErrTextNotNumber, 0},
        {"+-1", kErrTextNotNumber, 0},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.text);
        long status = 12345;
        EXPECT_EQ(ZELUNUString(c.text).parseLong(status, nullptr, false), c.value);
        EXPECT_EQ(status, c.status);
    }
}

TEST(ZELUNUStringNumbers, ParseLongWithPosition)
{
    ZELUNUString s("17,-4,x");
    long status = 1;
    int pos = 0;
    EXPECT_EQ(s.parseLong(status, &pos, false), 17);
    EXPECT_EQ(status, kSuccess);
    EXPECT_EQ(pos, 2);
    pos = 3;
    EXPECT_EQ(s.parseLong(status, &pos, false), -4);
    EXPECT_EQ(pos, 5);
    pos = 6;
    EXPECT_EQ(s.parseLong(status, &pos, false), 0);
    EXPECT_EQ(status, kErrTextNotNumber);
    EXPECT_EQ(pos, 6);
    pos = 8;
    s.parseLong(status, &pos, false);
    EXPECT_EQ(status, kErrTextNotNumber);
    EXPECT_EQ(pos, 8);
}

// A thread's first number text, with its n-th allocation and all later ones
// failing: the format it keeps for the thread cannot be made, which is a
// shortage, never the end of the process, a text or a parse status. Its next
// call, with memory back, writes and reads the number.
TEST(ZELUNUStringThreads, FirstPatternWithoutMemory)
{
    ZELUNUString text("keep");
    long status = -1;
    unsigned const written = zorvtest::firstUseSweep(
        [&] { status = text.formatPattern(-2.25, kReal, false); },
        [&](bool threw) {
            if (threw) {
                EXPECT_EQ(text, ZELUNUString("keep"));
            } else {
                EXPECT_EQ(status, kSuccess);
                EXPECT_EQ(text, ZELUNUString("-2.25"));
            }
            EXPECT_EQ(text.formatPattern(1.5, kReal, false), kSuccess);
            EXPECT_EQ(text, ZELUNUString("1.5"));
            text = ZELUNUString("keep");
        });
    EXPECT_GT(written, 0u);

    ZELUNUString const number("-2.25");
    double value = 0.0;
    unsigned const read = zorvtest::firstUseSweep(
        [&] { value = number.parsePattern(kReal, status, nullptr, false); },
        [&](bool threw) {
            if (!threw) {
                EXPECT_EQ(status, kSuccess);
                EXPECT_EQ(value, -2.25);
            }
            EXPECT_EQ(number.parsePattern(kReal, status, nullptr, false), -2.25);
            EXPECT_EQ(status, kSuccess);
        });
    EXPECT_GT(read, 0u);
}

// Bytes in a named encoding: a length of -1 takes them up to the first NUL,
// an encoding nobody knows gives the bogus string.
TEST(ZELUNUString, BytesInAnEncoding)
{
    ZELUNUString const cafe = ZELUNUString::fromUtf8("caf\xC3\xA9");
    EXPECT_EQ(ZELUNUString("caf\xE9", -1, "ISO-8859-1"), cafe);
    EXPECT_EQ(ZELUNUString("caf\xC3\xA9!", 5, "utf-8"), cafe);
    EXPECT_EQ(ZELUNUString("caf\xC3\xA9", -1, "UTF-8"), cafe);
    EXPECT_EQ(ZELUNUString("abc", -1, ""), ZELUNUString("abc"));
    EXPECT_TRUE(ZELUNUString("abc", 3, "no-such-encoding").isBogus());
}

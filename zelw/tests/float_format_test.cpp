// The 10-character number fields, checked against values worked out by hand from the rules.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "zelw.h"

namespace {

std::string plain(double x) {
    char buf[12] = "xxxxxxxxxxx";
    return MakeFloatStringA(x, buf);
}

std::string eng(double x) {
    char buf[12] = "xxxxxxxxxxx";
    return MakeFloatString2A(x, buf);
}

TEST(MakeFloatString, FixedPointRanges) {
    EXPECT_EQ(plain(0.0), "0.00000000");
    EXPECT_EQ(plain(-0.0), "0.00000000");
    EXPECT_EQ(plain(1.0), "1.00000000");
    EXPECT_EQ(plain(12.5), "12.5000000");
    EXPECT_EQ(plain(12345678.9), "12345678.9");
    EXPECT_EQ(plain(99999999.7), "99999999.7");  // nine significant digits: nothing to round
    EXPECT_EQ(plain(99999999.97), "100000000.");  // carries into a ninth integer digit
    EXPECT_EQ(plain(1e8), " 100000000");
    EXPECT_EQ(plain(123456789.4), " 123456789");
    EXPECT_EQ(plain(1e9), "1000000000");
    EXPECT_EQ(plain(1234567890.6), "1234567891");
    EXPECT_EQ(plain(0.5), "0.50000000");
    EXPECT_EQ(plain(0.00123), "0.00123000");
    EXPECT_EQ(plain(0.0001), "0.00010000");
    EXPECT_EQ(plain(0.000123456789), "0.00012346");
    EXPECT_EQ(plain(-1.0), "-1.0000000");
    EXPECT_EQ(plain(-0.5), "-0.5000000");
    EXPECT_EQ(plain(-0.00123), "-0.0012300");
    EXPECT_EQ(plain(-0.00012345678), "-0.0001235");
    EXPECT_EQ(plain(-1234.56789), "-1234.5679");
    EXPECT_EQ(plain(-9999999.97), "-10000000.");
    EXPECT_EQ(plain(-1e7), " -10000000");
    EXPECT_EQ(plain(-12345678.4), " -12345678");
    EXPECT_EQ(plain(-1e8), "-100000000");
    EXPECT_EQ(plain(-123456789.4), "-123456789");
}

TEST(MakeFloatString, ExponentForm) {
    EXPECT_EQ(plain(5e-05), "5.00000e-5");
    EXPECT_EQ(plain(1.5e-05), "1.50000e-5");
    EXPECT_EQ(plain(1.5e10), "1.50000e10");
    EXPECT_EQ(plain(1e10), "1.00000e10");
    EXPECT_EQ(plain(9.87654321e15), "9.87654e15");
    EXPECT_EQ(plain(1e100), "1.0000e100");
    EXPECT_EQ(plain(1.5e-100), "1.500e-100");
    EXPECT_EQ(plain(1e23), "1.00000e23");
    EXPECT_EQ(plain(0.0000999999999), "10.0000e-5");  // the mantissa rounds up to 10
    EXPECT_EQ(plain(-1.5e-5), "-1.5000e-5");
    EXPECT_EQ(plain(-0.0001), "-1.0000e-4");
    EXPECT_EQ(plain(-1e9), "-1.00000e9");
    EXPECT_EQ(plain(-1.5e10), "-1.5000e10");
}

TEST(MakeFloatString, RoundingIntoTheNextRangeKeepsTheValue) {
    EXPECT_EQ(plain(9999999999.7), "1.00000e10");
    EXPECT_EQ(plain(999999999.7), "1000000000");
    EXPECT_EQ(plain(0.999999999), "1.00000000");
    EXPECT_EQ(plain(0.9999999999), "1.00000000");
    EXPECT_EQ(plain(0.00099999999), "0.00100000");
    EXPECT_EQ(plain(-0.99999999), "-1.0000000");
    EXPECT_EQ(plain(-0.00099999999), "-0.0010000");
    EXPECT_EQ(plain(-99999999.7), "-100000000");
    EXPECT_EQ(plain(-999999999.7), "-1.00000e9");
}

TEST(MakeFloatString2, EngineeringRanges) {
    EXPECT_EQ(eng(0.0), "0.00000000");
    EXPECT_EQ(eng(1.0), "1.00000000");
    EXPECT_EQ(eng(999.0), "999.000000");
    EXPECT_EQ(eng(999.9999999), "1000.00000");
    EXPECT_EQ(eng(-1.0), "-1.0000000");
    EXPECT_EQ(eng(-999.5), "-999.50000");
    EXPECT_EQ(eng(-999.99999999), "-1000.0000");
    EXPECT_EQ(eng(0.5), "500.000e-3");
    EXPECT_EQ(eng(12345.0), "12.34500e3");
    EXPECT_EQ(eng(1000.0), "1.000000e3");
    EXPECT_EQ(eng(-1000.0), "-1.00000e3");
    EXPECT_EQ(eng(0.001), "1.00000e-3");
    EXPECT_EQ(eng(1.5e-5), "15.0000e-6");
    EXPECT_EQ(eng(-0.5), "-500.00e-3");
    EXPECT_EQ(eng(123456789.0), "123.4568e6");
    EXPECT_EQ(eng(999999.9999), "1000.000e3");
    EXPECT_EQ(eng(9.9999e-100), "1000.e-102");
    EXPECT_EQ(eng(-9.9999e-100), "-1.000e-99");  // 1000 has no room in three digits
}

TEST(MakeFloatString, NonFiniteValues) {
    EXPECT_EQ(plain(INFINITY), "       inf");
    EXPECT_EQ(plain(-INFINITY), "      -inf");
    EXPECT_EQ(eng(NAN), "       nan");
}

// Every field is 10 characters and reads back close to the value it shows.
TEST(MakeFloatString, EveryFieldIsTenCharactersAndShowsTheValue) {
    std::vector<double> values;
    for (int k = -320; k <= 307; ++k) {
        const double p = std::pow(10.0, k);
        for (double f : {1.0, 0.99999999999, 0.9999996, 1.00000001, 4.99999, 5.5, 9.999999999}) {
            values.push_back(p * f);
            values.push_back(-p * f);
        }
    }
    for (double x : values) {
        for (const std::string &field : {plain(x), eng(x)}) {
            ASSERT_EQ(field.size(), 10u) << x;
            const double back = std::strtod(field.c_str(), nullptr);
            EXPECT_LE(std::fabs(back - x), std::fabs(x) * 1e-2 + 1e-8) << x << " -> " << field;
        }
    }
}

TEST(MakeFloatString, OwnBuffersAndUtf16Forms) {
    char *first = MakeFloatStringA(2.0, nullptr);
    EXPECT_STREQ(first, "2.00000000");
    EXPECT_EQ(MakeFloatStringA(3.0, nullptr), first);
    EXPECT_STREQ(first, "3.00000000");
    EXPECT_NE(MakeFloatString2A(3.0, nullptr), first);

    char16_t wide[12];
    wide[11] = u'#';
    EXPECT_EQ(MakeFloatStringW(12.5, wide), wide);
    EXPECT_EQ(std::u16string(wide), u"12.5000000");
    EXPECT_EQ(wide[11], u'#');
    EXPECT_EQ(std::u16string(MakeFloatString2W(0.5, nullptr)), u"500.000e-3");
}

// Each thread formats into buffers of its own.
TEST(MakeFloatString, ThreadsDoNotShareBuffers) {
    auto worker = [](double x, std::string expected, bool *ok) {
        for (int i = 0; i < 2000; ++i) {
            const char *field = MakeFloatStringA(x, nullptr);
            if (expected != field) *ok = false;
        }
    };
    bool ok1 = true, ok2 = true;
    std::thread a(worker, 1.0, "1.00000000", &ok1);
    std::thread b(worker, -0.5, "-0.5000000", &ok2);
    a.join();
    b.join();
    EXPECT_TRUE(ok1);
    EXPECT_TRUE(ok2);
}

TEST(TrimDouble, RoundsToPlaces) {
    EXPECT_DOUBLE_EQ(TrimDouble(1.23456, 2), 1.23);
    EXPECT_DOUBLE_EQ(TrimDouble(-1.23556, 2), -1.24);
    EXPECT_DOUBLE_EQ(TrimDouble(1234.5678, 0), 1235.0);
    EXPECT_DOUBLE_EQ(TrimDouble(0.123456789, -1), 0.123457);  // no precision: 6 places
    EXPECT_DOUBLE_EQ(TrimDouble(1e300, 2), 1e300);
    EXPECT_DOUBLE_EQ(TrimDouble(5e-324, 2000), 5e-324);
    EXPECT_TRUE(std::isinf(TrimDouble(INFINITY, 3)));
}

}  // namespace

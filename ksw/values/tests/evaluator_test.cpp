#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>

#include "resources/error_codes.h"
#include "values/evaluator.h"

namespace ksw {
namespace {

// Evaluates text and expects success; returns the value.
double value_of(std::string_view text) {
    double value = -12345;
    EXPECT_EQ(evaluate_expression(text, &value), kOk) << text;
    return value;
}

// Evaluates text and returns its result code; *value starts at 99.
int code_of(std::string_view text, double *value = nullptr) {
    double v = 99;
    const int rc = evaluate_expression(text, &v);
    if (value) *value = v;
    return rc;
}

// A text and the value it evaluates to.
struct Example {
    std::string_view text;
    double value;
};

TEST(Evaluator, OperatorsFollowTheStationsRestOfLevelRule) {
    const Example examples[] = {
        {"2*3+4", 10}, {"2+3*4", 14}, {"(2+3)*4", 20}, {"10-2-3", 5}, {"1-2+3", 2},
        {"10-2*3+1", 3},     // 10 - (2*3+1)
        {"8/4/2", 4},        // 8 / (4/2)
        {"2*(3)+4", 14},     // 2 * ((3)+4)
        {"100/10/5*2", 100}, // 100 / (10 / (5*2)), worked by hand
        {"2-3*2+1", -5},     // 2 - (3*2+1)
        {"2*(1+1)*3", 12},   // 2 * ((1+1)*3)
        {"6/(1+2)", 2}, {"((4))", 4}, {"10/0.5", 20},
    };
    for (const Example &e : examples) EXPECT_EQ(value_of(e.text), e.value) << e.text;
}

TEST(Evaluator, IntegerOperatorsWorkOnTruncatedSigned32BitValues) {
    const Example examples[] = {
        {"10%3", 1},
        {"-7%3", -1}, // the sign follows the left
        {"7.9%3.9", 1},
        {"7%", 7}, // nothing after "%": the first operand stands
        {"5|2", 7}, {"H0F&3", 3}, {"1<<4", 16}, {"-8>>1", -4}, {"HFFFFFFFF>>28", -1},
        {"1<<31", -2147483648.0},
        {"1<<33", 2}, // only the low 5 bits of the count
        {"4294967295&255", 255},
        {"H80000000%-1", 0}, // the one quotient that overflows
    };
    for (const Example &e : examples) EXPECT_EQ(value_of(e.text), e.value) << e.text;
}

TEST(Evaluator, NumbersSuffixesAndUnits) {
    const Example examples[] = {
        {"H10+1", 17}, {"hff", 255}, {"HFFFFFFFF", -1},
        {"H123456789", 0x23456789}, // wraps past eight digits
        {"B101", 5}, {"b", 0}, {"B11111111111111111111111111111111", -1}, {"'A'", 65},
        {"'\xE9'", -23}, // a signed 8-bit code
        {"1.5k", 1500}, {"2K", 2000}, {"5mV", 5 * 0.001}, {"2M", 2 * 1000.0 * 1000.0},
        {"3G", 3 * 1000.0 * 1000.0 * 1000.0}, {"1.1u", 1.1 * 0.001 * 0.001},
        {"7n", 7 * 0.001 * 0.001 * 0.001}, {"3p", 3 * 0.001 * 0.001 * 0.001 * 0.001},
        {"140IRE", 140 * 0.007142857142857143}, {"70ire", 70 * 0.007142857142857143},
        {"1I", 1}, // a lone I is only a unit letter
        {"1kHz", 1000}, {"10dB+1", 11}, {"H10k", 16000}, {"B11m", 3 * 0.001}, {"1e3", 1000},
        {"2.5E-3", 0.0025}, {"1e3k", 1e6},
        {"1.2.3", 1.2}, // further points are skipped
        {"-5", -5}, {"+5", 5}, {".5", 0.5}, {"1e999", HUGE_VAL}, {"1e-999", 0}, {"inf", DBL_MAX},
        {"+INF", DBL_MAX}, {"-Inf", -DBL_MAX},
    };
    for (const Example &e : examples) EXPECT_EQ(value_of(e.text), e.value) << e.text;
}

TEST(Evaluator, DecimalsAreCorrectlyRounded) {
    const char *texts[] = {"0.1", "123.456e-7", "9007199254740993", "1.7976931348623157e308",
                           "4.9e-324", "000123.4500", "0.000000000000000000001", "123456789012345.6",
                           "1e22", "1e23", "8.589973e9", "2.2250738585072014e-308", "0e999", "1.e5"};
    for (const char *text : texts) EXPECT_EQ(value_of(text), std::strtod(text, nullptr)) << text;
    // Random short decimals, as test programs write them, against the C library.
    std::mt19937 random(7);
    for (int i = 0; i < 20000; ++i) {
        std::string text = std::to_string(random() % 100000);
        if (random() % 2) text += "." + std::to_string(random() % 1000000);
        if (random() % 3 == 0) text += "e" + std::to_string(static_cast<int>(random() % 61) - 30);
        ASSERT_EQ(value_of(text), std::strtod(text.c_str(), nullptr)) << text;
    }
}

TEST(Evaluator, FunctionsWorkInDegreesWithTheStationsConstants) {
    EXPECT_NEAR(value_of("sin(90)"), 1.0, 1e-12);
    EXPECT_EQ(value_of("sin(90)"), std::sin(90 * 0.017453292));
    EXPECT_EQ(value_of("cos(0)"), 1);
    EXPECT_EQ(value_of("tan(45)"), std::tan(45 * 0.017453292));
    EXPECT_EQ(value_of("asin(1)"), std::asin(1.0) * 57.29578121995553);
    EXPECT_EQ(value_of("acos(0)"), std::acos(0.0) * 57.29578121995553);
    EXPECT_EQ(value_of("atan(1)"), std::atan(1.0) * 57.29578121995553);
    EXPECT_EQ(value_of("log(1)"), 0);
    EXPECT_EQ(value_of("log10(1000)+1"), 4);
    EXPECT_EQ(value_of("2*sin(30)"), 2 * std::sin(30 * 0.017453292));
    EXPECT_EQ(code_of("SIN(90)"), kErrLackingArgument);  // lower case only
    EXPECT_EQ(code_of("asin(2)"), kErrTooBigSmall);
    EXPECT_EQ(code_of("acos(-1.5)"), kErrTooBigSmall);
    EXPECT_EQ(code_of("log(0)"), kErrTooBigSmall);
    EXPECT_EQ(code_of("log10(-1)"), kErrTooBigSmall);
    EXPECT_EQ(code_of("sin(30"), kErrWrongStyle);
}

TEST(Evaluator, ErrorsKeepTheFirstOperand) {
    double v = 0;
    EXPECT_EQ(code_of("", &v), kErrLackingArgument);
    EXPECT_EQ(v, 99);  // unchanged
    EXPECT_EQ(code_of("-(1)"), kErrLackingArgument);  // no unary minus but on numbers
    EXPECT_EQ(code_of("10%0.5"), kErrDividedByZero);
    EXPECT_EQ(code_of("10/0"), kErrDividedByZero);
    EXPECT_EQ(code_of("1<2"), kErrWrongStyle);
    EXPECT_EQ(code_of("1 +2", &v), kErrWrongStyle);  // white space is not skipped
    EXPECT_EQ(v, 1);
    EXPECT_EQ(code_of("2+x", &v), kErrLackingArgument);
    EXPECT_EQ(v, 2);
    EXPECT_EQ(code_of("ad[1]"), kErrAdNotAllowed);
    EXPECT_EQ(code_of("AD[1]"), kErrAdNotAllowed);
    EXPECT_EQ(code_of("rd[0]"), kErrRdNotAllowed);
    EXPECT_EQ(code_of("1+Rd[2]", &v), kErrRdNotAllowed);
    EXPECT_EQ(v, 1);
    EXPECT_EQ(code_of("(1+2"), kErrWrongStyle);
    EXPECT_EQ(code_of("H"), kErrLackingArgument);
    EXPECT_EQ(code_of("HX"), kErrLackingArgument);
    EXPECT_EQ(code_of("'A"), kErrWrongStyle);
    EXPECT_EQ(code_of("'AB'"), kErrWrongStyle);
    EXPECT_EQ(code_of("'A'V"), kErrWrongStyle);  // no unit after a character constant
    EXPECT_EQ(code_of("infV"), kErrWrongStyle);
    // A binary constant takes 32 digits at the most: the 33rd is a digit too many.
    EXPECT_EQ(code_of("B" + std::string(32, '1')), kOk);
    EXPECT_EQ(code_of("B" + std::string(33, '1')), kErrWrongStyle);
}

TEST(Evaluator, StopPositionAndTextEnd) {
    double v = 0;
    size_t stop = 0;
    EXPECT_EQ(evaluate_expression("2*3,7", &v, &stop), kOk);
    EXPECT_EQ(v, 6);
    EXPECT_EQ(stop, 3u);
    EXPECT_EQ(last_stop_position(), 3u);
    EXPECT_EQ(evaluate_expression("1+2)x", &v), kOk);
    EXPECT_EQ(v, 3);
    EXPECT_EQ(last_stop_position(), 3u);
    EXPECT_EQ(evaluate_expression("5]", &v, &stop), kOk);
    EXPECT_EQ(stop, 1u);
    EXPECT_EQ(evaluate_expression("(7%)", &v, &stop), kOk);
    EXPECT_EQ(v, 7);
    EXPECT_EQ(stop, 4u);
    // A NUL byte ends the text; nothing past the view is read.
    EXPECT_EQ(evaluate_expression(std::string_view("1+2\0+5", 6), &v, &stop), kOk);
    EXPECT_EQ(v, 3);
    EXPECT_EQ(stop, 3u);
    const std::string text = "12345";
    EXPECT_EQ(evaluate_expression(std::string_view(text).substr(0, 2), &v), kOk);
    EXPECT_EQ(v, 12);
}

TEST(Evaluator, DeepNestingFailsInsteadOfExhaustingTheStack) {
    // Each right operand that takes the rest of its level is read once, so nesting costs
    // linear time: 1*cos(1*cos(...)*1)*1 with 40 levels.
    std::string nested = "1";
    for (int i = 0; i < 40; ++i) nested = "1*cos(" + nested + ")*1";
    EXPECT_NEAR(value_of(nested), std::cos(1 * 0.017453292), 1e-6);
    EXPECT_EQ(value_of(std::string(100, '(') + "1" + std::string(100, ')')), 1);
    EXPECT_EQ(code_of(std::string(200000, '(')), kErrWrongStyle);
    std::string product = "1";
    for (int i = 0; i < 100000; ++i) product += "*1";
    EXPECT_EQ(code_of(product), kErrWrongStyle);
}

TEST(Evaluator, RandomTextsStayInsideTheTextAndGiveKnownCodes) {
    constexpr std::string_view kAlphabet = "0123456789.+-*/%&|<>()[],'HBhbkKmMunpGIREeadr[sincotgl ";
    std::mt19937 random(11);
    for (int i = 0; i < 50000; ++i) {
        std::string text(random() % 24, ' ');
        for (char &c : text) c = kAlphabet[random() % kAlphabet.size()];
        double v = 0;
        size_t stop = 0;
        // An exact-size copy, so a read past the end is caught by AddressSanitizer.
        const std::unique_ptr<char[]> exact(new char[text.size()]);
        std::copy(text.begin(), text.end(), exact.get());
        const int rc = evaluate_expression(std::string_view(exact.get(), text.size()), &v, &stop);
        EXPECT_TRUE(rc == kOk || rc == kErrWrongStyle || rc == kErrTooBigSmall || rc == kErrLackingArgument ||
                    rc == kErrDividedByZero || rc == kErrAdNotAllowed || rc == kErrRdNotAllowed) << text << " " << rc;
        EXPECT_LE(stop, text.size()) << text;
    }
}

// A define table for the tests: AB = 5, A = 1, ABC = 7, sin = 2, inf = 3.
size_t match_test_symbols(const void *, std::string_view text, double *value) {
    static constexpr std::pair<std::string_view, double> kTable[] = {
        {"AB", 5}, {"A", 1}, {"ABC", 7}, {"sin", 2}, {"inf", 3}};
    for (const auto &[name, v] : kTable) {
        if (text.starts_with(name)) {
            *value = v;
            return name.size();
        }
    }
    return 0;
}

TEST(Evaluator, SymbolsMatchByPrefixInTableOrder) {
    const SymbolLookup symbols{match_test_symbols, nullptr};
    double v = 0;
    size_t stop = 0;
    EXPECT_EQ(evaluate_expression("AB", &v, &stop, &symbols), kOk);
    EXPECT_EQ(v, 5);
    EXPECT_EQ(evaluate_expression("ABX", &v, &stop, &symbols), kErrWrongStyle);  // X is no operator
    EXPECT_EQ(stop, 2u);
    EXPECT_EQ(evaluate_expression("ABC", &v, &stop, &symbols), kErrWrongStyle);  // AB comes first
    EXPECT_EQ(evaluate_expression("A+1", &v, &stop, &symbols), kOk);
    EXPECT_EQ(v, 2);
    EXPECT_EQ(evaluate_expression("2*AB+A", &v, &stop, &symbols), kOk);
    EXPECT_EQ(v, 11);
    EXPECT_EQ(evaluate_expression("ab", &v, &stop, &symbols), kErrLackingArgument);  // case-sensitive
    EXPECT_EQ(evaluate_expression("-AB", &v, &stop, &symbols), kErrLackingArgument);
    EXPECT_EQ(evaluate_expression("ABk", &v, &stop, &symbols), kErrWrongStyle);  // no suffix on symbols
    EXPECT_EQ(evaluate_expression("sin(30)", &v, &stop, &symbols), kErrWrongStyle);  // before functions
    EXPECT_EQ(evaluate_expression("inf", &v, &stop, &symbols), kOk);  // after the inf forms
    EXPECT_EQ(v, DBL_MAX);

    // The process-wide lookup serves evaluations without their own.
    EXPECT_EQ(code_of("AB"), kErrLackingArgument);
    set_symbol_lookup(&symbols);
    EXPECT_EQ(value_of("AB*2"), 10);
    set_symbol_lookup(nullptr);
    EXPECT_EQ(symbol_lookup(), nullptr);
}

TEST(ParseIntArg, RangeWrapAndFraction) {
    int32_t v = 77;
    EXPECT_EQ(parse_int_arg("2.5", &v, 0, 10), kErrWrongStyle);
    EXPECT_EQ(v, 2);  // stored all the same
    EXPECT_EQ(parse_int_arg("-2.5", &v, -10, 10), kErrWrongStyle);
    EXPECT_EQ(v, -2);
    EXPECT_EQ(parse_int_arg("4294967295", &v, -1, 10), kOk);
    EXPECT_EQ(v, -1);
    EXPECT_EQ(parse_int_arg("HFFFFFFFF", &v, -1, 10), kOk);
    EXPECT_EQ(v, -1);
    EXPECT_EQ(parse_int_arg("2147483648", &v, INT32_MIN, INT32_MAX), kOk);
    EXPECT_EQ(v, INT32_MIN);
    v = 77;
    EXPECT_EQ(parse_int_arg("11", &v, 0, 10), kErrOutOfRange);
    EXPECT_EQ(parse_int_arg("3000000000", &v, 0, INT32_MAX), kErrOutOfRange);  // reads as negative
    EXPECT_EQ(parse_int_arg("inf", &v, INT32_MIN, INT32_MAX), kErrOutOfRange);
    EXPECT_EQ(parse_int_arg("1e999-1e999", &v, INT32_MIN, INT32_MAX), kErrOutOfRange);  // not a number
    EXPECT_EQ(parse_int_arg("x", &v, 0, 10), kErrLackingArgument);
    EXPECT_EQ(v, 77);
}

TEST(ParseUintArg, WrapRangeAndFraction) {
    uint32_t v = 77;
    EXPECT_EQ(parse_uint_arg("-1", &v), kOk);
    EXPECT_EQ(v, 4294967295u);
    EXPECT_EQ(parse_uint_arg("H80000000", &v), kOk);
    EXPECT_EQ(v, 2147483648u);
    EXPECT_EQ(parse_uint_arg("1.5", &v), kErrWrongStyle);
    EXPECT_EQ(v, 1u);
    v = 77;
    EXPECT_EQ(parse_uint_arg("-4294967297", &v), kErrTooBigSmall);
    EXPECT_EQ(parse_uint_arg("4294967296", &v), kErrTooBigSmall);
    EXPECT_EQ(v, 77u);
}

TEST(TruncateToInt32, OutsideTheRangeWrapsModulo2To32) {
    EXPECT_EQ(truncate_to_int32(3.9), 3);
    EXPECT_EQ(truncate_to_int32(-3.9), -3);
    EXPECT_EQ(truncate_to_int32(4294967295.0), -1);
    EXPECT_EQ(truncate_to_int32(4294967301.5), 5);
    EXPECT_EQ(truncate_to_int32(-4294967297.0), -1);
    EXPECT_EQ(truncate_to_int32(NAN), 0);
    EXPECT_EQ(truncate_to_int32(INFINITY), 0);
}

}  // namespace
}  // namespace ksw

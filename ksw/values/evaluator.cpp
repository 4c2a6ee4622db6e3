#include "values/evaluator.h"
#include "platform/ascii.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string>

#include "resources/error_codes.h"

namespace ksw {
namespace {

constexpr double kLargestDouble = 1.7976931348623157e308;
constexpr double kDegreesToRadians = 0.017453292;
constexpr double kRadiansToDegrees = 57.29578121995553;
constexpr double kIreFactor = 0.007142857142857143;  // 1/140
constexpr double kTwoPow32 = 4294967296.0;
// Deeper nesting (brackets, or operators that take the rest of the level) than any statement
// line can hold; it keeps a hostile text from exhausting the stack.
constexpr int kMaxNesting = 512;

std::atomic<const SymbolLookup *> g_symbols{nullptr};
std::atomic<size_t> g_last_stop{0};

constexpr bool is_digit(char c) { return c >= '0' && c <= '9'; }
constexpr bool is_letter(char c) { return platform::is_ascii_letter(c); }
constexpr char fold(char c) { return platform::ascii_lower(c); }

// The value of one hexadecimal digit, or -1.
constexpr int hex_digit(char c) {
    if (is_digit(c)) return c - '0';
    const char f = fold(c);
    return (f >= 'a' && f <= 'f') ? f - 'a' + 10 : -1;
}

enum class Fn { Sin, Cos, Tan, Asin, Acos, Atan, Log, Log10 };
struct FunctionRow {
    std::string_view name;
    Fn fn;
};
constexpr FunctionRow kFunctions[] = {
    {"sin(", Fn::Sin},   {"cos(", Fn::Cos},   {"tan(", Fn::Tan}, {"asin(", Fn::Asin},
    {"acos(", Fn::Acos}, {"atan(", Fn::Atan}, {"log(", Fn::Log}, {"log10(", Fn::Log10},
};

// Applies a function of the evaluator to x; returns 0 or error 2 outside its domain.
int apply_function(Fn fn, double x, double *out) {
    switch (fn) {
    case Fn::Sin: *out = std::sin(x * kDegreesToRadians); return kOk;
    case Fn::Cos: *out = std::cos(x * kDegreesToRadians); return kOk;
    case Fn::Tan: *out = std::tan(x * kDegreesToRadians); return kOk;
    case Fn::Asin:
    case Fn::Acos:
        if (x > 1.0 || x < -1.0) return kErrTooBigSmall;
        *out = (fn == Fn::Asin ? std::asin(x) : std::acos(x)) * kRadiansToDegrees;
        return kOk;
    case Fn::Atan: *out = std::atan(x) * kRadiansToDegrees; return kOk;
    case Fn::Log:
    case Fn::Log10:
        if (!(x > 0.0)) return kErrTooBigSmall;
        *out = fn == Fn::Log ? std::log(x) : std::log10(x);
        return kOk;
    }
    return kErrWrongStyle;
}

// Combines the truncated operands l and r with an integer operator ('<' and '>' stand for "<<"
// and ">>"); the result is signed 32-bit.
int combine_integers(char op, int32_t l, int32_t r, double *out) {
    switch (op) {
    case '%':
        if (r == 0) return kErrDividedByZero;
        *out = (r == -1) ? 0 : l % r;  // INT32_MIN % -1 would trap
        return kOk;
    case '&': *out = l & r; return kOk;
    case '|': *out = l | r; return kOk;
    case '<': *out = static_cast<int32_t>(static_cast<uint32_t>(l) << (r & 31)); return kOk;
    case '>': *out = l >> (r & 31); return kOk;
    }
    return kErrWrongStyle;
}

// Combines left and right with operator op.
int combine(char op, double left, double right, double *out) {
    switch (op) {
    case '+': *out = left + right; return kOk;
    case '-': *out = left - right; return kOk;
    case '*': *out = left * right; return kOk;
    case '/':
        if (right == 0.0) return kErrDividedByZero;
        *out = left / right;
        return kOk;
    }
    return combine_integers(op, truncate_to_int32(left), truncate_to_int32(right), out);
}

constexpr bool is_operator(char c) {
    return c == '+' || c == '-' || c == '*' || c == '/' || c == '%' || c == '&' || c == '|' ||
           c == '<' || c == '>';
}

// The value of a short unsigned decimal (at most 15 significant digits, a power of ten within
// 1e-22..1e22), computed exactly from an integer and a power of ten that a double holds exactly,
// so the one division or multiplication rounds correctly. False for any other form.
bool short_decimal(std::string_view digits, double *value) {
    static constexpr double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                         1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                         1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    uint64_t m = 0;
    int significant = 0, scale = 0;
    size_t i = 0;
    for (bool point = false; i < digits.size() && (is_digit(digits[i]) || digits[i] == '.'); ++i) {
        if (digits[i] == '.') {
            point = true;
            continue;
        }
        if ((m != 0 || digits[i] != '0') && ++significant > 15) return false;
        m = m * 10 + static_cast<uint64_t>(digits[i] - '0');
        if (point) --scale;
    }
    if (i < digits.size()) {  // the exponent: "e" or "E", an optional sign, one to three digits
        size_t j = i + 1;
        const bool minus = digits[j] == '-';
        if (digits[j] == '+' || digits[j] == '-') ++j;
        if (digits.size() - j > 3) return false;
        int exponent = 0;
        for (; j < digits.size(); ++j) exponent = exponent * 10 + (digits[j] - '0');
        scale += minus ? -exponent : exponent;
    }
    if (scale < -22 || scale > 22) return false;
    const double whole = static_cast<double>(m);
    *value = scale >= 0 ? whole * kPowers[scale] : whole / kPowers[-scale];
    return true;
}

// The value of an unsigned decimal (digits with at most one point, then an optional exponent
// with digits), correctly rounded; overflow gives infinity, underflow 0.
double decimal_value(std::string_view digits) {
    double value = 0;
    if (short_decimal(digits, &value)) return value;
    const auto [ptr, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (ec == std::errc::result_out_of_range) value = std::strtod(std::string(digits).c_str(), nullptr);
    return value;
}

// One evaluation over one text. Every reader takes a start offset and gives the offset after
// what it read (or where it failed); values go to the caller only on success.
struct Parser {
    std::string_view text;
    const SymbolLookup *symbols = nullptr;
    int depth = 0;

    char at(size_t pos) const { return pos < text.size() ? text[pos] : '\0'; }
    std::string_view rest(size_t pos) const { return pos < text.size() ? text.substr(pos) : std::string_view(); }
    bool starts_folded(size_t pos, std::string_view word) const;
    int expression(size_t pos, double *out, size_t *stop);
    int rest_of_level(double left, size_t pos, double *out, size_t *stop);
    int right_operand(char op, size_t pos, double *out, size_t *next);
    int operand(size_t pos, double *out, size_t *next);
    int function_or_group(size_t pos, double *out, size_t *next, bool *found);
    int group(size_t pos, double *out, size_t *next);
    int number(size_t pos, double *out, size_t *next);
    int hexadecimal(size_t pos, double *out, size_t *next) const;
    size_t binary(size_t pos, double *out) const;
    int decimal(size_t pos, double *out, size_t *next) const;
    size_t suffix(size_t pos, double *value) const;
};

// True when the text at pos begins with `word`, ASCII case ignored.
bool Parser::starts_folded(size_t pos, std::string_view word) const {
    if (pos > text.size() || text.size() - pos < word.size()) return false;
    for (size_t i = 0; i < word.size(); ++i) {
        if (fold(text[pos + i]) != word[i]) return false;
    }
    return true;
}

constexpr bool ends_level(char c) { return c == '\0' || c == ')' || c == ']' || c == ','; }

// expression: operand { operator right-operand } up to ")", "]", "," or the end.
int Parser::expression(size_t pos, double *out, size_t *stop) {
    double first = 0;
    size_t p = pos;
    const int rc = operand(pos, &first, &p);
    if (rc != kOk) {
        *stop = p;
        return rc;
    }
    *out = first;
    return rest_of_level(first, p, out, stop);
}

// The operators and right operands that follow `left` from pos to the end of the level. On
// success stores the combined value; on failure leaves *out alone.
int Parser::rest_of_level(double left, size_t pos, double *out, size_t *stop) {
    if (depth >= kMaxNesting) {
        *stop = pos;
        return kErrWrongStyle;
    }
    ++depth;
    int rc = kOk;
    size_t p = pos;
    while (!ends_level(at(p))) {
        const char op = text[p];
        if (!is_operator(op) || ((op == '<' || op == '>') && at(p + 1) != op)) {
            rc = kErrWrongStyle;
            break;
        }
        p += (op == '<' || op == '>') ? 2 : 1;
        double right = 0;
        rc = right_operand(op, p, &right, &p);
        if (rc < 0) {  // "%" with nothing after it: the value so far stands
            rc = kOk;
            break;
        }
        if (rc == kOk) rc = combine(op, left, right, &left);
        if (rc != kOk) break;
    }
    --depth;
    *stop = p;
    if (rc == kOk) *out = left;
    return rc;
}

// The right operand of op at pos: a "(" group with the rest of the level, one operand when "+",
// "-" or the end follows it, else the expression that starts with that operand (the rest of the
// level; the operand already read is its first). Returns -1 for "%" with no number after it.
int Parser::right_operand(char op, size_t pos, double *out, size_t *next) {
    if (at(pos) == '(') return expression(pos, out, next);
    int rc = operand(pos, out, next);
    if (rc == kErrLackingArgument && op == '%') {
        *next = pos;
        return -1;
    }
    if (rc != kOk) return rc;
    const char after = at(*next);
    if (after == '+' || after == '-' || after == '\0') return kOk;
    return rest_of_level(*out, *next, out, next);
}

// operand: an "inf" form, a defined symbol, a function, a "(" group or a number.
int Parser::operand(size_t pos, double *out, size_t *next) {
    *next = pos;
    const char c = at(pos);
    const bool signed_inf = (c == '+' || c == '-') && starts_folded(pos + 1, "inf");
    if (signed_inf || ((c == 'i' || c == 'I') && starts_folded(pos, "inf"))) {
        *out = c == '-' ? -kLargestDouble : kLargestDouble;
        *next = pos + (signed_inf ? 4 : 3);
        return kOk;
    }
    if (symbols && symbols->match) {
        double value = 0;
        const size_t length = symbols->match(symbols->table, rest(pos), &value);
        if (length > 0) {
            *out = value;
            *next = pos + std::min(length, text.size() - pos);
            return kOk;
        }
    }
    if (is_digit(c)) return number(pos, out, next);  // the common case, quickly
    bool found = false;
    const int rc = function_or_group(pos, out, next, &found);
    return found ? rc : number(pos, out, next);
}

// A function call or a "(" group at pos; *found tells whether one was there.
int Parser::function_or_group(size_t pos, double *out, size_t *next, bool *found) {
    *found = true;
    const char c = at(pos);
    if (c == '(') return group(pos + 1, out, next);
    if (c == 's' || c == 'c' || c == 't' || c == 'a' || c == 'l') {
        for (const FunctionRow &row : kFunctions) {
            if (!rest(pos).starts_with(row.name)) continue;
            double x = 0;
            const int rc = group(pos + row.name.size(), &x, next);
            return rc != kOk ? rc : apply_function(row.fn, x, out);
        }
    }
    *found = false;
    return kOk;
}

// The inside of a bracket from pos; it must stop at ")", and *next is after it.
int Parser::group(size_t pos, double *out, size_t *next) {
    if (depth >= kMaxNesting) return kErrWrongStyle;
    double value = 0;
    ++depth;
    const int rc = expression(pos, &value, next);
    --depth;
    if (rc != kOk) return rc;
    if (at(*next) != ')') return kErrWrongStyle;
    ++*next;
    *out = value;
    return kOk;
}

// number: a character constant, H<hex>, B<binary> or a decimal, with its suffix and units.
int Parser::number(size_t pos, double *out, size_t *next) {
    if (starts_folded(pos, "ad[")) return kErrAdNotAllowed;
    if (starts_folded(pos, "rd[")) return kErrRdNotAllowed;
    const char c = at(pos);
    if (c == '\'') {
        if (pos + 2 >= text.size() || text[pos + 2] != '\'') return kErrWrongStyle;
        *out = static_cast<int8_t>(text[pos + 1]);
        *next = pos + 3;
        return kOk;
    }
    double value = 0;
    size_t p = pos;
    int rc = kOk;
    if (c == 'H' || c == 'h') {
        rc = hexadecimal(pos + 1, &value, &p);
    } else if (c == 'B' || c == 'b') {
        p = binary(pos + 1, &value);
    } else {
        rc = decimal(pos, &value, &p);
    }
    if (rc != kOk) return rc;
    p = suffix(p, &value);
    while (is_letter(at(p))) ++p;
    *out = value;
    *next = p;
    return kOk;
}

// Hexadecimal digits from pos as an unsigned 32-bit number (wrapping past eight digits), taken
// as signed. No digit is error 3.
int Parser::hexadecimal(size_t pos, double *out, size_t *next) const {
    uint32_t value = 0;
    size_t p = pos;
    for (int d; (d = hex_digit(at(p))) >= 0; ++p) value = (value << 4) | static_cast<uint32_t>(d);
    *next = p;
    if (p == pos) return kErrLackingArgument;
    *out = static_cast<int32_t>(value);
    return kOk;
}

// Up to 32 binary digits from pos, most significant first, taken as signed; none gives 0.
// Returns the offset after them.
size_t Parser::binary(size_t pos, double *out) const {
    uint32_t value = 0;
    size_t p = pos;
    for (; p - pos < 32 && (at(p) == '0' || at(p) == '1'); ++p) value = (value << 1) | (at(p) == '1');
    *out = static_cast<int32_t>(value);
    return p;
}

// A decimal double at pos (sign, digits, point, exponent); no digit is error 3. The reading
// position then skips a sign, digits and points, and after an "E"/"e" a sign, digits and points.
int Parser::decimal(size_t pos, double *out, size_t *next) const {
    size_t p = pos;
    const bool negative = at(p) == '-';
    if (at(p) == '+' || at(p) == '-') ++p;
    const size_t mantissa = p;
    size_t end = p;
    while (is_digit(at(end))) ++end;
    size_t digits = end - mantissa;
    if (at(end) == '.') {
        const size_t fraction = ++end;
        while (is_digit(at(end))) ++end;
        digits += end - fraction;
    }
    if (digits == 0) return kErrLackingArgument;
    if (at(end) == 'e' || at(end) == 'E') {
        size_t e = end + 1;
        if (at(e) == '+' || at(e) == '-') ++e;
        if (is_digit(at(e))) {
            while (is_digit(at(e))) ++e;
            end = e;
        }
    }
    const double value = decimal_value(text.substr(mantissa, end - mantissa));
    *out = negative ? -value : value;
    while (is_digit(at(p)) || at(p) == '.') ++p;
    if (at(p) == 'e' || at(p) == 'E') {
        ++p;
        if (at(p) == '+' || at(p) == '-') ++p;
        while (is_digit(at(p)) || at(p) == '.') ++p;
    }
    *next = p;
    return kOk;
}

// Applies one engineering suffix at pos to *value; returns the offset after it.
size_t Parser::suffix(size_t pos, double *value) const {
    int thousands = 0;  // positive multiplies by 1000, negative by 0.001, that many times
    switch (at(pos)) {
    case 'k': case 'K': thousands = 1; break;
    case 'M': thousands = 2; break;
    case 'G': thousands = 3; break;
    case 'm': thousands = -1; break;
    case 'u': thousands = -2; break;
    case 'n': thousands = -3; break;
    case 'p': thousands = -4; break;
    default:
        if (!starts_folded(pos, "ire")) return pos;
        *value *= kIreFactor;
        return pos + 3;
    }
    for (int i = 0; i < thousands; ++i) *value *= 1000.0;
    for (int i = 0; i > thousands; --i) *value *= 0.001;
    return pos + 1;
}

// The text up to its first NUL byte.
std::string_view up_to_nul(std::string_view text) {
    const size_t nul = text.find('\0');
    return nul == std::string_view::npos ? text : text.substr(0, nul);
}

}  // namespace

void set_symbol_lookup(const SymbolLookup *lookup) { g_symbols.store(lookup, std::memory_order_release); }

const SymbolLookup *symbol_lookup() { return g_symbols.load(std::memory_order_acquire); }

int evaluate_expression(std::string_view text, double *value, size_t *stop, const SymbolLookup *symbols) {
    Parser parser{up_to_nul(text), symbols ? symbols : symbol_lookup()};
    size_t end = 0;
    const int rc = parser.expression(0, value, &end);
    g_last_stop.store(end, std::memory_order_relaxed);
    if (stop) *stop = end;
    return rc;
}

int evaluate_expression(std::string_view text, double *value) {
    return evaluate_expression(text, value, nullptr, nullptr);
}

size_t last_stop_position() { return g_last_stop.load(std::memory_order_relaxed); }

int parse_int_arg(std::string_view text, int32_t *value, int32_t minimum, int32_t maximum) {
    double v = 0;
    const int rc = evaluate_expression(text, &v);
    if (rc != kOk) return rc;
    if (v > 2147483647.0) v -= kTwoPow32;
    if (!(v >= minimum && v <= maximum)) return kErrOutOfRange;
    *value = static_cast<int32_t>(v);
    return v != std::trunc(v) ? kErrWrongStyle : kOk;
}

int parse_uint_arg(std::string_view text, uint32_t *value) {
    double v = 0;
    const int rc = evaluate_expression(text, &v);
    if (rc != kOk) return rc;
    if (v < 0.0) v += kTwoPow32;
    if (!(v >= 0.0 && v <= 4294967295.0)) return kErrTooBigSmall;
    *value = static_cast<uint32_t>(v);
    return v != std::trunc(v) ? kErrWrongStyle : kOk;
}

int32_t truncate_to_int32(double v) {
    if (v > -2147483649.0 && v < 2147483648.0) return static_cast<int32_t>(v);
    if (!std::isfinite(v)) return 0;
    double r = std::fmod(std::trunc(v), kTwoPow32);
    if (r < 0) r += kTwoPow32;
    return static_cast<int32_t>(static_cast<uint32_t>(r));
}

}  // namespace ksw

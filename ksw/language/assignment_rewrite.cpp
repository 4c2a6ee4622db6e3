// Register and switch assignments are shorthand for commands: "ad[5]=ad[6]" is
// "copyad(=,6,5)", "rd[1]=2*rd[3]" is "copy(*,3,1,2)", "sw[3]=on" is "setsw(on,3)". The
// rewritten text replaces the statement and is compiled like any other.
#include <cstdio>

#include "language/operands.h"
#include "platform/ascii.h"
#include "language/step_compiler.h"
#include "resources/error_codes.h"
#include "values/evaluator.h"

namespace ksw {
namespace {

// Operators of a right-hand side, numbered 1 to 8, and their words in the two lists: the first
// when a constant stands on the left, the second when a register does.
struct Operator {
    const char *text;
    const char *constant_left;
    const char *register_left;
};
constexpr Operator kOperators[] = {
    {"", "", ""},  // numbers start at 1
    {"+", "+", "+"}, {"-", "i-", "-"}, {"*", "*", "*"}, {"/", "i/", "/"},
    {">>", "iri", "rig"}, {"<<", "ile", "lef"}, {"&", "and", "and"}, {"|", "or", "or"},
};

// The operator at the start of `text`: its number, or 0.
int operator_at(std::string_view text) {
    for (int op = 8; op >= 1; --op) {
        const std::string_view t = kOperators[op].text;
        if (text.substr(0, t.size()) == t) return op;
    }
    return 0;
}

// One operand of a right-hand side.
struct Operand {
    char bank = 0;      // 'a' ad[], 'r' rd[], 0 a constant
    int32_t index = 0;
    double value = 0;
};

// Reads a register operand "ad[n]" / "rd[n]" at the start of `text`; its length, or 0.
size_t read_register(std::string_view text, Operand *out) {
    if (!starts_with_word(text, "ad[") && !starts_with_word(text, "rd[")) return 0;
    const size_t close = text.find(']');
    if (close == std::string_view::npos) return 0;
    if (parse_register_index(text.substr(0, close + 1), 3, &out->index) != kOk) return 0;
    out->bank = platform::ascii_lower(text[0]);
    return close + 1;
}

// True when the whole of `text` is a constant expression; its value in `*value`.
bool read_constant(std::string_view text, double *value) {
    if (text.empty()) return false;
    size_t stop = 0;
    return evaluate_expression(text, value, &stop) == kOk && stop == text.size();
}

// Reads "operand op operand"; false when the text is not of that shape.
bool read_binary(std::string_view rhs, Operand *left, int *op, Operand *right) {
    size_t left_length = read_register(rhs, left);
    if (left_length == 0) {
        // A constant on the left: the operator is the one right before the register that ends
        // the text.
        size_t at = std::string_view::npos;
        for (size_t i = 1; i < rhs.size(); ++i)
            if (starts_with_word(rhs.substr(i), "ad[") || starts_with_word(rhs.substr(i), "rd[")) at = i;
        if (at == std::string_view::npos) return false;
        for (int candidate = 8; candidate >= 1; --candidate) {
            const size_t n = std::string_view(kOperators[candidate].text).size();
            if (at >= n && rhs.substr(at - n, n) == kOperators[candidate].text) {
                *op = candidate;
                left_length = at - n;
                break;
            }
        }
        if (left_length == 0 || !read_constant(rhs.substr(0, left_length), &left->value)) return false;
    } else {
        *op = operator_at(rhs.substr(left_length));
    }
    if (*op == 0) return false;
    const std::string_view rest = rhs.substr(left_length + std::string_view(kOperators[*op].text).size());
    if (read_register(rest, right) == rest.size() && !rest.empty()) return true;
    return right->bank == 0 && read_constant(rest, &right->value);
}

std::string number(double value) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.17g", value);
    return buf;
}

std::string text_of(int value) { return std::to_string(value); }

// "ad[D]=..." and "rd[D]=..." into a register command.
int rewrite_register(std::string &statement) {
    const bool to_ad = platform::ascii_lower(statement[0]) == 'a';
    const std::string_view s = statement;
    const size_t close = s.find(']');
    int32_t d = 0;
    if (close == std::string_view::npos || parse_register_index(s.substr(0, close + 1), 3, &d) != kOk)
        return kErrLackingArgument;
    const std::string_view tail = s.substr(close + 1);
    const std::string block = to_ad ? "copyad(" : "copy(";
    const std::string D = text_of(d);
    if (tail == "++" || tail == "--") {
        statement = block + tail[0] + "," + D + "," + D + ",1)";
        return kOk;
    }
    if (tail.empty() || tail[0] != '=') return kErrWrongStyle;
    const std::string_view rhs = tail.substr(1);
    if (!rhs.empty() && rhs[0] == '"') {
        if (!to_ad) return kErrRdNotAllowed;
        statement = "setaddata(" + D + "," + std::string(rhs) + ")";
        return kOk;
    }
    double c = 0;
    if (read_constant(rhs, &c)) {
        statement = (to_ad ? "setaddata(" : "setdata(") + D + "," + number(c) + ")";
        return kOk;
    }
    Operand single;
    if (read_register(rhs, &single) == rhs.size() && !rhs.empty()) {
        const std::string S = text_of(single.index);
        if (to_ad) statement = single.bank == 'a' ? "copyad(=," + S + "," + D + ")" : "movead(inv," + S + ",1," + D + ")";
        else statement = single.bank == 'r' ? "copy(=," + S + "," + D + ")" : "movead(dir," + D + ",1," + S + ")";
        return kOk;
    }
    Operand left, right;
    int op = 0;
    if (!read_binary(rhs, &left, &op, &right)) return kErrWrongStyle;
    const char own = to_ad ? 'a' : 'r';
    if (!to_ad && op > 4) return kErrWrongStyle;
    if (left.bank == 0 && right.bank == own) {
        statement = block + kOperators[op].constant_left + "," + text_of(right.index) + "," + D + "," + number(left.value) + ")";
    } else if (left.bank == own && right.bank == 0) {
        statement = block + kOperators[op].register_left + "," + text_of(left.index) + "," + D + "," + number(right.value) + ")";
    } else if (left.bank == own && right.bank == own) {
        if (to_ad && (op == 5 || op == 6)) return kErrWrongStyle;
        statement = std::string(to_ad ? "calcad(" : "calcrd(") + kOperators[op].register_left + "," + text_of(left.index) +
                    "," + text_of(right.index) + "," + D + ")";
    } else {
        return kErrWrongStyle;
    }
    return kOk;
}

// "sw[n]=..." and "fsw[m,n]=..." into setsw( / setfsw(.
int rewrite_switch(std::string &statement, size_t prefix_length, const char *command) {
    const std::string_view s = statement;
    const size_t close = s.find(']');
    if (close == std::string_view::npos) return kErrWrongStyle;
    std::string_view inside = s.substr(prefix_length, close - prefix_length);
    const size_t comma = inside.find(',');
    int32_t m = -1, n = 0;
    if (comma != std::string_view::npos) {
        if (inside.find(',', comma + 1) != std::string_view::npos) return kErrWrongStyle;
        if (const int rc = parse_int_arg(inside.substr(0, comma), &m, 0, INT32_MAX); rc != kOk) return rc;
        inside = inside.substr(comma + 1);
    }
    if (const int rc = parse_int_arg(inside, &n, 0, INT32_MAX); rc != kOk) return rc;
    if (s.substr(close, 2) != "]=") return kErrWrongStyle;
    const std::string_view value = s.substr(close + 2);
    const bool pair = m >= 0;
    auto word_is = [&](std::string_view word) { return value.size() == word.size() && starts_with_word(value, word); };
    std::string out = command;
    if (word_is("on")) {
        out += pair ? "set," + text_of(m) + "," + text_of(n) + ")" : "on," + text_of(n) + ")";
    } else if (word_is("off")) {
        out += pair ? "reset," + text_of(m) + "," + text_of(n) + ")" : "off," + text_of(n) + ")";
    } else if (starts_with_word(value, "ad[")) {
        int32_t index = 0;
        if (parse_register_index(value, 3, &index) != kOk) return kErrWrongStyle;
        out += "=," + text_of(n) + ",ad[" + text_of(index) + "])";
    } else {
        uint32_t v = 0;
        if (const int rc = parse_uint_arg(value, &v); rc != kOk) return rc;
        out += "=," + text_of(n) + "," + std::to_string(v) + ")";
    }
    statement = std::move(out);
    return kOk;
}

}  // namespace

int rewrite_assignment(std::string &statement) {
    if (starts_with_word(statement, "ad[") || starts_with_word(statement, "rd[")) return rewrite_register(statement);
    if (starts_with_word(statement, "sw[")) return rewrite_switch(statement, 3, "setsw(");
    if (starts_with_word(statement, "fsw[")) return rewrite_switch(statement, 4, "setfsw(");
    return kOk;
}

}  // namespace ksw

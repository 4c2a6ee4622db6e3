#include "language/conditionals.h"

#include "resources/error_codes.h"

namespace ksw {

int classify_directive(DefineTable &table, std::string_view statement, bool active, int *code) {
    *code = kOk;
    if (statement.empty() || statement.front() != '#') return kOrdinaryStatement;
    const std::string_view word = statement.substr(1);
    auto after = [&](std::string_view directive) { return word.substr(directive.size()); };
    if (word.rfind("define", 0) == 0) {
        if (!active) return kDirectiveHandled;
        *code = define_symbol(table, after("define"), kSourceProgram);
        return *code == kOk ? kDirectiveHandled : kDirectiveError;
    }
    if (word.rfind("undef", 0) == 0) {
        if (active) {
            undefine_symbol(table, after("undef"));
        }
        return kDirectiveHandled;
    }
    if (word.rfind("ifdef", 0) == 0) return is_defined(table, after("ifdef")) ? kConditionHolds : kConditionFails;
    if (word.rfind("ifndef", 0) == 0) return is_defined(table, after("ifndef")) ? kConditionFails : kConditionHolds;
    if (word == "else") return kDirectiveElse;
    if (word == "endif") return kDirectiveEndif;
    *code = kErrUndefinedCommand;
    return kDirectiveError;
}

const std::string &ConditionalBlocks::open_statement() const {
    static const std::string none;
    return parts_.empty() ? none : parts_.back().statement;
}

int ConditionalBlocks::feed(int kind, bool *compile, int line, std::string_view statement) {
    *compile = false;
    switch (kind) {
    case kOrdinaryStatement:
        *compile = active();
        return kOk;
    case kConditionHolds:
    case kConditionFails: {
        const bool parent = active();
        const bool held = kind == kConditionHolds;
        parts_.push_back(Part{parent && held, parent, held, false, line, std::string(statement)});
        return kOk;
    }
    case kDirectiveElse:
        if (parts_.empty()) return kErrMissingIfdef;
        if (parts_.back().in_else) return kErrElseDuplicated;
        parts_.back().in_else = true;
        parts_.back().active = parts_.back().parent_active && !parts_.back().held;
        return kOk;
    case kDirectiveEndif:
        if (parts_.empty()) return kErrMissingIfdef;
        parts_.pop_back();
        return kOk;
    default:
        return kOk;  // handled directives
    }
}

int ConditionalBlocks::finish() const { return parts_.empty() ? kOk : kErrMissingEndif; }

}  // namespace ksw

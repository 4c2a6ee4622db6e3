#include "values/defines.h"

#include <cstdlib>

#include "resources/error_codes.h"
#include "values/evaluator.h"

namespace ksw {
namespace {

std::string_view significant(std::string_view name) { return name.substr(0, kMaxDefineName); }

DefineEntry *find_defined(DefineTable &table, std::string_view name) {
    name = significant(name);
    for (DefineEntry &entry : table.entries)
        if (entry.source > 0 && entry.name == name) return &entry;
    return nullptr;
}

size_t match_define(const void *table, std::string_view text, double *value) {
    size_t length = 0;
    return lookup_define(*static_cast<const DefineTable *>(table), text, value, &length) ? length : 0;
}

// Reads the value of a definition: the whole text must be one constant expression, which may
// use the symbols defined before.
int definition_value(const DefineTable &table, std::string_view text, double *value) {
    const SymbolLookup symbols{&match_define, &table};
    size_t stop = 0;
    const int rc = evaluate_expression(text, value, &stop, &symbols);
    if (rc != 0) return rc;
    return stop == text.size() ? 0 : kErrWrongStyle;
}

}  // namespace

DefineTable &define_table() {
    // The process-wide table is also where every evaluation looks its symbols up.
    static DefineTable table;
    static const SymbolLookup symbols{&match_define, &table};
    static const bool installed = (set_symbol_lookup(&symbols), true);
    (void)installed;
    return table;
}

int define_symbol(DefineTable &table, std::string_view text, int source) {
    if (text.size() > kMaxDefinitionText) return kErrLineTooLong;
    std::string_view name = text;
    double value = 0;
    const size_t open = text.find('(');
    if (open != std::string_view::npos) {
        if (text.back() != ')' || text.size() < open + 2) return kErrBracketMissing;
        if (const int rc = definition_value(table, text.substr(open + 1, text.size() - open - 2), &value); rc != 0) return rc;
        name = text.substr(0, open);
    }
    if (name.empty()) return kErrLackingArgument;
    name = significant(name);

    if (DefineEntry *entry = find_defined(table, name)) {
        if (entry->source == kSourceProgram && source == kSourceProgram) return kErrAlreadyDefined;
        if (entry->source == kSourceProgram || source == kSourceCommandLine) entry->source = source;
        entry->value = value;
        return kOk;
    }
    for (DefineEntry &entry : table.entries) {
        if (entry.source != 0) continue;
        entry.name = std::string(name);
        entry.source = source;
        entry.value = value;
        return kOk;
    }
    return kErrTooManyDefines;
}

DefineLookupScope::DefineLookupScope(const DefineTable &table)
    : lookup_{&match_define, &table}, previous_(symbol_lookup()) {
    set_symbol_lookup(&lookup_);
}

DefineLookupScope::~DefineLookupScope() { set_symbol_lookup(previous_); }

void reset_defines(DefineTable &table, int mode) {
    for (DefineEntry &entry : table.entries) {
        entry.source = std::abs(entry.source);
        const bool drop = (mode == 0) || (mode == 3 && entry.source == kSourceProgram) ||
                          (mode == 2 && entry.source >= kSourceSetting);
        if (drop) entry = DefineEntry{};
    }
}

bool is_defined(const DefineTable &table, std::string_view name) {
    return find_defined(const_cast<DefineTable &>(table), name) != nullptr;
}

bool lookup_define(const DefineTable &table, std::string_view text, double *value, size_t *length) {
    for (const DefineEntry &entry : table.entries) {
        if (entry.source <= 0 || entry.name.size() > text.size()) continue;
        if (text.compare(0, entry.name.size(), entry.name) != 0) continue;
        *value = entry.value;
        *length = entry.name.size();
        return true;
    }
    return false;
}

bool undefine_symbol(DefineTable &table, std::string_view name) {
    DefineEntry *entry = find_defined(table, name);
    if (entry) entry->source = -entry->source;
    return entry != nullptr;
}

}  // namespace ksw

// Defined symbols. Symbols come from three sources: the "-F"
// switch (1), the Define setting (2) and "#define" in the program (3); "#undef" switches a
// symbol off by negating its source until the next compilation. The table outlives
// compilations: only the program's own definitions are dropped before each one.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "values/evaluator.h"

namespace ksw {

constexpr int kMaxDefines = 50;
constexpr size_t kMaxDefineName = 30;      // significant characters of a name
constexpr size_t kMaxDefinitionText = 63;  // "NAME" or "NAME(expression)"

enum DefineSource : int { kSourceCommandLine = 1, kSourceSetting = 2, kSourceProgram = 3 };

struct DefineEntry {
    double value = 0;
    int source = 0;  // 0 free, negative: switched off by #undef
    std::string name;
};

struct DefineTable {
    std::array<DefineEntry, kMaxDefines> entries;
};

// The process-wide table; from its first use on, evaluations find their symbols in it.
DefineTable &define_table();

// Makes evaluations find their symbols in `table` for the life of the object (a compilation
// with a table of its own), then restores the lookup that was in force.
class DefineLookupScope {
public:
    explicit DefineLookupScope(const DefineTable &table);
    ~DefineLookupScope();
    DefineLookupScope(const DefineLookupScope &) = delete;
    DefineLookupScope &operator=(const DefineLookupScope &) = delete;

private:
    SymbolLookup lookup_;
    const SymbolLookup *previous_;
};

// Defines "NAME" (value 0) or "NAME(expression)" from `source`. An existing symbol of that name
// is updated: a "-F" symbol keeps source 1; a setting symbol takes source 1 from "-F"; a program
// symbol defined again by the program is e061, by "-F" or the setting it takes that source.
// Returns 0, e060 (table full), e061, e070 (a "(" without a final ")"), e003 (no name), e068
// (a definition text of more than 63 characters) or the evaluator's code for the value.
[[nodiscard]] int define_symbol(DefineTable &table, std::string_view text, int source);

// Undoes every "#undef", then frees the entries of source 3 (mode 3, before each compilation),
// of sources 2 and 3 (mode 2, the setting replaced) or all (mode 0).
void reset_defines(DefineTable &table, int mode);

// True when a symbol of exactly this name (case-sensitive) is defined and not switched off.
bool is_defined(const DefineTable &table, std::string_view name);

// The first defined symbol in table order whose name begins `text` (case-sensitive): its
// value and name length. False when there is none.
bool lookup_define(const DefineTable &table, std::string_view text, double *value, size_t *length);

// Switches the symbol of exactly this name off until the next compilation (what #undef does).
// False when no such symbol is defined.
bool undefine_symbol(DefineTable &table, std::string_view name);

}  // namespace ksw

// ksw-results: what the results database says about yield.
//
//   ksw-results [--db=FILE] [--from=YYYY-MM-DD] [--to=YYYY-MM-DD] yield
//   ksw-results [--db=FILE] [--from=...] [--to=...] [--top=N] worst
//   ksw-results [--db=FILE] [--from=...] [--to=...] csv|json
//
// yield: OK and NG runs and the OK share per day and program; worst: the steps with the most NG
// verdicts; csv / json: every run of the range with its steps. The database defaults to
// "results.db" in the current folder. Exit 0, 1 when the database cannot be read, 2 for usage.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "station/results_database.h"

namespace {

bool option(const std::string &arg, const char *name, std::string *value) {
    const std::string prefix = std::string(name) + "=";
    if (arg.compare(0, prefix.size(), prefix) != 0) return false;
    *value = arg.substr(prefix.size());
    return true;
}

int usage() {
    std::fprintf(stderr, "usage: ksw-results [--db=FILE] [--from=YYYY-MM-DD] [--to=YYYY-MM-DD] [--top=N] "
                         "yield|worst|csv|json\n");
    return 2;
}

}  // namespace

int main(int argc, char **argv) {
    std::string db = "results.db", command, top = "10";
    ksw::ResultsQuery query;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (option(a, "--db", &db) || option(a, "--from", &query.from) || option(a, "--to", &query.to) ||
            option(a, "--top", &top))
            continue;
        if (!command.empty() || a.rfind("--", 0) == 0) return usage();
        command = a;
    }
    std::string error;
    if (command == "yield") {
        std::vector<ksw::YieldRow> rows;
        if (!ksw::query_yield(db, query, &rows, &error)) return std::fprintf(stderr, "ksw-results: %s\n", error.c_str()), 1;
        std::printf("%-10s  %-20s %8s %8s %8s\n", "day", "program", "OK", "NG", "yield");
        for (const ksw::YieldRow &r : rows) {
            const int total = r.ok + r.ng;
            std::printf("%-10s  %-20s %8d %8d %7.2f%%\n", r.day.c_str(), r.program.c_str(), r.ok, r.ng,
                        total ? r.ok * 100.0 / total : 0.0);
        }
        return 0;
    }
    if (command == "worst") {
        std::vector<ksw::WorstStepRow> rows;
        if (!ksw::query_worst_steps(db, query, std::atoi(top.c_str()), &rows, &error))
            return std::fprintf(stderr, "ksw-results: %s\n", error.c_str()), 1;
        std::printf("%-20s %6s %8s %8s\n", "program", "step", "NG", "runs");
        for (const ksw::WorstStepRow &r : rows) std::printf("%-20s %6d %8d %8d\n", r.program.c_str(), r.step, r.ng, r.total);
        return 0;
    }
    if (command == "csv" || command == "json") {
        std::string out;
        if (!ksw::export_runs(db, query, command == "json", &out, &error))
            return std::fprintf(stderr, "ksw-results: %s\n", error.c_str()), 1;
        std::fwrite(out.data(), 1, out.size(), stdout);
        return 0;
    }
    return usage();
}

#include "ui/console/program_check.h"

#include "resources/format.h"
#include "runtime/outside_devices.h"
#include "ui/console/console_frontend.h"

namespace ksw {

std::vector<std::string> missing_front_end_lines(const ProgramModel &model, const ProgramCompilation &compilation) {
    std::vector<std::string> lines;
    for (int n = 0; n < kStepCount; ++n) {
        const StepRecord *step = model.step(n);
        if (!step) continue;
        for (const auto &command : step->commands) {
            const MissingFrontEnd *missing = missing_front_end(command->row);
            if (!missing) continue;
            std::string file;
            int line = 0;
            std::string where = source_of(compilation, command->source_line, &file, &line)
                                    ? terminal_text(file) + format_text(":%d: step %d: ", {line, n})
                                    : format_text("step %d, command %d: ", {n, command->index});
            lines.push_back(where + missing_front_end_text(*missing));
        }
    }
    return lines;
}

}  // namespace ksw

#include "compiler/program_compiler.h"

#include <unistd.h>

#include "platform/files.h"
#include "resources/error_codes.h"
#include "resources/format.h"
#include "resources/messages.h"
#include "ui/message_box.h"
#include "values/usage_report.h"

namespace ksw {
namespace {

constexpr const char *kIntermediateFile = "temp0001.$$$";
constexpr const char *kCompileDataFile = "temp0002.$$$";

// Makes the program's folder current for the life of the object.
class FolderScope {
public:
    explicit FolderScope(const std::string &folder) {
        char buf[4096];
        if (getcwd(buf, sizeof buf)) start_ = buf;
        entered_ = folder.empty() || folder == "." || chdir(folder.c_str()) == 0;
    }
    ~FolderScope() {
        if (!start_.empty()) (void)chdir(start_.c_str());
    }
    bool entered() const { return entered_; }

private:
    std::string start_;
    bool entered_ = false;
};

void report_temp_failure(ProgramCompilation &out, const CompileOptions &options, const char *name) {
    out.report = format_text(message_text(kMsgCantOpenTempFile), {name});
    show_message(options.frontend, out.report, "ERROR", Buttons::Ok, BoxIcon::Stop);
}

void remove_intermediate(const CompileOptions &options) {
    if (!options.keep_macro_data) ::unlink(kIntermediateFile);
}

// The second pass over the intermediate file, with the compile-data file when asked for.
CompileResult second_pass(ProgramFile &intermediate, ProgramModel &model, DefineTable &defines,
                          const CompileOptions &options, ProgramCompilation &out) {
    ProgramFile compile_data;
    CompileState state;
    state.model = &model;
    state.defines = &defines;
    if (options.save_compile_data) {
        if (!compile_data.create(kCompileDataFile)) {
            report_temp_failure(out, options, kCompileDataFile);
            CompileResult failed;
            failed.code = kErrOpenFile;
            return failed;
        }
        state.compile_data = &compile_data;
    }
    CompileResult result = compile_pass(state, intermediate);
    compile_data.close();
    return result;
}

}  // namespace

ProgramCompilation compile_program(const std::string &path, ProgramModel &model, DefineTable &defines,
                                   const CompileOptions &options) {
    ProgramCompilation out;
    FolderScope folder(ksw::platform::directory_of(path));
    const std::string name(ksw::platform::file_name_of(path));
    if (!folder.entered()) {
        out.failed_stage = CompileStage::kFirstPass;
        out.report = format_text(message_text(kMsgCantOpenFile), {path});
        show_message(options.frontend, out.report, "MACRO", Buttons::Ok, BoxIcon::Stop);
        return out;
    }

    ProgramFile intermediate;
    if (!intermediate.create(kIntermediateFile)) {
        out.failed_stage = CompileStage::kFirstPass;
        report_temp_failure(out, options, kIntermediateFile);
        return out;
    }
    Preprocessor pp;
    pp.frontend = options.frontend;
    pp.out = &intermediate;
    const bool preprocessed = preprocess_program(pp, name);
    const bool written = intermediate.close();
    if (!preprocessed || !written) {
        out.failed_stage = CompileStage::kFirstPass;
        out.code = pp.error_code;
        out.report = pp.report;
        if (preprocessed) report_temp_failure(out, options, kIntermediateFile);
        remove_intermediate(options);
        return out;
    }
    if (!intermediate.open_read(kIntermediateFile)) {
        out.failed_stage = CompileStage::kFirstPass;
        ::unlink(kIntermediateFile);
        report_temp_failure(out, options, kIntermediateFile);
        return out;
    }

    free_program(model);
    reset_defines(defines, 3);
    model.register_usage.clear();
    {
        const DefineLookupScope symbols(defines);
        out.result = second_pass(intermediate, model, defines, options, out);
    }
    intermediate.close();
    remove_intermediate(options);

    if (out.result.code != kOk) {
        out.failed_stage = CompileStage::kSecondPass;
        out.code = out.result.code;
        if (out.report.empty()) {
            out.report = compile_error_report(out.result);
            show_message(options.frontend, out.report, "ERROR", Buttons::Ok, BoxIcon::Stop);
        }
        const size_t line = static_cast<size_t>(out.result.line);
        if (line >= 1 && line <= pp.line_map.size()) {
            out.source_file = pp.files[static_cast<size_t>(pp.line_map[line - 1].file)];
            out.source_line = pp.line_map[line - 1].line;
        }
        free_program(model);
        return out;
    }
    if (options.save_compile_data) write_register_usage(model.register_usage, ".", options.frontend);
    out.loaded = true;
    return out;
}

}  // namespace ksw

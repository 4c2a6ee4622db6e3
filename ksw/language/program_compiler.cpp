#include "language/program_compiler.h"

#include "language/dbcs.h"
#include "language/usage_report.h"
#include "platform/files.h"
#include "platform/raw_file.h"
#include "resources/error_codes.h"
#include "resources/format.h"
#include "resources/messages.h"

namespace ksw {
namespace {

std::string in_folder(const std::string &folder, const std::string &name) {
    return (folder.empty() || folder == ".") ? name : folder + "/" + name;
}

void notice(ProgramCompilation &out, std::string text, const char *word) {
    out.notices.push_back(CompileNotice{std::move(text), word, false});
}

void report_temp_failure(ProgramCompilation &out, const std::string &name, const std::string &reason) {
    out.report = format_text(message_text(kMsgCantOpenTempFile), {name});
    if (!reason.empty()) out.report += "\n(" + reason + ")";
    notice(out, out.report, "ERROR");
}

// An intermediate file of this process: removed when the compile ends, unless it is to be
// kept, in which case it takes its plain name (replacing whatever stood there, never writing
// through a link).
class PrivateFile {
public:
    PrivateFile(std::string folder, const char *name)
        : path_(in_folder(folder, private_file_name(name))), kept_path_(in_folder(folder, name)) {}
    ~PrivateFile() {
        file.close();
        if (created_) platform::remove_file(path_);
    }
    bool create() { return created_ = file.create_new(path_); }
    bool reopen() { return file.open_read(path_); }
    // Closes the file and gives it its plain name.
    void keep() {
        file.close();
        if (created_ && platform::rename_file(path_, kept_path_)) created_ = false;
    }
    const std::string &path() const { return path_; }

    ProgramFile file;

private:
    std::string path_;
    std::string kept_path_;
    bool created_ = false;
};

// The second pass over the intermediate file, with the compile-data file when asked for.
CompileResult second_pass(ProgramFile &intermediate, ProgramModel &model, DefineTable &defines,
                          const CompileOptions &options, const std::string &folder, ProgramCompilation &out) {
    PrivateFile compile_data(folder, kCompileDataFile);
    CompileState state;
    state.build.model = &model;
    state.build.table = options.table;
    state.build.options = options.language;
    state.defines = &defines;
    if (options.save_compile_data) {
        if (!compile_data.create()) {
            report_temp_failure(out, kCompileDataFile, compile_data.file.error());
            CompileResult failed;
            failed.code = kErrOpenFile;
            return failed;
        }
        state.compile_data = &compile_data.file;
    }
    CompileResult result = compile_pass(state, intermediate);
    if (options.save_compile_data) compile_data.keep();
    return result;
}

}  // namespace

std::string private_file_name(const char *name) {
    std::string text(name);
    const size_t dot = text.find('.');
    text.insert(dot == std::string::npos ? text.size() : dot, "-" + std::to_string(platform::process_id()));
    return text;
}

ProgramCompilation compile_program(const std::string &path, ProgramModel &model, DefineTable &defines,
                                   const CompileOptions &options) {
    ProgramCompilation out;
    const CodePageScope code_page(options.language.code_page);
    const std::string folder = platform::directory_of(path);
    const std::string name(platform::file_name_of(path));

    PrivateFile intermediate(folder, kIntermediateFile);
    if (!intermediate.create()) {
        out.failed_stage = CompileStage::kFirstPass;
        report_temp_failure(out, intermediate.path(), intermediate.file.error());
        return out;
    }
    Preprocessor pp;
    pp.out = &intermediate.file;
    pp.base_folder = folder;
    pp.progress = options.progress ? &options.progress : nullptr;
    const bool preprocessed = preprocess_program(pp, name);
    const bool written = intermediate.file.close();
    if (!preprocessed || !written) {
        if (options.keep_macro_data) intermediate.keep();
        out.failed_stage = CompileStage::kFirstPass;
        out.code = pp.error_code;
        if (preprocessed) {
            report_temp_failure(out, intermediate.path(), intermediate.file.error());
        } else {
            out.report = pp.report;
            out.source_file = pp.failed_file;
            out.source_line = pp.failed_line;
            notice(out, out.report, "MACRO");
        }
        return out;
    }
    if (!intermediate.reopen()) {
        out.failed_stage = CompileStage::kFirstPass;
        report_temp_failure(out, intermediate.path(), intermediate.file.error());
        return out;
    }

    free_program(model);
    reset_defines(defines, 3);
    model.register_usage.clear();
    {
        const DefineLookupScope symbols(defines);
        out.result = second_pass(intermediate.file, model, defines, options, folder, out);
    }
    if (options.keep_macro_data) intermediate.keep();

    if (out.result.code != kOk) {
        out.failed_stage = CompileStage::kSecondPass;
        out.code = out.result.code;
        if (out.report.empty()) {
            out.report = compile_error_report(out.result);
            notice(out, out.report, "ERROR");
        }
        const size_t line = static_cast<size_t>(out.result.line);
        if (line >= 1 && line <= pp.line_map.size()) {
            out.source_file = pp.files[static_cast<size_t>(pp.line_map[line - 1].file)];
            out.source_line = pp.line_map[line - 1].line;
        }
        free_program(model);
        return out;
    }
    if (options.save_compile_data) {
        std::string report;
        if (write_register_usage(model.register_usage, folder, &report) != kOk)
            out.notices.push_back(CompileNotice{report, std::string(message_text(kStrDataSavingCaption)), true});
    }
    out.source_files = std::move(pp.files);
    out.line_map = std::move(pp.line_map);
    out.loaded = true;
    return out;
}

bool source_of(const ProgramCompilation &compilation, int intermediate_line, std::string *file, int *line) {
    if (intermediate_line < 1 || static_cast<size_t>(intermediate_line) > compilation.line_map.size()) return false;
    const SourceLine &origin = compilation.line_map[static_cast<size_t>(intermediate_line) - 1];
    if (origin.file < 0 || static_cast<size_t>(origin.file) >= compilation.source_files.size()) return false;
    *file = compilation.source_files[static_cast<size_t>(origin.file)];
    *line = origin.line;
    return true;
}

}  // namespace ksw

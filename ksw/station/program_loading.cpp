#include "station/program_loading.h"

#include "commands/commands.h"
#include "language/file_access.h"
#include "platform/files.h"
#include "resources/format.h"
#include "resources/messages.h"
#include "model/frontend.h"
#include "station/message_box.h"
#include "zelcode.h"
#include "zelw.h"

namespace ksw {

int bind_coded_file_library(platform::DynamicLibrary &library, Frontend *frontend) {
    if (!library.load("zelcode.dll", false)) return 0;
    ZelcodeGetVersionFn get_version = nullptr;
    CodedFileFunctions functions;
    const bool complete = library.bind("CodeGetVersion", &get_version) && get_version() >= ZELCODE_VERSION &&
                          library.bind("CreateCodedFile", &functions.create) &&
                          library.bind("ReadCodedFile", &functions.read) &&
                          library.bind("WriteCodedFile", &functions.write) &&
                          library.bind("SetCodedFilePointer", &functions.seek) &&
                          library.bind("CloseCodedFile", &functions.close);
    if (complete) (void)library.bind("CodeGetErrorText", &functions.error_text);  // optional
    if (!complete) {
        library.unload();
        show_message(frontend, message_text(kMsgZelcodeTooOld), {}, Buttons::Ok, BoxIcon::Stop);
        return -1;
    }
    bind_coded_files(&functions);
    return 1;
}

void unbind_coded_file_library(platform::DynamicLibrary &library) {
    bind_coded_files(nullptr);
    library.unload();
}

void define_startup_symbols(DefineTable &table, const Settings &settings) {
    reset_defines(table, 2);
    for (const PreprocessorDefinition &definition : preprocessor_definitions(settings))
        (void)define_symbol(table, definition.text, definition.source);  // a bad symbol is left out, as at start-up
}

void apply_code_page(const Settings &settings) { ZelwSetCodePage(settings.code_page == 932 ? 932 : 0); }

CompileOptions load_options(const Settings &settings, Frontend *frontend) {
    CompileOptions options;
    options.keep_macro_data = (settings.rec_flags & kRecSaveMacro) != 0;
    options.save_compile_data = (settings.rec_flags & kRecSaveCompile) != 0;
    options.table = command_table();
    options.language.evr_width = settings.evr_width;
    options.language.code_page = settings.code_page == 932 ? 932 : 0;
    if (frontend) {
        options.progress = [frontend](int line) {
            frontend->set_status_text(kPaneOperation, "Line " + std::to_string(line));
        };
    }
    return options;
}

void show_compile_notices(const ProgramCompilation &compilation, Frontend *frontend) {
    if (!frontend) return;
    for (const CompileNotice &notice : compilation.notices) {
        if (notice.whole_caption) frontend->ask(notice.text, notice.caption_word, Buttons::Ok, BoxIcon::Exclamation);
        else show_message(frontend, notice.text, notice.caption_word, Buttons::Ok, BoxIcon::Stop);
    }
}

ProgramCompilation compile_station_program(const std::string &path, ProgramModel &model, DefineTable &defines,
                                           const Settings &settings, Frontend *frontend) {
    if (path.size() > kPathTextLimit) {
        ProgramCompilation refused;
        refused.failed_stage = CompileStage::kFirstPass;
        refused.report = format_text(message_text(kMsgCantOpenFile), {path}) + "\n(the path is longer than " +
                         std::to_string(kPathTextLimit) + " characters)";
        refused.notices.push_back(CompileNotice{refused.report, "MACRO", false});
        return refused;
    }
    return compile_program(path, model, defines, load_options(settings, frontend));
}

bool load_program(const std::string &path, ProgramModel &model, DefineTable &defines, const Settings &settings,
                  Frontend *frontend, ProgramCompilation *outcome) {
    if (frontend) frontend->set_status_text(kPaneRunMode, platform::file_name_of(path));
    ProgramCompilation result = compile_station_program(path, model, defines, settings, frontend);
    show_compile_notices(result, frontend);
    const bool loaded = result.loaded;
    if (outcome) *outcome = std::move(result);
    return loaded;
}

}  // namespace ksw

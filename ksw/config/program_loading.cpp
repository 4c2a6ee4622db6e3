#include "config/program_loading.h"

#include "compiler/dbcs.h"
#include "compiler/file_access.h"
#include "platform/files.h"
#include "resources/messages.h"
#include "ui/frontend.h"
#include "ui/message_box.h"
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
        define_symbol(table, definition.text, definition.source);
}

void apply_code_page(const Settings &settings) {
    const int code_page = settings.code_page == 932 ? 932 : 0;
    set_code_page(code_page);
    ZelwSetCodePage(code_page);
}

CompileOptions load_options(const Settings &settings, Frontend *frontend) {
    CompileOptions options;
    options.keep_macro_data = (settings.rec_flags & kRecSaveMacro) != 0;
    options.save_compile_data = (settings.rec_flags & kRecSaveCompile) != 0;
    options.frontend = frontend;
    return options;
}

bool load_program(const std::string &path, ProgramModel &model, DefineTable &defines, const Settings &settings,
                  Frontend *frontend, ProgramCompilation *outcome) {
    if (frontend) frontend->set_status_text(2, platform::file_name_of(path));
    ProgramCompilation result = compile_program(path, model, defines, load_options(settings, frontend));
    const bool loaded = result.loaded;
    if (outcome) *outcome = std::move(result);
    return loaded;
}

}  // namespace ksw

// Any bytes as a test program: the whole load (both passes) either compiles or reports an
// error; it never crashes, hangs or reads out of bounds. With KSW_FUZZ_FIRST_PASS defined only
// the first pass runs.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "language/listing.h"
#include "compile_support.h"
#include "language/program_compiler.h"

namespace {

// The folder's name for the clean-up at exit, which runs after static strings are gone.
char g_folder_at_exit[4096];

// A private folder for the program file, made once per process and removed when it ends.
const std::string &work_folder() {
    static const std::string folder = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "ksw-fuzz-XXXXXX").string();
        if (pattern.size() >= sizeof g_folder_at_exit || !mkdtemp(pattern.data())) std::abort();
        pattern.copy(g_folder_at_exit, pattern.size());
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(g_folder_at_exit, ignored);
        });
        return pattern;
    }();
    return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string path = work_folder() + "/main.ks";
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char *>(data), static_cast<std::streamsize>(size));
    }
    // The program may include itself or the fixed library file; both exist.
    {
        std::ofstream lib(work_folder() + "/lib.ks", std::ios::binary | std::ios::trunc);
        lib << "#macro Lib\nwait(1)\n#endm\nstep 4000\nno_operation\n";
    }
#ifdef KSW_FUZZ_FIRST_PASS
    ksw::ProgramFile out;
    const std::string temp = work_folder() + "/temp0001.$$$";
    std::filesystem::remove(temp);
    if (!out.create_new(temp)) std::abort();
    ksw::Preprocessor pp;
    pp.out = &out;
    pp.base_folder = work_folder();
    ksw::preprocess_program(pp, "main.ks");
    out.close();
    if (pp.include_depth != 0) std::abort();
#else
    static ksw::ProgramModel model;
    static ksw::DefineTable defines;
    const ksw::ProgramCompilation result = ksw::compile_program(path, model, defines, ksw::testing::compile_options());
    if (result.loaded) {
        (void)ksw::compile_listing(model, ksw::command_table());
    } else if (result.report.empty()) {
        std::abort();  // a failure always says why
    }
#endif
    return 0;
}

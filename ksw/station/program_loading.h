// Loading test programs as the station does it: the coded-file library bound at start-up
// (when an administrator installed it, every program file is a coded file from then on), the
// symbols of the Define setting and the -F switches, and the load itself with its messages.
#pragma once

#include <string>

#include "language/program_compiler.h"
#include "platform/dynlib.h"
#include "station/settings.h"
#include "values/defines.h"

namespace ksw {

class Frontend;

// Looks for "zelcode.dll" on $KSW_LIBRARY_PATH and in the station's own library folder (never
// on the system path). Missing: 0, files stay plain. Present but older than 0x100 or lacking a
// function: the library is unloaded, "s022: ZELCODE.DLL is too old" is shown with the program
// title as caption, and -1 is returned. Otherwise the file-access layer uses it and 1 is returned.
[[nodiscard]] int bind_coded_file_library(platform::DynamicLibrary &library, Frontend *frontend);

// Undoes a binding (shutdown): files are plain again and the library is unloaded.
void unbind_coded_file_library(platform::DynamicLibrary &library);

// Enters the pieces of the Define setting (source 2) and the -F texts (source 1) into the table,
// after dropping the setting's earlier symbols. Errors are ignored, as at start-up.
void define_startup_symbols(DefineTable &table, const Settings &settings);

// Turns the double-byte lead bytes of the "CodePage" setting on (932) or off (anything else)
// for the utility library (the compiler takes it with its options).
void apply_code_page(const Settings &settings);

// The options of a load from the settings: -M keeps the intermediate file, -C writes the
// compile data, the EVR width and code page; with a front-end, "Line %d" in status pane 4
// shows the progress.
CompileOptions load_options(const Settings &settings, Frontend *frontend);

// Compiles `path` as a load does (load_options) without showing anything; a path longer than
// the station's limit is refused with s007 and the reason, never cut.
ProgramCompilation compile_station_program(const std::string &path, ProgramModel &model, DefineTable &defines,
                                           const Settings &settings, Frontend *frontend);

// Shows what a compile had to say, in order, through `frontend` (nothing without one).
void show_compile_notices(const ProgramCompilation &compilation, Frontend *frontend);

// Loads `path` into `model`: shows the file name in status pane 2, compiles, shows the
// compile's messages through `frontend`, and gives true when a program is loaded. A first-pass
// failure keeps the program loaded before; a compile error leaves none.
bool load_program(const std::string &path, ProgramModel &model, DefineTable &defines, const Settings &settings,
                  Frontend *frontend, ProgramCompilation *outcome = nullptr);

}  // namespace ksw

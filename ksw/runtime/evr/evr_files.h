// EVR files: the access record (which cells of pages 0-15 the run wrote and read), and the page
// dump and load of the "EVR&&Comm." dialog ("Read file & write RAM" / "Read file & write ROM").
//
// Each function returns 0 or the message id of its failure: an error of the device (e075..e085,
// e170, e171), 3007 ("s007: [%s]\nCan't open file", to be shown with the path), 3009 ("s009: Bad
// style of input data") or 3011 ("s011: Can't write file.").
#pragma once

#include <bitset>
#include <cstddef>
#include <functional>
#include <string>

#include "resources/messages.h"
#include "runtime/evr/evr_layer.h"

namespace ksw {


// What a dump or load tells the dialog as it goes (either may be empty).
struct EvrFileProgress {
    std::function<void(const std::string &text)> text;             // "PAGE %02X"
    std::function<void(size_t done, size_t total)> bar;            // load: lines of 54 bytes
};

// The access record file, replaced: four sections ("{ROM Write", "{RAM Write", "{ROM Read",
// "{RAM Read"), each listing the cells of pages 0-15 in that state as "%04X,%04X" (index, value)
// and ending with "FFFF,FFFF" and an empty line; CR LF line ends.
int write_evr_access_record(EvrLayer &layer, const std::string &path);
// The text of the access record.
std::string evr_access_record_text(const EvrLayer &layer);

// Appends the checked pages (ascending) to `path`, each read whole from the product's ROM first:
// lines "PPAA" and sixteen ",%02X" (width 8) or ",%04X" (width 16) values; "\r\n" after all.
int dump_evr_pages(EvrLayer &layer, const std::string &path, const std::bitset<256> &pages,
                   const EvrFileProgress &progress = {});
// Loads a dump into the product's RAM or ROM (by cell index, as the lines give it). Lines of at
// most 255 bytes; a line shorter than 52 characters ends the load.
int load_evr_file(EvrLayer &layer, const std::string &path, bool rom, const EvrFileProgress &progress = {});

// A file name from the chooser: ".CSV" is appended to a name without extension.
std::string evr_file_name(const std::string &chosen);

}  // namespace ksw

#include "values/registers.h"

#include <new>
#include <utility>


namespace ksw {

Registers &registers() {
    static Registers instance;
    return instance;
}

// Allocates one zeroed register file, or returns null (also when `fail` asks for it).
template <class File>
std::unique_ptr<File> allocate_file(bool fail) {
    if (fail) return nullptr;
    return std::unique_ptr<File>(new (std::nothrow) File{});
}

int allocate_registers(Registers &registers, std::string_view *failed_file, int fail_allocation) {
    registers.rd = allocate_file<RdFile>(fail_allocation == 1);
    if (!registers.rd) {
        if (failed_file) *failed_file = "rd[]";
        return kErrNoMemory;
    }
    registers.ad = allocate_file<AdFile>(fail_allocation == 2);
    if (!registers.ad) {
        registers.rd.reset();
        if (failed_file) *failed_file = "ad[]";
        return kErrNoMemory;
    }
    return kOk;
}

int start_registers(std::string_view *failed_file, int fail_allocation) {
    Registers &process = registers();
    if (process.allocated()) return kOk;
    return allocate_registers(process, failed_file, fail_allocation);
}

void clear_registers(Registers &registers) {
    if (registers.ad) registers.ad->fill(0);
    if (registers.rd) registers.rd->fill(0.0);
}

int get_register_triple(const Registers &registers, const CommandRecord &command, int32_t *a, int32_t *b, int32_t *c) {
    if (get_int_operand(registers, command, 0, a) > 0) return kErrOutOfRange;
    if (get_int_operand(registers, command, 1, b) > 0) return kErrOutOfRange;
    if (get_int_operand(registers, command, 2, c) > 0) return kErrOutOfRange;
    return check_reg_indexes(*a, *b, *c);
}

int ad_range_stats(const AdFile &ad, int first, int last, uint16_t *mean, uint16_t *max, uint16_t *min) {
    if (!is_register_index(first) || !is_register_index(last)) return kErrOutOfRange;
    if (first > last) std::swap(first, last);
    uint32_t sum = 0;
    uint16_t largest = ad[static_cast<size_t>(first)];
    uint16_t smallest = largest;
    for (int i = first; i <= last; ++i) {
        const uint16_t v = ad[static_cast<size_t>(i)];
        sum += v;
        if (v > largest) largest = v;
        if (v < smallest) smallest = v;
    }
    if (mean) *mean = static_cast<uint16_t>(sum / static_cast<uint32_t>(last - first + 1));
    if (max) *max = largest;
    if (min) *min = smallest;
    return kOk;
}

}  // namespace ksw

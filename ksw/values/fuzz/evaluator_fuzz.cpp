// Any bytes as an argument text: the evaluator gives a value or an error code, stops inside the
// text, and never reads past it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string_view>

#include "values/evaluator.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    // An exact-size copy, so that a read past the end is caught.
    std::unique_ptr<char[]> copy(new char[size ? size : 1]);
    for (size_t i = 0; i < size; ++i) copy[i] = static_cast<char>(data[i]);
    const std::string_view text(copy.get(), size);
    double value = 0;
    size_t stop = 0;
    const int rc = ksw::evaluate_expression(text, &value, &stop);
    if (stop > size) std::abort();
    if (rc < 0) std::abort();
    int32_t i = 0;
    uint32_t u = 0;
    (void)ksw::parse_int_arg(text, &i, INT32_MIN, INT32_MAX);
    (void)ksw::parse_uint_arg(text, &u);
    return 0;
}

// Putting two values in ascending order.
#include <utility>

#include "zelw.h"

namespace {

// Exchanges *a and *b when *a > *b; null pointers change nothing.
template <typename T>
void order_pair(T *a, T *b) {
    if (a && b && *a > *b) std::swap(*a, *b);
}

}  // namespace

// Orders two doubles so that *a <= *b (a NaN changes nothing).
ZELW_API void SwapDouble(double *a, double *b) { order_pair(a, b); }

// Orders two signed integers so that *a <= *b.
ZELW_API void SwapInt(int *a, int *b) { order_pair(a, b); }

// Orders two unsigned 16-bit words so that *a <= *b.
ZELW_API void SwapWORD(unsigned short *a, unsigned short *b) { order_pair(a, b); }

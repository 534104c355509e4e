// A stable merge sort of plain records, for the lists sorted by the compiler and by the MIDI
// export. Bottom-up, alternating between the records and a scratch block of the same
// count; the result ends in `data`. Any thread; allocates nothing.
#pragma once

#include <string.h>

#include "base/types.h"

// Sorts `count` records so that no record comes after one it is `before` (a strict
// order); records the order leaves equal keep their order. `scratch` holds `count` records.
template <typename T>
void merge_sort(T* data, i64 count, T* scratch, bool (*before)(const T* a, const T* b)) {
    // Lists usually come in order already (pieces are saved and built in time order): one
    // pass finds that and moves nothing.
    i64 ordered = 1;
    while (ordered < count && !before(&data[ordered], &data[ordered - 1])) ordered += 1;
    if (ordered >= count) return;
    T* from = data;
    T* to = scratch;
    for (i64 width = 1; width < count; width *= 2) {
        for (i64 left = 0; left < count; left += 2 * width) {
            i64 middle = left + width < count ? left + width : count;
            i64 right = left + 2 * width < count ? left + 2 * width : count;
            i64 a = left, b = middle, out = left;
            // Equal records take the left run first, which keeps their order.
            while (a < middle && b < right)
                to[out++] = before(&from[b], &from[a]) ? from[b++] : from[a++];
            while (a < middle) to[out++] = from[a++];
            while (b < right) to[out++] = from[b++];
        }
        T* swap = from;
        from = to;
        to = swap;
    }
    if (from != data) memcpy((void*)data, (const void*)from, (size_t)count * sizeof(T));
}

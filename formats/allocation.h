// Blocks and outputs are had from the standard containers, which say that
// memory ran out by throwing. Every such place turns that into a failure of
// its own file in one way.
#pragma once

#include <new>
#include <stdexcept>

// Runs work; false when it ran out of memory (or asked for more than a
// container can hold).
template <typename task> bool with_memory(task work) {
    try {
        work();
        return true;
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
    return false;
}

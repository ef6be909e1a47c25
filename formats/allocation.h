// Blocks and outputs are had from the standard containers, which say that
// memory ran out by throwing. Every such place turns that into a failure of
// its own file in one way.
#pragma once

#include "formats/status.h"

#include <new>
#include <stdexcept>

// Runs work: ok, or no_memory when it ran out of memory (or asked for more
// than a container can hold).
template <typename task> kgf_status with_memory(task work) {
    try {
        work();
        return kgf_status::ok;
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
    return kgf_status::no_memory;
}

#include "formats/output_guard.h"

#include <gtest/gtest.h>

// Claims of several files of one run, in the order the run makes them. The
// paths are never opened: only their names are compared.
TEST(OutputGuard, ClaimsAcrossTheFilesOfOneRun) {
    run_inputs run;
    add_run_input(run, "in/a.tga");
    add_run_input(run, "in/b.kgf");
    output_guard files[] = {
        guard_for_input(&run, "in/a.tga", false), // a.tga to KGF
        guard_for_input(&run, "in/b.kgf", true),  // b.kgf to KGF, in place
        guard_for_input(&run, "other/a.tga", false),
        guard_for_input(&run, "late/a.tga", false), // its outputs are held back
        guard_for_input(&run, "last/a.tga", false),
    };
    files[3].held = true;
    const struct {
        int file;
        const char* path;
        kgf_status expected;
        bool written; // the write that follows an ok claim succeeds
    } claims[] = {
        {0, "out/a.kgf", kgf_status::ok, true},
        {0, "out/a.kgf", kgf_status::same_output, false},
        {2, "out/a.kgf", kgf_status::earlier_output, false},
        {2, "out/../out/a.kgf", kgf_status::earlier_output, false},
        // Claimed but not written: a later file is not told that it was.
        {2, "out/c.kgf", kgf_status::ok, false},
        // A refused claim is not recorded: the file that owns b.kgf still
        // replaces it in place.
        {0, "in/b.kgf", kgf_status::replaces_input, false},
        {1, "in/b.kgf", kgf_status::ok, true},
        {2, "in/b.kgf", kgf_status::replaces_input, false},
        // Held back: only the inputs are checked now; the rest in turn.
        {3, "out/a.kgf", kgf_status::ok, false},
        {3, "in/a.tga", kgf_status::replaces_input, false},
        {4, "out/c.kgf", kgf_status::ok, true},
    };
    for (const auto& claim : claims) {
        EXPECT_EQ(claim_output(files[claim.file], claim.path), claim.expected)
            << "file " << claim.file << " claims " << claim.path;
        if (claim.written)
            record_run_output(&run, claim.path);
    }
    // File 3's turn after file 4's, as -j 1 would have claimed them.
    output_guard in_turn;
    in_turn.inputs = &run;
    EXPECT_EQ(claim_held_output(in_turn, "out/a.kgf"), kgf_status::earlier_output);
    EXPECT_EQ(claim_held_output(in_turn, "out/c.kgf"), kgf_status::earlier_output);
    EXPECT_EQ(claim_held_output(in_turn, "out/e.kgf"), kgf_status::ok);
    EXPECT_EQ(claim_held_output(in_turn, "out/e.kgf"), kgf_status::same_output);
}

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
    };
    files[3].held = true;
    const struct {
        int file;
        const char* path;
        kgf_status expected;
    } claims[] = {
        {0, "out/a.kgf", kgf_status::ok},
        {0, "out/a.kgf", kgf_status::same_output},
        {2, "out/a.kgf", kgf_status::earlier_output},
        {2, "out/../out/a.kgf", kgf_status::earlier_output},
        {2, "out/c.kgf", kgf_status::ok},
        // A refused claim is not recorded: the file that owns b.kgf still
        // replaces it in place.
        {0, "in/b.kgf", kgf_status::replaces_input},
        {1, "in/b.kgf", kgf_status::ok},
        {2, "in/b.kgf", kgf_status::replaces_input},
        // Held back: refused when an earlier file has it, else recorded only
        // when written.
        {3, "out/c.kgf", kgf_status::earlier_output},
        {3, "out/d.kgf", kgf_status::ok},
        {2, "out/d.kgf", kgf_status::ok},
    };
    for (const auto& claim : claims)
        EXPECT_EQ(claim_output(files[claim.file], claim.path), claim.expected)
            << "file " << claim.file << " claims " << claim.path;
    // File 3 is written after file 2, which took out/d.kgf first.
    EXPECT_EQ(claim_run_output(run, "out/d.kgf"), kgf_status::earlier_output);
    EXPECT_EQ(claim_run_output(run, "out/e.kgf"), kgf_status::ok);
    EXPECT_EQ(claim_run_output(run, "out/e.kgf"), kgf_status::earlier_output);
}

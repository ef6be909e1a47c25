// The bytes every conversion writes, pinned: a fixed set of inputs goes
// through every conversion under several settings, and the names and bytes
// written must hash to the values stored here.
#include "convert/convert.h"
#include "routines/conversion.h"
#include "settings/settings.h"
#include "support/sample_files.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

namespace {

// Names and bytes of every file in the folder, in name order.
uint64_t folder_digest(const std::string& folder) {
    uint64_t hash = 0xCBF29CE484222325ull;
    for (const std::string& name : list_folder(folder)) {
        hash = fnv1a(hash, reinterpret_cast<const uint8_t*>(name.c_str()), name.size() + 1);
        const std::vector<uint8_t> bytes = read_file_bytes(folder + "/" + name);
        hash = fnv1a(hash, bytes.data(), bytes.size());
    }
    return hash;
}

// The inputs: pictures of odd and even sides at every depth, a five-level
// texture, a one-level texture of odd sides and a three-frame animation.
void write_inputs(const scratch_folder& folder) {
    write_tga_file(folder.file("wide.tga"), pattern_image(37, 11, 24, 1));
    write_tga_file(folder.file("alpha.tga"), pattern_image(32, 16, 32, 2));
    write_tga_file(folder.file("sixteen.tga"), pattern_image(8, 8, 16, 3));
    write_kgf_file(folder.file("tex.kgf"), "tex.kgf", pattern_image(64, 32, 16, 4), 5);
    write_kgf_file(folder.file("odd.kgf"), "odd.kgf", pattern_image(10, 6, 16, 5), 1);
    std::vector<std::vector<uint8_t>> frames;
    frames.push_back(kaf_frame("a.kgf", pattern_image(16, 16, 16, 6), 16));
    frames.push_back(kaf_frame("b.kgf", pattern_image(8, 4, 16, 7), 8));
    frames.push_back(kaf_frame("c.kgf", pattern_image(4, 4, 16, 8), 4));
    write_file_bytes(folder.file("anim.kaf"), kaf_file(frames));
}

struct digest_case {
    const char* routine; // tga>kgf, tga>tga, kgf>tga, kgf>kgf, kaf>tga, kaf>kgf
    const char* input;
    int num_mipmaps, bpp, mipmaps;
    const char* suffix;
    uint64_t digest;
};

int run(const std::string& routine, char* folder, char* name) {
    const struct {
        const char* name;
        int (*convert)(char* folder, char* name);
    } routines[] = {{"tga>kgf", convert_tga_to_kgf}, {"tga>tga", convert_tga_to_tga},
                    {"kgf>tga", convert_kgf_to_tga}, {"kgf>kgf", convert_kgf_to_kgf},
                    {"kaf>tga", convert_kaf_to_tga}, {"kaf>kgf", convert_kaf_to_kgf}};
    for (const auto& r : routines)
        if (routine == r.name)
            return r.convert(folder, name);
    return -1;
}

const digest_case cases[] = {
    {"tga>kgf", "wide.tga", 1, 24, 0, "_MM", 0x59ef9feb2eaa69b5},
    {"tga>kgf", "wide.tga", 5, 24, 0, "_MM", 0x96ca43600af63191},
    {"tga>kgf", "alpha.tga", 5, 24, 0, "_MM", 0x460aa2d4d6af3446},
    {"tga>kgf", "sixteen.tga", 5, 24, 0, "_MM", 0x57195616ddd60bf5},
    {"tga>tga", "wide.tga", 1, 32, 0, "_MM", 0xc67d9d600a598f73},
    {"tga>tga", "alpha.tga", 1, 24, 0, "_MM", 0x10af4b2078d96ff},
    {"tga>tga", "alpha.tga", 1, 32, 0, "_MM", 0xeb63a52ff01b75c},
    {"tga>tga", "sixteen.tga", 1, 24, 0, "_MM", 0x31241e201ee34d23},
    {"kgf>tga", "tex.kgf", 1, 24, 0, "_MM", 0x145d2e68dae1395b},
    {"kgf>tga", "tex.kgf", 1, 32, 1, "_L", 0x6e12d08d7672f2bd},
    {"kgf>tga", "odd.kgf", 1, 32, 1, "", 0x66e2996a104ac6e8},
    {"kgf>kgf", "tex.kgf", 1, 24, 0, "_MM", 0xea64a14e90acd20a},
    {"kgf>kgf", "tex.kgf", 5, 24, 1, "_MM", 0xb7619c941dfbddbf},
    {"kgf>kgf", "odd.kgf", 5, 24, 1, "_MM", 0xe9d796ef82757ce7},
    {"kaf>tga", "anim.kaf", 1, 24, 0, "_MM", 0xab55a16cce48f35c},
    // One-level frames give one TGA each: the KGF level count has no say.
    {"kaf>tga", "anim.kaf", 5, 32, 1, "_F", 0x2d2286107112d9fd},
    {"kaf>kgf", "anim.kaf", 1, 24, 0, "_MM", 0x1a3ed5396cd2eed1},
    {"kaf>kgf", "anim.kaf", 5, 24, 0, "_MM", 0x8ed24f73fbd783ff},
};

} // namespace

TEST(OutputDigest, EveryConversionWritesThePinnedBytes) {
    reset_routines_state();
    message_recorder messages;
    scratch_folder input;
    write_inputs(input);
    current_folder_change in_input(input.path);
    for (const digest_case& c : cases) {
        scratch_folder output;
        settings.num_mipmaps = static_cast<uint8_t>(c.num_mipmaps);
        settings.bpp = static_cast<uint8_t>(c.bpp);
        settings.mipmaps = static_cast<uint8_t>(c.mipmaps);
        std::snprintf(settings.suffix, sizeof settings.suffix, "%s", c.suffix);
        char folder[256];
        char name[256];
        std::snprintf(folder, sizeof folder, "%s", output.folder_text().c_str());
        std::snprintf(name, sizeof name, "%s", c.input);
        EXPECT_EQ(run(c.routine, folder, name), 1) << c.routine << " " << c.input;
        const uint64_t digest = folder_digest(output.path);
        EXPECT_EQ(digest, c.digest)
            << c.routine << " " << c.input << " levels " << c.num_mipmaps << " bpp " << c.bpp
            << " mipmaps " << c.mipmaps << ": 0x" << std::hex << digest;
    }
    EXPECT_TRUE(messages.messages().empty());
}

// Writes a few sample files into a folder: a 24-bit and a 32-bit TGA, a
// five-level KGF and a four-frame KAF. Used by the README's first command and
// by the command-line tests.
#include "formats/bytes.h"
#include "formats/image_buffer.h"
#include "formats/kgf.h"
#include "formats/mip.h"
#include "formats/rle.h"
#include "formats/tga.h"
#include "platform/files.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace {

// A picture that shows its orientation: a gradient with a mark top left.
// False when its block cannot be had.
bool paint(image_buffer& image, int width, int height, int bpp, int seed) {
    init_image_buffer(image, static_cast<uint8_t>(bpp));
    image.width = static_cast<int16_t>(width);
    image.height = static_cast<int16_t>(height);
    if (allocate_image_data(image, mip_chain_bytes(image)) != kgf_status::ok)
        return false;
    const int step = bpp / 8;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* pixel = image.data.data() + (static_cast<size_t>(y) * width + x) * step;
            const bool mark = x < width / 4 && y < height / 4;
            const int red = mark ? 255 : (x * 255) / (width > 1 ? width - 1 : 1);
            const int green = mark ? 255 : (y * 255) / (height > 1 ? height - 1 : 1);
            const int blue = (seed * 64) & 0xFF;
            if (bpp == 16) {
                const unsigned value =
                    0x8000u | ((red >> 3) << 10) | ((green >> 3) << 5) | (blue >> 3);
                write_u16(pixel, static_cast<uint16_t>(value));
            } else {
                pixel[0] = static_cast<uint8_t>(blue);
                pixel[1] = static_cast<uint8_t>(green);
                pixel[2] = static_cast<uint8_t>(red);
                if (bpp == 32)
                    pixel[3] = static_cast<uint8_t>(x < width / 2 ? 255 : 128);
            }
        }
    return true;
}

bool write_tga(const std::string& path, image_buffer& image) {
    FILE* stream = std::fopen(path.c_str(), "wb");
    if (stream == nullptr)
        return false;
    std::vector<uint8_t> bytes;
    const bool ok = encode_tga(bytes, image, 0) == kgf_status::ok &&
                    std::fwrite(bytes.data(), 1, bytes.size(), stream) == bytes.size();
    return (std::fclose(stream) == 0) && ok;
}

bool write_texture(const std::string& path, const char* name, int levels, int seed) {
    image_buffer first;
    image_buffer chain;
    init_image_buffer(chain, 16);
    if (!paint(first, 64, 64, 16, seed) || make_kgf_chain(chain, first, levels) != kgf_status::ok)
        return false;
    FILE* stream = std::fopen(path.c_str(), "wb");
    if (stream == nullptr)
        return false;
    std::vector<uint8_t> bytes;
    const bool ok = encode_kgf(bytes, name, chain, mip_chain_bytes(chain)) == kgf_status::ok &&
                    std::fwrite(bytes.data(), 1, bytes.size(), stream) == bytes.size();
    return (std::fclose(stream) == 0) && ok;
}

// One frame record: lead bytes, name, the KGF header fields, the runs.
bool append_frame(std::vector<uint8_t>& out, const char* name, int seed) {
    image_buffer frame;
    if (!paint(frame, 32, 32, 16, seed))
        return false;
    std::vector<uint8_t> runs;
    encode_runs(runs, frame.data.data(), mip_chain_bytes(frame),
                chain_level_ends(frame.num_mipmaps, frame.width, frame.height, frame.bpp));
    const uint8_t lead[3] = {0, 0, 0x7A};
    out.insert(out.end(), lead, lead + 3);
    out.insert(out.end(), name, name + std::string(name).size() + 1);
    const uint8_t header[16] = {1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 32, 0, 32, 0, 0x20, 0x28};
    out.insert(out.end(), header, header + 16);
    out.insert(out.end(), runs.begin(), runs.end());
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: kgf_samples FOLDER\n");
        return 2;
    }
    // A folder that is missing is made, with its parents.
    std::error_code error;
    std::filesystem::create_directories(text_path(argv[1]), error);
    if (error) {
        std::fprintf(stderr, "kgf_samples: cannot create %s: %s\n", argv[1],
                     error.message().c_str());
        return 1;
    }
    const std::string folder = std::string(argv[1]) + "/";
    image_buffer picture;
    bool ok = paint(picture, 64, 32, 24, 1) && write_tga(folder + "wall.tga", picture);
    ok = paint(picture, 32, 32, 32, 2) && write_tga(folder + "glass.tga", picture) && ok;
    ok = write_texture(folder + "stone.kgf", "stone.kgf", 5, 3) && ok;

    std::vector<uint8_t> animation(17, 0);
    animation[0] = 4; // frame count, long header form
    const char* names[] = {"flame1.kgf", "flame2.kgf", "flame3.kgf", "flame4.kgf"};
    for (int i = 0; i < 4; ++i)
        ok = append_frame(animation, names[i], i) && ok;
    FILE* stream = std::fopen((folder + "flame.kaf").c_str(), "wb");
    ok = stream != nullptr && ok;
    if (stream != nullptr) {
        ok = std::fwrite(animation.data(), 1, animation.size(), stream) == animation.size() && ok;
        ok = std::fclose(stream) == 0 && ok;
    }
    if (!ok) {
        std::fprintf(stderr, "kgf_samples: could not write the samples into %s\n", argv[1]);
        return 1;
    }
    return 0;
}

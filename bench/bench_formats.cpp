// Prints how long the core takes over a large texture: pixel conversion, mip
// generation, run-length coding and the readers. No figure is asserted.
#include "formats/byte_reader.h"
#include "formats/image_buffer.h"
#include "formats/kgf.h"
#include "formats/mip.h"
#include "formats/tga.h"

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace {

template <typename Work> double milliseconds(int repeats, Work work) {
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < repeats; ++i)
        work();
    const auto end = std::chrono::steady_clock::now();
    return std::chrono::duration<double, std::milli>(end - start).count() / repeats;
}

image_buffer picture(int side, int bpp) {
    image_buffer image;
    init_image_buffer(image, static_cast<uint8_t>(bpp));
    image.width = static_cast<int16_t>(side);
    image.height = static_cast<int16_t>(side);
    allocate_image_data(image, mip_chain_bytes(image));
    for (size_t i = 0; i < image.data.size(); ++i)
        image.data[i] = static_cast<uint8_t>((i / 64) * 7 + (i % 3));
    return image;
}

void read_kgf_file(const std::string& path, image_buffer& image, kgf_levels levels,
                   row_order rows) {
    kgf_reading reading;
    decode_file(path.c_str(), [&](byte_reader& reader) {
        return decode_kgf(reader, image, levels, rows, reading);
    });
}

// Writes what an encoder gave as one file.
void write_bytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    FILE* stream = std::fopen(path.c_str(), "wb");
    if (stream == nullptr)
        return;
    std::fwrite(bytes.data(), 1, bytes.size(), stream);
    std::fclose(stream);
}

} // namespace

int main() {
    const int side = 1024;
    const int repeats = 5;
    const std::string tga_path = "bench-picture.tga";
    const std::string kgf_path = "bench-picture.kgf";

    image_buffer source = picture(side, 24);
    image_buffer chain;
    init_image_buffer(chain, 16);
    chain.width = static_cast<int16_t>(side);
    chain.height = static_cast<int16_t>(side);
    chain.num_mipmaps = 5;
    allocate_image_data(chain, mip_chain_bytes(chain));

    std::printf("%dx%d pixels, mean of %d runs\n", side, side, repeats);
    std::printf("convert_pixels 24 to 16     %8.2f ms\n",
                milliseconds(repeats, [&] { convert_pixels(chain, source); }));
    std::printf("make_mip_level 2 to 5       %8.2f ms\n", milliseconds(repeats, [&] {
                    int64_t offset = 2LL * side * side;
                    for (int level = 2; level <= 5; ++level)
                        offset += make_mip_level(chain, offset, level);
                }));
    std::printf("encode_kgf and write        %8.2f ms\n", milliseconds(repeats, [&] {
                    std::vector<uint8_t> bytes;
                    encode_kgf(bytes, "bench-picture.kgf", chain, mip_chain_bytes(chain));
                    write_bytes(kgf_path, bytes);
                }));
    std::printf("decode_kgf all levels         %8.2f ms\n", milliseconds(repeats, [&] {
                    image_buffer image;
                    init_image_buffer(image, 16);
                    read_kgf_file(kgf_path, image, kgf_levels::from_file, row_order::top_first);
                }));
    std::printf("decode_kgf for display        %8.2f ms\n", milliseconds(repeats, [&] {
                    image_buffer image;
                    init_image_buffer(image, 16);
                    read_kgf_file(kgf_path, image, kgf_levels::first_only, row_order::bottom_first);
                }));
    std::printf("encode_tga and write        %8.2f ms\n", milliseconds(repeats, [&] {
                    std::vector<uint8_t> bytes;
                    encode_tga(bytes, source, 0);
                    write_bytes(tga_path, bytes);
                }));
    for (int as_stored : {0, 1})
        std::printf("decode_tga as_stored %d        %8.2f ms\n", as_stored,
                    milliseconds(repeats, [&] {
                        image_buffer image;
                        init_image_buffer(image, 32);
                        decode_file(tga_path.c_str(), [&](byte_reader& reader) {
                            return decode_tga(reader, image,
                                              as_stored != 0 ? row_order::bottom_first
                                                             : row_order::top_first);
                        });
                    }));
    std::remove(tga_path.c_str());
    std::remove(kgf_path.c_str());
    return 0;
}

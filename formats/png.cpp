#include "formats/png.h"

#include "formats/limits.h"
#include "formats/png_library.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <string_view>

namespace {

constexpr uint8_t signature[png_signature_size] = {137, 'P', 'N', 'G', 13, 10, 26, 10};

uint32_t big_endian_32(const uint8_t* p) {
    return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}

void put_big_endian_32(std::vector<uint8_t>& out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<uint8_t>(value >> shift));
}

int channels_of(uint8_t colour_type) {
    switch (colour_type) {
    case 0:
    case 3:
        return 1;
    case 2:
        return 3;
    case 4:
        return 2;
    default:
        return 4;
    }
}

bool depth_allowed(uint8_t colour_type, uint8_t depth) {
    switch (colour_type) {
    case 0:
        return depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16;
    case 3:
        return depth == 1 || depth == 2 || depth == 4 || depth == 8;
    case 2:
    case 4:
    case 6:
        return depth == 8 || depth == 16;
    default:
        return false;
    }
}

// The inflated image data of a header: each row of each pass is a filter
// byte and its packed samples; an empty pass has no rows.
int64_t inflated_size(const png_header& header) {
    const int64_t bits = int64_t{channels_of(header.colour_type)} * header.bit_depth;
    const auto pass_size = [&](int64_t width, int64_t height) {
        return width == 0 || height == 0 ? 0 : height * (1 + (width * bits + 7) / 8);
    };
    if (header.interlace == 0)
        return pass_size(header.width, header.height);
    // Adam7: each pass's first column and row, and its steps.
    constexpr int start_x[7] = {0, 4, 0, 2, 0, 1, 0}, start_y[7] = {0, 0, 4, 0, 2, 0, 1};
    constexpr int step_x[7] = {8, 8, 4, 4, 2, 2, 1}, step_y[7] = {8, 8, 8, 4, 4, 2, 2};
    int64_t total = 0;
    for (int pass = 0; pass < 7; ++pass) {
        const auto count = [](int64_t side, int start, int step) {
            return side > start ? (side - start + step - 1) / step : 0;
        };
        total += pass_size(count(header.width, start_x[pass], step_x[pass]),
                           count(header.height, start_y[pass], step_y[pass]));
    }
    return total;
}

kgf_status check_header_chunk(const uint8_t* data, uint32_t length, png_header& header) {
    if (length != 13)
        return kgf_status::bad_png_data;
    header.width = big_endian_32(data);
    header.height = big_endian_32(data + 4);
    header.bit_depth = data[8];
    header.colour_type = data[9];
    header.interlace = data[12];
    if (header.width == 0 || header.height == 0 || header.width > INT32_MAX ||
        header.height > INT32_MAX)
        return kgf_status::bad_png_data;
    if (!depth_allowed(header.colour_type, header.bit_depth) || data[10] != 0 || data[11] != 0 ||
        header.interlace > 1)
        return kgf_status::unsupported_png;
    if (header.width > static_cast<uint32_t>(largest_side) ||
        header.height > static_cast<uint32_t>(largest_side))
        return kgf_status::image_too_large;
    // The library's pixels at their own sample size, and ours at 8 bits.
    const int64_t pixels = int64_t{header.width} * header.height;
    const int64_t decoded = pixels * 4 * (header.bit_depth == 16 ? 2 : 1);
    if (decoded > largest_png_bytes || inflated_size(header) > largest_png_bytes)
        return kgf_status::image_too_large;
    return kgf_status::ok;
}

// What the walk over the chunks keeps for the decoder.
struct png_chunks {
    png_header header;
    std::string_view palette;      // PLTE's entries, 3 bytes each
    std::string_view transparency; // tRNS as stored
    std::vector<uint8_t> image_data;
};

bool is_letter(uint8_t c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

std::string_view view_of(const uint8_t* data, uint32_t length) {
    return {reinterpret_cast<const char*>(data), length};
}

kgf_status walk_chunks(const uint8_t* bytes, size_t size, png_chunks& chunks) {
    if (size == 0)
        return kgf_status::png_cut_short;
    if (std::memcmp(bytes, signature, size < png_signature_size ? size : png_signature_size) != 0)
        return kgf_status::not_png;
    if (size < png_signature_size)
        return kgf_status::png_cut_short;
    bool seen_header = false, seen_data = false;
    size_t at = png_signature_size;
    for (;;) {
        if (size - at < 8)
            return kgf_status::png_cut_short;
        const uint32_t length = big_endian_32(bytes + at);
        const uint8_t* type = bytes + at + 4;
        const uint8_t* data = type + 4;
        if (length > INT32_MAX)
            return kgf_status::bad_png_data;
        if (size - at - 8 < size_t{length} + 4)
            return kgf_status::png_cut_short;
        if (crc32(crc32(0, nullptr, 0), type, length + 4) != big_endian_32(data + length))
            return kgf_status::bad_png_checksum;
        at += size_t{length} + 12;
        if (!is_letter(type[0]) || !is_letter(type[1]) || !is_letter(type[2]) ||
            !is_letter(type[3]))
            return kgf_status::bad_png_data;
        const std::string_view name = view_of(type, 4);
        if (name == "IHDR") {
            if (seen_header)
                return kgf_status::bad_png_data;
            seen_header = true;
            const kgf_status status = check_header_chunk(data, length, chunks.header);
            if (status != kgf_status::ok)
                return status;
            continue;
        }
        if (!seen_header)
            return kgf_status::bad_png_data;
        if (name == "IEND")
            break;
        if (name == "IDAT") {
            seen_data = true;
            chunks.image_data.insert(chunks.image_data.end(), data, data + length);
        } else if (name == "PLTE") {
            if (length == 0 || length % 3 != 0 || length > 256 * 3 || seen_data)
                return kgf_status::bad_png_data;
            chunks.palette = view_of(data, length);
        } else if (name == "tRNS") {
            if (!seen_data)
                chunks.transparency = view_of(data, length);
        } else if (!(type[0] & 0x20)) {
            // A critical chunk this reader does not know changes the picture.
            return kgf_status::unsupported_png;
        }
    }
    if (chunks.header.colour_type == 3 && chunks.palette.empty())
        return kgf_status::bad_png_data;
    if (!seen_data)
        return kgf_status::bad_png_data;
    return kgf_status::ok;
}

// Inflates the image data, into rows when given (their room grows with what
// comes, never past a byte more than the header asks for), else into a
// small window, only counting: a stream that is damaged, ends early or
// gives more than the header asks for is refused before the decoder
// allocates anything for it.
kgf_status inflate_image_data(const std::vector<uint8_t>& data, int64_t expected,
                              std::vector<uint8_t>* rows) {
    // The zlib header by hand, the deflate data raw: every chunk's checksum
    // has been checked, and zlib's own sum of the inflated bytes would cost
    // a tenth of the reading again.
    if (data.size() < 2 || (data[0] & 0x0F) != 8 || (data[0] >> 4) > 7 ||
        (data[0] * 256 + data[1]) % 31 != 0 || (data[1] & 0x20) != 0)
        return kgf_status::bad_png_data;
    z_stream stream{};
    if (inflateInit2(&stream, -15) != Z_OK)
        return kgf_status::no_memory;
    stream.next_in = const_cast<Bytef*>(data.data() + 2);
    stream.avail_in = static_cast<uInt>(data.size() - 2);
    uint8_t window[16384];
    int64_t total = 0;
    kgf_status status = kgf_status::bad_png_data;
    for (;;) {
        uint8_t* out = window;
        int64_t room = sizeof window;
        if (rows != nullptr) {
            if (static_cast<int64_t>(rows->size()) == total)
                rows->resize(static_cast<size_t>(
                    std::min(expected + 1, std::max<int64_t>(total * 2, int64_t{1} << 16))));
            out = rows->data() + total;
            room = static_cast<int64_t>(rows->size()) - total;
        }
        stream.next_out = out;
        stream.avail_out = static_cast<uInt>(room);
        const int result = inflate(&stream, Z_NO_FLUSH);
        total += room - static_cast<int64_t>(stream.avail_out);
        if (total > expected)
            break;
        if (result == Z_STREAM_END) {
            if (total == expected)
                status = kgf_status::ok;
            break;
        }
        if (result == Z_MEM_ERROR)
            status = kgf_status::no_memory;
        if (result != Z_OK)
            break;
    }
    inflateEnd(&stream);
    if (rows != nullptr)
        rows->resize(status == kgf_status::ok ? static_cast<size_t>(expected) : 0);
    return status;
}

// Inflated rows as a zlib stream of stored blocks: the decoder copies them
// as they are, and the data is inflated once, by zlib. The stream's sum is
// left 0: the decoder does not look at it.
std::vector<uint8_t> stored_stream(const std::vector<uint8_t>& rows) {
    constexpr size_t block = 65535;
    std::vector<uint8_t> out = {0x78, 0x01};
    out.reserve(rows.size() + (rows.size() / block + 1) * 5 + 6);
    for (size_t at = 0; at < rows.size(); at += block) {
        const size_t length = std::min(block, rows.size() - at);
        out.push_back(at + length == rows.size() ? 1 : 0);
        out.push_back(static_cast<uint8_t>(length));
        out.push_back(static_cast<uint8_t>(length >> 8));
        out.push_back(static_cast<uint8_t>(~length));
        out.push_back(static_cast<uint8_t>(~length >> 8));
        out.insert(out.end(), rows.begin() + static_cast<long>(at),
                   rows.begin() + static_cast<long>(at + length));
    }
    put_big_endian_32(out, 0);
    return out;
}

void put_chunk(std::vector<uint8_t>& out, const char* type, std::string_view data) {
    put_big_endian_32(out, static_cast<uint32_t>(data.size()));
    const size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    put_big_endian_32(out, static_cast<uint32_t>(crc32(crc32(0, nullptr, 0), out.data() + start,
                                                       static_cast<uInt>(out.size() - start))));
}

// The transparency as the standard's readers take it: a tRNS that does not
// fit the colour type, or names samples the depth cannot hold, is left out
// (no pixel is transparent), as is one longer than the palette.
std::string_view usable_transparency(const png_chunks& chunks) {
    const std::string_view t = chunks.transparency;
    const png_header& h = chunks.header;
    if (h.colour_type == 3)
        return t.size() <= chunks.palette.size() / 3 ? t : std::string_view();
    const size_t samples = h.colour_type == 0 ? 1 : h.colour_type == 2 ? 3 : 0;
    if (samples == 0 || t.size() != samples * 2)
        return {};
    const uint32_t largest = (uint32_t{1} << h.bit_depth) - 1;
    for (size_t i = 0; i < samples; ++i)
        if ((uint32_t{static_cast<uint8_t>(t[2 * i])} << 8 | static_cast<uint8_t>(t[2 * i + 1])) >
            largest)
            return {};
    return t;
}

// The checked file in the plainest form for the decoder: its header, a
// palette of all 256 entries (an index past the stored ones is opaque
// black), the usable transparency and the image data in one chunk, stored.
std::vector<uint8_t> plain_file(const png_chunks& chunks, const uint8_t* header_chunk,
                                const std::vector<uint8_t>& stored) {
    std::vector<uint8_t> out(signature, signature + png_signature_size);
    out.reserve(stored.size() + 1024);
    put_chunk(out, "IHDR", view_of(header_chunk, 13));
    std::string palette;
    if (chunks.header.colour_type == 3) {
        palette.assign(chunks.palette);
        palette.resize(256 * 3, '\0');
        put_chunk(out, "PLTE", palette);
    }
    const std::string_view transparency = usable_transparency(chunks);
    if (!transparency.empty())
        put_chunk(out, "tRNS", transparency);
    put_chunk(out, "IDAT", view_of(stored.data(), static_cast<uint32_t>(stored.size())));
    put_chunk(out, "IEND", {});
    return out;
}

} // namespace

kgf_status check_png(const uint8_t* bytes, size_t size, png_header& header) {
    png_chunks chunks;
    kgf_status status = walk_chunks(bytes, size, chunks);
    if (status == kgf_status::ok)
        status = inflate_image_data(chunks.image_data, inflated_size(chunks.header), nullptr);
    header = chunks.header;
    return status;
}

int png_pixel_bits(const png_header& header) {
    return channels_of(header.colour_type) * header.bit_depth;
}

kgf_status decode_png(byte_reader& reader, image_buffer& image, row_order rows,
                      png_header* header) {
    std::vector<uint8_t> file;
    if (read_block(reader, bytes_left(reader), file) != kgf_status::ok)
        return kgf_status::no_memory;
    if (reader.failed)
        return short_read_status(reader);
    png_chunks chunks;
    std::vector<uint8_t> inflated;
    kgf_status status = walk_chunks(file.data(), file.size(), chunks);
    if (status == kgf_status::ok)
        status = inflate_image_data(chunks.image_data, inflated_size(chunks.header), &inflated);
    if (status != kgf_status::ok)
        return status;
    if (header != nullptr)
        *header = chunks.header;
    chunks.image_data = std::vector<uint8_t>();
    std::vector<uint8_t> stored = stored_stream(inflated);
    inflated = std::vector<uint8_t>();
    // The header chunk's data: right behind the signature and its own
    // length and type, since it is the first chunk.
    std::vector<uint8_t> plain = plain_file(chunks, file.data() + png_signature_size + 8, stored);
    file = std::vector<uint8_t>();
    stored = std::vector<uint8_t>();
    std::vector<uint8_t> rgba;
    const kgf_status decoded =
        library_decode_png(plain.data(), plain.size(), chunks.header.bit_depth == 16, rgba);
    if (decoded != kgf_status::ok)
        return decoded;
    plain = std::vector<uint8_t>();

    const int width = static_cast<int>(chunks.header.width);
    const int height = static_cast<int>(chunks.header.height);
    image.width = static_cast<int16_t>(width);
    image.height = static_cast<int16_t>(height);
    image.bpp = 32;
    if (allocate_image_data(image, int64_t{width} * height * 4) != kgf_status::ok)
        return kgf_status::no_memory;
    const size_t row_bytes = static_cast<size_t>(width) * 4;
    for (int y = 0; y < height; ++y) {
        const uint8_t* in = rgba.data() + static_cast<size_t>(y) * row_bytes;
        const int row = rows == row_order::top_first ? y : height - 1 - y;
        uint8_t* out = image.data.data() + static_cast<size_t>(row) * row_bytes;
        for (size_t x = 0; x < row_bytes; x += 4) {
            out[x] = in[x + 2];
            out[x + 1] = in[x + 1];
            out[x + 2] = in[x];
            out[x + 3] = in[x + 3];
        }
    }
    return kgf_status::ok;
}

kgf_status encode_png(std::vector<uint8_t>& out, const image_buffer& image, int64_t offset) {
    const int channels = image.bpp / 8;
    if ((image.bpp != 24 && image.bpp != 32) || image.width <= 0 || image.height <= 0 || offset < 0)
        return kgf_status::bad_image_size;
    const int64_t row_bytes = int64_t{image.width} * channels;
    const int64_t level_bytes = row_bytes * image.height;
    if (offset + level_bytes > static_cast<int64_t>(image.data.size()))
        return kgf_status::bad_image_size;
    // The library's filtered rows, a byte more each, are counted in int.
    if ((row_bytes + 1) * image.height > largest_png_bytes)
        return kgf_status::image_too_large;
    std::vector<uint8_t> samples(static_cast<size_t>(level_bytes));
    const uint8_t* in = image.data.data() + offset;
    for (int64_t i = 0; i < level_bytes; i += channels) {
        samples[i] = in[i + 2];
        samples[i + 1] = in[i + 1];
        samples[i + 2] = in[i];
        if (channels == 4)
            samples[i + 3] = in[i + 3];
    }
    std::vector<uint8_t> file;
    const kgf_status encoded = library_encode_png(samples.data(), image.width, image.height,
                                                  channels, static_cast<int>(row_bytes), file);
    if (encoded != kgf_status::ok)
        return encoded;
    out.insert(out.end(), file.begin(), file.end());
    return kgf_status::ok;
}

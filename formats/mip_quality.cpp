// The KGF chain under the quality options: lower levels averaged from the
// 8-bit picture (in linear light with srgb_mips), every level reduced to 5
// bits by truncation or a dither, and with alpha_mips coverage kept and
// transparent colours filled.
#include "formats/mip_quality.h"

#include "formats/bytes.h"
#include "formats/dither.h"
#include "formats/levels.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

// The first level as 8-bit B, G, R, A, top row first: a 32-bit source's
// own block, or a block of its own.
struct picture8 {
    int64_t width = 0;
    int64_t height = 0;
    const uint8_t* bgra = nullptr;
    std::vector<uint8_t> own;
    const uint8_t* pixel(int64_t x, int64_t y) const { return bgra + 4 * (y * width + x); }

    // The pixels to change, copied first when they are the source's.
    uint8_t* writable() {
        if (own.empty() && width * height > 0) {
            if (try_allocate_block(own, 4 * width * height) != kgf_status::ok)
                return nullptr;
            std::memcpy(own.data(), bgra, static_cast<size_t>(4 * width * height));
            bgra = own.data();
        }
        return own.data();
    }
};

// Widens the source's first level; pixels its block does not hold, or of a
// depth that does not convert, stay transparent black.
bool widen_source(const image_buffer& source, picture8& picture) {
    picture.width = std::max<int64_t>(source.width, 0);
    picture.height = std::max<int64_t>(source.height, 0);
    const int64_t pixels = picture.width * picture.height;
    const int bytes = source.bpp / 8;
    if (source.bpp == 32 && static_cast<int64_t>(source.data.size()) >= 4 * pixels) {
        picture.bgra = source.data.data();
        return true;
    }
    if (try_allocate_block(picture.own, 4 * pixels) != kgf_status::ok)
        return false;
    picture.bgra = picture.own.data();
    if (source.bpp != 16 && source.bpp != 24 && source.bpp != 32)
        return true;
    const int64_t held =
        std::min<int64_t>(pixels, static_cast<int64_t>(source.data.size()) / bytes);
    const uint8_t* in = source.data.data();
    uint8_t* out = picture.own.data();
    if (source.bpp == 32) {
        std::memcpy(out, in, static_cast<size_t>(4 * held));
        return true;
    }
    for (int64_t i = 0; i < held; ++i, in += bytes, out += 4) {
        if (bytes == 3) {
            out[0] = in[0];
            out[1] = in[1];
            out[2] = in[2];
            out[3] = 255;
            continue;
        }
        const unsigned value = read_u16(in);
        for (int c = 0; c < 3; ++c) {
            const unsigned five = value >> (5 * c) & 0x1F;
            out[c] = static_cast<uint8_t>(five << 3 | five >> 2);
        }
        out[3] = (value & 0x8000) != 0 ? 255 : 0;
    }
    return true;
}

// Gives every transparent pixel the colour of the nearest opaque one, so
// that filtering in the game pulls no foreign colour into the edges. Two
// sweeps carry each pixel's nearest opaque pixel on to its neighbours.
int64_t count_opaque(const picture8& picture) {
    int64_t opaque = 0;
    for (int64_t i = 0; i < picture.width * picture.height; ++i)
        opaque += picture.bgra[4 * i + 3] != 0 ? 1 : 0;
    return opaque;
}

bool fill_transparent(picture8& picture, int64_t opaque) {
    const int64_t width = picture.width;
    const int64_t height = picture.height;
    const int64_t pixels = width * height;
    if (opaque == 0 || opaque == pixels)
        return true;
    uint8_t* bgra = picture.writable();
    if (bgra == nullptr)
        return false;
    std::vector<int64_t> nearest(static_cast<size_t>(pixels), -1);
    for (int64_t i = 0; i < pixels; ++i)
        if (bgra[4 * i + 3] != 0)
            nearest[static_cast<size_t>(i)] = i;
    auto distance = [width](int64_t from, int64_t to) {
        const int64_t dx = from % width - to % width;
        const int64_t dy = from / width - to / width;
        return dx * dx + dy * dy;
    };
    auto offer = [&](int64_t x, int64_t y, int64_t nx, int64_t ny) {
        if (nx < 0 || nx >= width || ny < 0 || ny >= height)
            return;
        const int64_t here = y * width + x;
        const int64_t candidate = nearest[static_cast<size_t>(ny * width + nx)];
        if (candidate < 0)
            return;
        int64_t& best = nearest[static_cast<size_t>(here)];
        if (best < 0 || distance(here, candidate) < distance(here, best))
            best = candidate;
    };
    for (int64_t y = 0; y < height; ++y) {
        for (int64_t x = 0; x < width; ++x) {
            offer(x, y, x - 1, y);
            offer(x, y, x - 1, y - 1);
            offer(x, y, x, y - 1);
            offer(x, y, x + 1, y - 1);
        }
        for (int64_t x = width - 1; x >= 0; --x)
            offer(x, y, x + 1, y);
    }
    for (int64_t y = height - 1; y >= 0; --y) {
        for (int64_t x = width - 1; x >= 0; --x) {
            offer(x, y, x + 1, y);
            offer(x, y, x + 1, y + 1);
            offer(x, y, x, y + 1);
            offer(x, y, x - 1, y + 1);
        }
        for (int64_t x = 0; x < width; ++x)
            offer(x, y, x - 1, y);
    }
    for (int64_t i = 0; i < pixels; ++i) {
        uint8_t* pixel = bgra + 4 * i;
        if (pixel[3] == 0)
            std::memcpy(pixel, bgra + 4 * nearest[static_cast<size_t>(i)], 3);
    }
    return true;
}

// Channel values in the units averaged: the 8-bit value itself, or its
// light in 16 bits when averaging in linear light.
struct light_tables {
    bool linear_light = false;
    std::array<uint16_t, 256> weight{};
    std::array<uint8_t, 4096> encoded{}; // mean light >> 4 back to 8 bits, rounded
};

const light_tables& averaging_tables(bool linear_light) {
    static const light_tables plain = [] {
        light_tables t;
        for (int v = 0; v < 256; ++v)
            t.weight[static_cast<size_t>(v)] = static_cast<uint16_t>(v);
        return t;
    }();
    static const light_tables linear = [] {
        light_tables t;
        t.linear_light = true;
        for (int v = 0; v < 256; ++v) {
            const double c = v / 255.0;
            const double l = c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
            t.weight[static_cast<size_t>(v)] = static_cast<uint16_t>(std::lround(l * 65535));
        }
        for (int i = 0; i < 4096; ++i) {
            const double l = (i * 16 + 7.5) / 65535.0;
            const double c = l <= 0.0031308 ? l * 12.92 : 1.055 * std::pow(l, 1 / 2.4) - 0.055;
            t.encoded[static_cast<size_t>(i)] =
                static_cast<uint8_t>(std::clamp<long>(std::lround(c * 255), 0, 255));
        }
        return t;
    }();
    return linear_light ? linear : plain;
}

// The sums of one block: the colours of all its pixels and how many are
// opaque, and with alpha_mips the colours of the opaque ones. Eight lanes,
// so that two blocks add as two vectors; 32 bits hold the sums of blocks up
// to 256 x 256 pixels.
template <typename sum> struct block_sums {
    sum all[4] = {};    // blue, green, red, then the count of opaque pixels
    sum opaque[4] = {}; // blue, green, red of the opaque pixels; one spare
    sum opaque_count() const { return all[3]; }
};

template <typename sum>
inline block_sums<sum>& operator+=(block_sums<sum>& a, const block_sums<sum>& b) {
    for (int i = 0; i < 4; ++i) {
        a.all[i] += b.all[i];
        a.opaque[i] += b.opaque[i];
    }
    return a;
}

// Where one lower level goes, how many of its pixels, and what its rows
// pass through on the way.
struct level_plan {
    int shift = 0;
    int64_t offset = 0;
    int64_t columns = 0;
    int64_t count = 0;
    std::vector<uint64_t> opaque;        // each pixel's opaque count, for alpha_mips
    std::vector<uint8_t> row;            // a row's colours in 8 bits, B, G, R, A
    std::vector<error_diffusion> dither; // one, with the dither
};

struct chain_maker {
    const picture8& picture;
    kgf_quality quality;
    const light_tables& light;
    image_buffer& chain;

    template <typename sum> void add_pixel(block_sums<sum>& sums, const uint8_t* pixel) const {
        const bool opaque = pixel[3] != 0;
        const bool split = has_quality(quality, kgf_quality::alpha_mips);
        for (int c = 0; c < 3; ++c) {
            sums.all[c] += light.weight[pixel[c]];
            sums.opaque[c] += split && opaque ? light.weight[pixel[c]] : 0;
        }
        sums.all[3] += opaque ? 1 : 0;
    }

    // The sums of the 2 x 2 blocks of two rows of the first level.
    void sum_pairs(const uint8_t* upper, int64_t width, int64_t columns,
                   block_sums<uint32_t>* cells) const {
        if (has_quality(quality, kgf_quality::alpha_mips))
            sum_pairs_of<true>(upper, width, columns, cells);
        else
            sum_pairs_of<false>(upper, width, columns, cells);
    }

    template <bool split>
    void sum_pairs_of(const uint8_t* upper, int64_t width, int64_t columns,
                      block_sums<uint32_t>* cells) const {
        const uint8_t* lower = upper + 4 * width;
        const uint16_t* weight = light.weight.data();
        for (int64_t c = 0; c < columns; ++c, upper += 8, lower += 8) {
            const uint8_t* pixels[4] = {upper, upper + 4, lower, lower + 4};
            block_sums<uint32_t> cell;
            for (const uint8_t* p : pixels) {
                const uint32_t mask = p[3] != 0 ? ~0u : 0u;
                cell.all[3] -= mask;
                for (int k = 0; k < 3; ++k) {
                    const uint32_t w = weight[p[k]];
                    cell.all[k] += w;
                    if constexpr (split)
                        cell.opaque[k] += w & mask;
                }
            }
            cells[c] = cell;
        }
    }

    // One pixel of a lower level from its block's sums, in 8 bits. Alpha is
    // the plain rule's; alpha_mips sets it afterwards.
    template <typename sum>
    void level_colour(const block_sums<sum>& sums, uint64_t block_pixels, uint8_t* out) const {
        const bool own = has_quality(quality, kgf_quality::alpha_mips);
        // Colours of the opaque pixels alone: no transparent black in them.
        const bool opaque_only = own && sums.opaque_count() > 0;
        const sum* colour = opaque_only ? sums.opaque : sums.all;
        const sum count = opaque_only ? sums.opaque_count() : static_cast<sum>(block_pixels);
        const int shift = std::countr_zero(static_cast<uint64_t>(count));
        const bool whole = count == static_cast<sum>(block_pixels); // a power of 2
        for (int c = 0; c < 3; ++c) {
            const sum rounded = colour[c] + count / 2;
            const sum mean = whole ? rounded >> shift : rounded / count;
            out[c] = light.linear_light ? light.encoded[static_cast<size_t>(mean >> 4)]
                                        : static_cast<uint8_t>(mean);
        }
        out[3] = sums.opaque_count() > 0 && !own ? 255 : 0;
    }

    void write_first_level() const {
        const int64_t width = picture.width;
        const int64_t rows =
            std::min<int64_t>(picture.height, static_cast<int64_t>(chain.data.size()) / 2 /
                                                  std::max<int64_t>(width, 1));
        if (!has_quality(quality, kgf_quality::dither)) {
            pixels_to_16(chain.data.data(), picture.bgra, static_cast<size_t>(width * rows), 32);
            return;
        }
        error_diffusion dither(width);
        for (int64_t y = 0; y < rows; y += error_diffusion::most_rows) {
            const int group =
                static_cast<int>(std::min<int64_t>(error_diffusion::most_rows, rows - y));
            const uint8_t* in[error_diffusion::most_rows];
            uint8_t* out[error_diffusion::most_rows];
            for (int r = 0; r < group; ++r) {
                in[r] = picture.pixel(0, y + r);
                out[r] = chain.data.data() + 2 * (y + r) * width;
            }
            dither.reduce_rows(in, group, width, out);
        }
    }

    // Rows first_row on of a level from their cells, a row of cells every
    // stride; the rows of a level come in order.
    template <typename sum>
    void put_level_rows(level_plan& p, int64_t first_row, int64_t rows,
                        const block_sums<sum>* cells, int64_t stride) const {
        const uint64_t block_pixels = uint64_t{1} << (2 * p.shift);
        error_diffusion* dither = p.dither.empty() ? nullptr : &p.dither[0];
        for (int64_t done = 0; done < rows;) {
            // Up to four whole rows go to the dither together; a row cut
            // short by the chain's end (the level's last) goes alone.
            const uint8_t* in[error_diffusion::most_rows];
            uint8_t* out[error_diffusion::most_rows];
            int group = 0;
            int64_t count = 0;
            for (; group < error_diffusion::most_rows && done + group < rows; ++group) {
                const int64_t first = (first_row + done + group) * p.columns;
                const int64_t n = std::min(p.columns, p.count - first);
                if (n <= 0 || (group > 0 && n != count))
                    break;
                count = n;
                uint8_t* colours = p.row.data() + 4 * group * p.columns;
                const block_sums<sum>* row = cells + (done + group) * stride;
                for (int64_t c = 0; c < n; ++c) {
                    level_colour(row[c], block_pixels, colours + 4 * c);
                    if (!p.opaque.empty())
                        p.opaque[static_cast<size_t>(first + c)] = row[c].opaque_count();
                }
                in[group] = colours;
                out[group] = chain.data.data() + p.offset + 2 * first;
            }
            if (group == 0)
                return;
            if (dither != nullptr)
                dither->reduce_rows(in, group, count, out);
            else
                for (int r = 0; r < group; ++r)
                    pixels_to_16(out[r], in[r], static_cast<size_t>(count), 32);
            done += group;
        }
    }
};

level_plan plan(const image_buffer& chain, int level, kgf_quality quality) {
    level_plan p;
    const box_blocks blocks = box_level_blocks(chain.width, chain.height, 16, level);
    p.shift = blocks.shift;
    p.offset = mip_chain_bytes(level - 1, chain.width, chain.height, 16);
    p.columns = blocks.columns;
    const int64_t room = (static_cast<int64_t>(chain.data.size()) - p.offset) / 2;
    p.count = std::max<int64_t>(std::min(blocks.count, room), 0);
    if (p.count <= 0)
        return p;
    if (has_quality(quality, kgf_quality::alpha_mips))
        p.opaque.assign(static_cast<size_t>(p.count), 0);
    p.row.assign(static_cast<size_t>(4 * error_diffusion::most_rows * p.columns), 0);
    if (has_quality(quality, kgf_quality::dither))
        p.dither.emplace_back(p.columns);
    return p;
}

using band_sums = block_sums<uint32_t>;

// The sums of 2 x 2 blocks of sums, a grid of rows x columns from below.
void sum_quarters(const std::vector<band_sums>& below, int64_t below_columns, int64_t rows,
                  int64_t columns, std::vector<band_sums>& sums) {
    sums.assign(static_cast<size_t>(rows * columns), band_sums{});
    for (int64_t r = 0; r < rows; ++r) {
        const band_sums* top = below.data() + 2 * r * below_columns;
        const band_sums* bottom = top + below_columns;
        band_sums* cell = sums.data() + r * columns;
        for (int64_t c = 0; c < columns; ++c) {
            cell[c] = top[2 * c];
            cell[c] += top[2 * c + 1];
            cell[c] += bottom[2 * c];
            cell[c] += bottom[2 * c + 1];
        }
    }
}

// Levels of blocks up to 32 x 32, band by band of first-level rows, each
// level's sums from the level below; larger blocks straight from the
// first level, a row at a time.
void write_lower_levels(const chain_maker& maker, std::vector<level_plan>& plans) {
    const picture8& picture = maker.picture;
    int top = 1;
    for (const level_plan& p : plans)
        top = std::max(top, std::min(p.shift, 5));
    const int64_t band = int64_t{1} << top;
    std::vector<band_sums> below, sums;
    for (int64_t start = 0; start + 2 <= picture.height; start += band) {
        const int64_t band_rows = std::min(band, picture.height - start);
        int64_t columns = picture.width / 2;
        int64_t rows = band_rows / 2;
        below.resize(static_cast<size_t>(rows * columns));
        for (int64_t r = 0; r < rows; ++r)
            maker.sum_pairs(picture.pixel(0, start + 2 * r), picture.width, columns,
                            below.data() + r * columns);
        for (int shift = 1; shift <= top; ++shift) {
            if (shift > 1) {
                sum_quarters(below, columns, rows / 2, columns / 2, sums);
                columns /= 2;
                rows /= 2;
                std::swap(below, sums);
            }
            for (level_plan& p : plans)
                if (p.shift == shift)
                    maker.put_level_rows(p, start >> shift, rows, below.data(), columns);
        }
    }
    std::vector<block_sums<uint64_t>> cells;
    for (level_plan& p : plans) {
        if (p.shift <= 5)
            continue;
        const int64_t edge = int64_t{1} << p.shift;
        for (int64_t r = 0; r * p.columns < p.count; ++r) {
            cells.assign(static_cast<size_t>(p.columns), block_sums<uint64_t>{});
            for (int64_t c = 0; c < p.columns; ++c)
                for (int64_t y = 0; y < edge; ++y)
                    for (int64_t x = 0; x < edge; ++x)
                        maker.add_pixel(cells[static_cast<size_t>(c)],
                                        picture.pixel(c * edge + x, r * edge + y));
            maker.put_level_rows(p, r, 1, cells.data(), p.columns);
        }
    }
}

// Sets the alpha bits of a level so that as many of its pixels are opaque
// as the first level's share asks: the blocks with the most opaque pixels
// first, ties shared out evenly along the rows. A block without an opaque
// pixel never becomes opaque.
void keep_coverage(image_buffer& chain, const level_plan& p, double coverage) {
    if (p.count <= 0)
        return;
    const int64_t wanted = std::llround(coverage * static_cast<double>(p.count));
    uint64_t threshold = 0;
    int64_t above = 0;
    int64_t tied = 0;
    if (wanted > 0) {
        std::vector<uint64_t> order = p.opaque;
        std::nth_element(order.begin(), order.begin() + (wanted - 1), order.end(),
                         std::greater<uint64_t>());
        threshold = std::max<uint64_t>(order[static_cast<size_t>(wanted - 1)], 1);
        for (const uint64_t count : p.opaque) {
            above += count > threshold ? 1 : 0;
            tied += count == threshold ? 1 : 0;
        }
    }
    const int64_t from_ties = std::clamp<int64_t>(wanted - above, 0, tied);
    int64_t share = tied / 2;
    uint8_t* out = chain.data.data() + p.offset;
    for (int64_t j = 0; j < p.count; ++j) {
        const uint64_t count = p.opaque[static_cast<size_t>(j)];
        bool opaque = wanted > 0 && count > threshold;
        if (wanted > 0 && count == threshold) {
            share += from_ties;
            if (share >= tied) {
                share -= tied;
                opaque = true;
            }
        }
        const unsigned value = read_u16(out + 2 * j) & 0x7FFFu;
        write_u16(out + 2 * j, static_cast<uint16_t>(value | (opaque ? 0x8000u : 0u)));
    }
}

} // namespace

kgf_status make_quality_chain(image_buffer& destination, const image_buffer& source, int levels,
                              kgf_quality quality) {
    destination.num_mipmaps = static_cast<int16_t>(levels);
    destination.width = source.width;
    destination.height = source.height;
    destination.bpp = 16;
    picture8 picture;
    if (!widen_source(source, picture) ||
        allocate_image_data(destination, mip_chain_bytes(destination)) != kgf_status::ok)
        return kgf_status::no_memory;
    if (destination.data.empty())
        return kgf_status::ok;
    const int64_t pixels = picture.width * picture.height;
    const int64_t opaque =
        has_quality(quality, kgf_quality::alpha_mips) ? count_opaque(picture) : 0;
    // A picture without a transparent pixel keeps every block opaque with
    // its plain colours: alpha_mips would change nothing, and costs time.
    if (opaque == pixels)
        quality = static_cast<kgf_quality>(static_cast<uint8_t>(quality) &
                                           ~static_cast<uint8_t>(kgf_quality::alpha_mips));
    const bool alpha = has_quality(quality, kgf_quality::alpha_mips);
    if (alpha && !fill_transparent(picture, opaque)) {
        release_image_data(destination);
        return kgf_status::no_memory;
    }
    const chain_maker maker{picture, quality,
                            averaging_tables(has_quality(quality, kgf_quality::srgb_mips)),
                            destination};
    maker.write_first_level();

    std::vector<level_plan> plans;
    for (int level = 2; level <= levels; ++level) {
        level_plan p = plan(destination, level, quality);
        if (p.count <= 0)
            break; // no lower level holds a whole pixel either
        plans.push_back(std::move(p));
    }
    if (plans.empty())
        return kgf_status::ok;
    write_lower_levels(maker, plans);
    if (alpha) {
        const double coverage = static_cast<double>(opaque) / static_cast<double>(pixels);
        for (const level_plan& p : plans)
            keep_coverage(destination, p, coverage);
    }
    return kgf_status::ok;
}

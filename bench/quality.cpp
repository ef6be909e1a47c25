// quality: what the KGF quality options do to pictures this program makes
// itself, next to the plain conversion, with the goal beside each figure.
// Prints a Markdown table; nothing is timed (kgf_speed times --best).
#include "formats/mip.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr int side = 256;
constexpr int levels = 5;

// A 32-bit picture (B, G, R, A) from a function of the pixel's place.
image_buffer make_picture(const std::function<void(int, int, uint8_t*)>& paint) {
    image_buffer picture;
    init_image_buffer(picture, 32);
    picture.width = side;
    picture.height = side;
    picture.data.assign(4 * side * side, 0);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x)
            paint(x, y, picture.data.data() + 4 * (y * side + x));
    return picture;
}

uint8_t byte_of(double value) {
    return static_cast<uint8_t>(std::clamp(std::lround(value), 0L, 255L));
}

image_buffer gradient() {
    return make_picture([](int x, int y, uint8_t* p) {
        const double t = (x + y) / (2.0 * (side - 1));
        const double from[3] = {40, 90, 160}, to[3] = {210, 170, 30}; // B, G, R
        for (int c = 0; c < 3; ++c)
            p[c] = byte_of(from[c] + t * (to[c] - from[c]));
        p[3] = 255;
    });
}

image_buffer plasma() {
    return make_picture([](int x, int y, uint8_t* p) {
        const double r = std::hypot(x - 100.0, y - 140.0);
        for (int c = 0; c < 3; ++c) {
            const double v = std::sin(x / (9.0 + 3 * c)) + std::sin(y / (13.0 - 2 * c)) +
                             std::sin((x + y) / 17.0 + c) + std::sin(r / 7.0);
            p[c] = byte_of(128 + 31 * v);
        }
        p[3] = 255;
    });
}

image_buffer checkerboard() {
    return make_picture([](int x, int y, uint8_t* p) {
        const uint8_t v = (x + y) % 2 == 0 ? 255 : 0;
        p[0] = p[1] = p[2] = v;
        p[3] = 255;
    });
}

// Thin lines: one pixel wide, every third column and every fifth row.
image_buffer lines() {
    return make_picture([](int x, int y, uint8_t* p) {
        const bool on = x % 3 == 0 || y % 5 == 0;
        p[0] = 60, p[1] = 160, p[2] = 90;
        p[3] = on ? 255 : 0;
    });
}

// A leaf: an ellipse with a stalk, its veins cut out, over transparent
// black; one colour.
image_buffer leaf() {
    return make_picture([](int x, int y, uint8_t* p) {
        const double u = (x - 128) / 110.0, v = (y - 120) / 70.0;
        const bool blade = u * u + v * v < 1;
        const bool vein = std::fabs(y - 120) < 1.5 ||
                          std::fabs(std::fmod(x + 2 * std::fabs(y - 120.0), 24) - 12) < 1;
        const bool stalk = std::fabs(x - 128) < 2 && y > 180 && y < 250;
        const bool on = (blade && !vein) || stalk;
        p[0] = on ? 40 : 0, p[1] = on ? 200 : 0, p[2] = on ? 120 : 0;
        p[3] = on ? 255 : 0;
    });
}

image_buffer chain_of(const image_buffer& picture, kgf_quality quality) {
    image_buffer chain;
    init_image_buffer(chain, 16);
    make_kgf_chain(chain, picture, levels, quality);
    return chain;
}

unsigned channel(uint16_t value, int c) {
    return value >> (5 * c) & 0x1F;
}

uint16_t pixel_at(const image_buffer& chain, int64_t offset, int64_t i) {
    const uint8_t* p = chain.data.data() + offset + 2 * i;
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

// The first level widened as readers widen it, channel c, as doubles.
std::vector<double> widened(const image_buffer& chain, int c) {
    std::vector<double> out(side * side);
    for (int i = 0; i < side * side; ++i) {
        const unsigned five = channel(pixel_at(chain, 0, i), c);
        out[static_cast<size_t>(i)] = five << 3 | five >> 2;
    }
    return out;
}

std::vector<double> source_channel(const image_buffer& picture, int c) {
    std::vector<double> out(side * side);
    for (int i = 0; i < side * side; ++i)
        out[static_cast<size_t>(i)] = picture.data[static_cast<size_t>(4 * i + c)];
    return out;
}

// A 5 x 5 box blur, the edges clamped.
std::vector<double> blurred(const std::vector<double>& in) {
    std::vector<double> out(in.size());
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            double sum = 0;
            for (int dy = -2; dy <= 2; ++dy)
                for (int dx = -2; dx <= 2; ++dx) {
                    const int sx = std::clamp(x + dx, 0, side - 1);
                    const int sy = std::clamp(y + dy, 0, side - 1);
                    sum += in[static_cast<size_t>(sy * side + sx)];
                }
            out[static_cast<size_t>(y * side + x)] = sum / 25;
        }
    return out;
}

double squared_error(const std::vector<double>& a, const std::vector<double>& b) {
    double sum = 0;
    for (size_t i = 0; i < a.size(); ++i)
        sum += (a[i] - b[i]) * (a[i] - b[i]);
    return sum;
}

struct error_figures {
    double blur_rms = 0;
    double psnr = 0;
};

error_figures errors(const image_buffer& picture, const image_buffer& chain) {
    double blur = 0, plain = 0;
    for (int c = 0; c < 3; ++c) {
        const std::vector<double> source = source_channel(picture, c);
        const std::vector<double> out = widened(chain, c);
        blur += squared_error(blurred(source), blurred(out));
        plain += squared_error(source, out);
    }
    const double n = 3.0 * side * side;
    return {std::sqrt(blur / n), 10 * std::log10(255.0 * 255.0 / (plain / n))};
}

int64_t level_offset(int level) {
    return mip_chain_bytes(level - 1, side, side, 16);
}

int64_t level_pixels(int level) {
    return int64_t{side >> (level - 1)} * (side >> (level - 1));
}

double coverage(const image_buffer& chain, int level) {
    int64_t opaque = 0;
    for (int64_t i = 0; i < level_pixels(level); ++i)
        opaque += pixel_at(chain, level_offset(level), i) >> 15;
    return 100.0 * static_cast<double>(opaque) / static_cast<double>(level_pixels(level));
}

const char* verdict(bool met) {
    return met ? "met" : "missed";
}

void row(const std::string& picture, const std::string& figure, const std::string& plain,
         const std::string& option, const std::string& goal, bool met) {
    std::printf("| %s | %s | %s | %s | %s: %s |\n", picture.c_str(), figure.c_str(), plain.c_str(),
                option.c_str(), goal.c_str(), verdict(met));
}

std::string number(const char* pattern, double value) {
    char text[64];
    std::snprintf(text, sizeof text, pattern, value);
    return text;
}

void dither_rows(const std::string& name, const image_buffer& picture) {
    const error_figures plain = errors(picture, chain_of(picture, kgf_quality::none));
    const error_figures dithered = errors(picture, chain_of(picture, kgf_quality::dither));
    row(name, "RMS error after a 5 × 5 blur", number("%.2f", plain.blur_rms),
        number("%.2f", dithered.blur_rms), "≤ 1/3 of plain",
        dithered.blur_rms <= plain.blur_rms / 3);
    row(name, "PSNR, dB", number("%.2f", plain.psnr), number("%.2f", dithered.psnr), "≥ plain − 3",
        dithered.psnr >= plain.psnr - 3);
}

void srgb_rows() {
    const image_buffer picture = checkerboard();
    const image_buffer plain = chain_of(picture, kgf_quality::none);
    const image_buffer linear = chain_of(picture, kgf_quality::srgb_mips);
    unsigned low = 31, high = 0, plain_low = 31, plain_high = 0;
    for (int level = 2; level <= levels; ++level)
        for (int64_t i = 0; i < level_pixels(level); ++i)
            for (int c = 0; c < 3; ++c) {
                const unsigned v = channel(pixel_at(linear, level_offset(level), i), c);
                const unsigned p = channel(pixel_at(plain, level_offset(level), i), c);
                low = std::min(low, v), high = std::max(high, v);
                plain_low = std::min(plain_low, p), plain_high = std::max(plain_high, p);
            }
    auto span = [](unsigned a, unsigned b) {
        return a == b ? std::to_string(a) : std::to_string(a) + " to " + std::to_string(b);
    };
    row("1-pixel checkerboard", "lower levels, 5-bit channels", span(plain_low, plain_high),
        span(low, high), "within 1 of 23", low >= 22 && high <= 24);
}

void coverage_rows(const std::string& name, const image_buffer& picture) {
    const image_buffer plain = chain_of(picture, kgf_quality::none);
    const image_buffer kept = chain_of(picture, kgf_quality::alpha_mips);
    const double first = coverage(kept, 1);
    std::string plain_text, kept_text;
    double worst = 0;
    for (int level = 1; level <= levels; ++level) {
        plain_text += number(level == 1 ? "%.1f" : ", %.1f", coverage(plain, level));
        kept_text += number(level == 1 ? "%.1f" : ", %.1f", coverage(kept, level));
        worst = std::max(worst, std::fabs(coverage(kept, level) - first));
    }
    row(name, "opaque % by level", plain_text, kept_text, "each within 5 points of level 1",
        worst <= 5);
}

// Every opaque pixel of every level against the one colour's 5 bits.
void colour_rows(const std::string& name, const image_buffer& picture) {
    const uint8_t colour[3] = {40, 200, 120}; // the leaf's B, G, R
    auto drift = [&](const image_buffer& chain) {
        unsigned worst = 0;
        for (int level = 1; level <= levels; ++level)
            for (int64_t i = 0; i < level_pixels(level); ++i) {
                const uint16_t v = pixel_at(chain, level_offset(level), i);
                if ((v & 0x8000) == 0)
                    continue;
                for (int c = 0; c < 3; ++c) {
                    const int d = static_cast<int>(channel(v, c)) - (colour[c] >> 3);
                    worst = std::max(worst, static_cast<unsigned>(std::abs(d)));
                }
            }
        return worst;
    };
    const unsigned plain = drift(chain_of(picture, kgf_quality::none));
    const unsigned kept = drift(chain_of(picture, kgf_quality::alpha_mips));
    row(name, "largest 5-bit drift of an opaque pixel", std::to_string(plain), std::to_string(kept),
        "≤ 1", kept <= 1);
}

} // namespace

int main() {
    std::printf("Pictures of %d × %d, KGF chains of %d levels; plain is the default "
                "conversion, option the one named in the section.\n\n",
                side, side, levels);
    std::printf("| picture | figure | plain | option | goal |\n|---|---|--:|--:|---|\n");
    std::printf("| **--dither** | | | | |\n");
    dither_rows("two-colour gradient", gradient());
    dither_rows("plasma", plasma());
    std::printf("| **--srgb-mips** | | | | |\n");
    srgb_rows();
    std::printf("| **--alpha-mips** | | | | |\n");
    coverage_rows("thin lines", lines());
    coverage_rows("leaf", leaf());
    colour_rows("leaf", leaf());
    return 0;
}

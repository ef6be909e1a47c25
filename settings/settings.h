// The one options record, its defaults and its persistence.
#pragma once

#include <cstdint>
#include <string>

struct settings_record {
    char install_dir[256]; // folder of readme.txt
    char input_dir[256];   // folder the file dialog opens in
    char output_dir[256];  // folder converted files go to
    uint8_t input_type;    // filter, 0-based: 0 KAF, 1 KGF, 2 TGA, 3 all files, 4 PNG
    uint8_t output_type;   // 0 KAF, 1 KGF, 2 TGA, 3 PNG
    uint8_t bpp;           // depth of written TGA files
    uint8_t mipmaps;       // 1: read every level of a KGF input
    char suffix[10];       // between base name and level number
    uint8_t num_mipmaps;   // levels of every KGF written
    uint8_t dither;        // 1: KGF channels reduced with a dither
    uint8_t srgb_mips;     // 1: KGF mip levels averaged in linear light
    uint8_t alpha_mips;    // 1: KGF mip levels keep the first level's coverage
};

extern settings_record settings;

// Puts the defaults into the record (no persistence involved).
void set_default_settings();

// Defaults, then whatever the store holds; returns 1 in every case. A
// stored value that cannot work is replaced by its default, with a message
// naming the setting.
int load_settings();

// That check of the values just loaded, shared by the stores.
void check_loaded_settings();

// Writes every field to the store; returns 1 in every case.
int save_settings();

// The same save for callers that report a failure: false when the store
// could not be written (settings_failure then says why, when it is known).
bool try_save_settings();

// Why the last save failed, naming the file; empty when no reason is known.
const std::string& settings_failure();
void set_settings_failure(const std::string& reason);

// Marks a value the user set: it is saved even when it equals its default
// (a folder at its default that nobody set follows the current folder).
void keep_setting(const char* name);
bool setting_kept(const char* name);

// Where the store lives, for the user: the settings file's path, or the
// registry key.
std::string settings_location();

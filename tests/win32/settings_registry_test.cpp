// The settings against the real registry: the stored layout, and values
// left by other tools or damaged that must not spoil the record.
#include "settings/settings.h"
#include "support/test_support.h"
#include "win32/registry_support.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char* const tool_key = "Software\\KGF Tool";

void store(const std::string& key_path, const char* name, DWORD type,
           const std::vector<uint8_t>& bytes) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, key_path.c_str(), 0, nullptr,
                              REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExA(key, name, 0, type, bytes.data(), static_cast<DWORD>(bytes.size())),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

bool key_exists(const std::string& key_path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, key_path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

// A text as another tool might store it: exactly the given bytes.
std::vector<uint8_t> bytes_of(const std::string& text, size_t size) {
    std::vector<uint8_t> bytes(size, 0);
    std::memcpy(bytes.data(), text.data(), std::min(text.size(), size));
    return bytes;
}

std::string text_of(const char* field, size_t size) {
    return std::string(field, strnlen(field, size));
}

void set_text(char* field, size_t size, const std::string& text) {
    std::memset(field, 0, size);
    std::memcpy(field, text.data(), text.size());
}

class settings_registry : public ::testing::Test {
  protected:
    settings_record defaults{};
    void SetUp() override {
        RegDeleteTreeA(HKEY_CURRENT_USER, tool_key);
        ASSERT_FALSE(key_exists(tool_key));
        set_default_settings();
        defaults = settings;
    }
    void TearDown() override {
        RegDeleteTreeA(HKEY_CURRENT_USER, tool_key);
        reset_routines_state();
    }
    // Every value of a complete store, written by the program itself.
    void store_everything() {
        settings = defaults;
        set_text(settings.install_dir, 256, "D:\\kgf");
        set_text(settings.input_dir, 256, "E:\\textures\\");
        set_text(settings.output_dir, 256, "F:\\out\\");
        settings.input_type = 2;
        settings.output_type = 1;
        settings.bpp = 32;
        settings.mipmaps = 1;
        set_text(settings.suffix, 10, "_L");
        settings.num_mipmaps = 5;
        settings.dither = 1;
        settings.alpha_mips = 1;
        save_settings();
    }
};

// What a first run loads is checked in settings_test.cpp, on every system.
TEST_F(settings_registry, first_run_then_save_stores_every_value) {
    EXPECT_EQ(load_settings(), 1);
    EXPECT_FALSE(key_exists(tool_key));

    EXPECT_EQ(save_settings(), 1);
    const std::string main = tool_key;
    struct expected_value {
        std::string key;
        const char* name;
        DWORD type;
        size_t size;
    };
    const expected_value values[] = {
        {main, "install_dir", REG_SZ, 256},
        {main, "input_dir", REG_SZ, 256},
        {main, "output_dir", REG_SZ, 256},
        {main, "input_type", REG_BINARY, 1},
        {main, "output_type", REG_BINARY, 1},
        {main + "\\tga", "bpp", REG_BINARY, 1},
        {main + "\\tga", "mipmaps", REG_BINARY, 1},
        {main + "\\tga", "suffix", REG_SZ, 10},
        {main + "\\kgf", "num_mipmaps", REG_BINARY, 1},
        {main + "\\kgf", "dither", REG_BINARY, 1},
        {main + "\\kgf", "srgb_mips", REG_BINARY, 1},
        {main + "\\kgf", "alpha_mips", REG_BINARY, 1},
    };
    for (const auto& v : values) {
        SCOPED_TRACE(v.name);
        const stored_value stored = query(v.key, v.name);
        ASSERT_TRUE(stored.found);
        EXPECT_EQ(stored.type, v.type);
        EXPECT_EQ(stored.bytes.size(), v.size);
    }
    EXPECT_EQ(query(main + "\\tga", "bpp").bytes, std::vector<uint8_t>{24});
    EXPECT_EQ(query(main, "output_type").bytes, std::vector<uint8_t>{2});
    EXPECT_EQ(query(main + "\\tga", "suffix").bytes, bytes_of("_MM", 10));
}

TEST_F(settings_registry, saved_values_load_back) {
    store_everything();
    const settings_record saved = settings;
    settings = settings_record{};
    load_settings();
    EXPECT_EQ(std::memcmp(&settings, &saved, sizeof saved), 0);
    EXPECT_EQ(text_of(settings.install_dir, 256), "D:\\kgf");
    EXPECT_EQ(settings.num_mipmaps, 5);
}

TEST_F(settings_registry, output_folder_is_stored_at_full_size_with_zeros_after) {
    settings = defaults;
    std::memset(settings.output_dir, 'x', sizeof settings.output_dir);
    std::memcpy(settings.output_dir, "D:\\out\\", 8);
    save_settings();
    const stored_value stored = query(tool_key, "output_dir");
    ASSERT_EQ(stored.bytes.size(), 256u);
    EXPECT_EQ(stored.bytes, bytes_of("D:\\out\\", 256));
}

TEST_F(settings_registry, missing_tga_key_keeps_its_defaults) {
    store_everything();
    const settings_record saved = settings;
    ASSERT_EQ(RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\KGF Tool\\tga"), ERROR_SUCCESS);
    load_settings();
    EXPECT_EQ(settings.bpp, 24);
    EXPECT_EQ(settings.mipmaps, 0);
    EXPECT_EQ(text_of(settings.suffix, 10), "_MM");
    EXPECT_EQ(text_of(settings.output_dir, 256), text_of(saved.output_dir, 256));
    EXPECT_EQ(settings.input_type, 2);
    EXPECT_EQ(settings.num_mipmaps, 5);
}

TEST_F(settings_registry, short_input_folder_from_another_tool_is_read_with_the_rest) {
    store_everything();
    store(tool_key, "input_dir", REG_SZ, bytes_of("G:\\pics", 8));
    load_settings();
    EXPECT_EQ(text_of(settings.input_dir, 256), "G:\\pics");
    EXPECT_EQ(text_of(settings.install_dir, 256), "D:\\kgf");
    EXPECT_EQ(text_of(settings.output_dir, 256), "F:\\out\\");
}

TEST_F(settings_registry, values_of_wrong_type_or_size_leave_defaults) {
    struct bad_value {
        const char* what;
        std::string key;
        const char* name;
        DWORD type;
        std::vector<uint8_t> bytes;
    };
    const std::string main = tool_key;
    const bad_value cases[] = {
        {"number as REG_DWORD", main + "\\tga", "bpp", REG_DWORD, {32, 0, 0, 0}},
        {"byte as a one-byte REG_SZ", main + "\\tga", "mipmaps", REG_SZ, {0}},
        {"byte of two bytes", main, "input_type", REG_BINARY, {2, 0}},
        {"byte of no bytes", main, "output_type", REG_BINARY, {}},
        {"folder of 300 bytes", main, "input_dir", REG_BINARY, std::vector<uint8_t>(300, 'A')},
        {"folder without terminator", main, "output_dir", REG_SZ, bytes_of("ABCDEFGHIJ", 10)},
        {"folder as binary", main, "install_dir", REG_BINARY, bytes_of("Q:\\", 4)},
        {"suffix filling its field without terminator", main + "\\tga", "suffix", REG_SZ,
         bytes_of("ABCDEFGHIJ", 10)},
        {"suffix of 11 bytes", main + "\\tga", "suffix", REG_SZ, bytes_of("ABCDEFGHIJ", 11)},
        {"level count of no bytes", main + "\\kgf", "num_mipmaps", REG_BINARY, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        RegDeleteTreeA(HKEY_CURRENT_USER, tool_key);
        store(c.key, c.name, c.type, c.bytes);
        std::memset(&settings, 'Z', sizeof settings);
        load_settings();
        // Each field holds its default, terminated.
        EXPECT_EQ(std::memcmp(&settings, &defaults, sizeof settings), 0);
        EXPECT_LT(strnlen(settings.output_dir, 256), 256u);
        EXPECT_LT(strnlen(settings.suffix, 10), 10u);
    }
    // A bad value does not stop the good ones beside it from being read.
    store_everything();
    store(main, "input_dir", REG_BINARY, std::vector<uint8_t>(300, 'A'));
    store(main + "\\tga", "bpp", REG_DWORD, {32, 0, 0, 0});
    store(main, "output_type", REG_BINARY, {1, 1});
    load_settings();
    EXPECT_EQ(text_of(settings.input_dir, 256), "C:\\");
    EXPECT_EQ(settings.bpp, 24);
    EXPECT_EQ(settings.output_type, 2);
    EXPECT_EQ(text_of(settings.install_dir, 256), "D:\\kgf");
    EXPECT_EQ(settings.mipmaps, 1);
    EXPECT_EQ(settings.num_mipmaps, 5);
}

TEST_F(settings_registry, drive_root_start_folder_gives_double_separator) {
    current_folder_change here("C:\\");
    load_settings();
    EXPECT_EQ(text_of(settings.install_dir, 256), "C:\\");
    EXPECT_EQ(text_of(settings.output_dir, 256), "C:\\\\output");
}

} // namespace

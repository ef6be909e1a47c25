// Loading and saving the settings record against the platform's store: the
// settings file here, the registry under Windows.
#include "platform/files.h"
#include "settings/setting_fields.h"
#include "settings/settings.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <csignal>
#include <filesystem>
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace {

std::string text_of(const char* field, size_t size) {
    return std::string(field, strnlen(field, size));
}

// Every field of the record: its name, where it lies and its bytes; a field
// of more than one byte holds a text.
struct record_field {
    const char* name;
    size_t offset, size;
};
#define RECORD_FIELD(name, size)                                                                   \
    { #name, offsetof(settings_record, name), size }
const record_field record_fields[] = {
    RECORD_FIELD(install_dir, 256), RECORD_FIELD(input_dir, 256), RECORD_FIELD(output_dir, 256),
    RECORD_FIELD(input_type, 1),    RECORD_FIELD(output_type, 1), RECORD_FIELD(bpp, 1),
    RECORD_FIELD(mipmaps, 1),       RECORD_FIELD(suffix, 10),     RECORD_FIELD(num_mipmaps, 1),
    RECORD_FIELD(dither, 1),        RECORD_FIELD(srgb_mips, 1),   RECORD_FIELD(alpha_mips, 1)};
#undef RECORD_FIELD

// A text up to its terminator, a byte as its number.
std::string field_value(const settings_record& record, const record_field& field) {
    const char* bytes = reinterpret_cast<const char*>(&record) + field.offset;
    return field.size > 1 ? text_of(bytes, field.size)
                          : std::to_string(static_cast<uint8_t>(*bytes));
}

// Every field of two records, compared one by one for readable failures.
void expect_same_settings(const settings_record& actual, const settings_record& expected) {
    for (const record_field& field : record_fields)
        EXPECT_EQ(field_value(actual, field), field_value(expected, field)) << field.name;
}

void set_text(char* field, size_t size, const std::string& text) {
    ASSERT_LT(text.size(), size);
    std::memset(field, 0, size);
    std::memcpy(field, text.data(), text.size());
}

// A record with every field away from its default.
settings_record changed_settings() {
    settings_record record{};
    set_text(record.install_dir, 256,
             std::string(1, path_separator) + "opt" + path_separator + "kgf");
    set_text(record.input_dir, 256, std::string(1, path_separator) + "in put");
    set_text(record.output_dir, 256, std::string(1, path_separator) + "out" + path_separator);
    record.input_type = 3;
    record.output_type = 1;
    record.bpp = 32;
    record.mipmaps = 1;
    set_text(record.suffix, 10, "-lvl");
    record.num_mipmaps = 5;
    record.dither = 1;
    record.srgb_mips = 1;
    record.alpha_mips = 1;
    return record;
}

#ifdef _WIN32
void delete_tool_key() {
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\KGF Tool");
}
#else
// Sets an environment variable for one test and restores it afterwards.
struct environment_change {
    std::string name;
    bool had_value = false;
    std::string previous;
    environment_change(const char* variable, const char* value) : name(variable) {
        if (const char* old = std::getenv(variable)) {
            had_value = true;
            previous = old;
        }
        setenv(variable, value, 1);
    }
    ~environment_change() {
        if (had_value)
            setenv(name.c_str(), previous.c_str(), 1);
        else
            unsetenv(name.c_str());
    }
};
#endif

class settings_store : public ::testing::Test {
  protected:
    scratch_folder work;
#ifdef _WIN32
    void SetUp() override {
        delete_tool_key();
    }
    void TearDown() override {
        delete_tool_key();
        reset_routines_state();
    }
#else
    scratch_folder config;
    environment_change xdg{"XDG_CONFIG_HOME", config.path.c_str()};
    std::string folder() const {
        return config.path + "/kgf-tool";
    }
    std::string file() const {
        return folder() + "/settings.ini";
    }
    void TearDown() override {
        reset_routines_state();
    }
#endif
};

TEST_F(settings_store, first_run_gives_the_defaults) {
    current_folder_change here(work.path);
    const std::string start = current_folder();
    settings.bpp = 99;
    EXPECT_EQ(load_settings(), 1);
    EXPECT_EQ(text_of(settings.install_dir, 256), start);
    EXPECT_EQ(text_of(settings.output_dir, 256), start + path_separator + "output");
#ifdef _WIN32
    EXPECT_EQ(text_of(settings.input_dir, 256), "C:\\");
#else
    EXPECT_EQ(text_of(settings.input_dir, 256), home_folder());
    // Loading never creates the file.
    EXPECT_FALSE(file_exists(file()));
#endif
    EXPECT_EQ(settings.input_type, 1);
    EXPECT_EQ(settings.output_type, 2);
    EXPECT_EQ(settings.bpp, 24);
    EXPECT_EQ(settings.mipmaps, 0);
    EXPECT_EQ(text_of(settings.suffix, 10), "_MM");
    EXPECT_EQ(settings.num_mipmaps, 1);
}

TEST_F(settings_store, saved_fields_load_back) {
    struct sample {
        const char* what;
        settings_record record;
    };
    settings_record longest = changed_settings();
    set_text(longest.install_dir, 256, std::string(1, path_separator) + std::string(254, 'i'));
    set_text(longest.input_dir, 256, std::string(255, 'n'));
    set_text(longest.output_dir, 256, std::string(254, 'o') + path_separator);
    set_text(longest.suffix, 10, "ABCDEFGHI");
    settings_record empty_suffix = changed_settings();
    set_text(empty_suffix.suffix, 10, "");
    empty_suffix.input_type = 0;
    const sample samples[] = {
        {"every field changed", changed_settings()},
        {"texts filling their fields", longest},
        {"empty suffix and lowest type", empty_suffix},
    };
    for (const auto& s : samples) {
        SCOPED_TRACE(s.what);
        settings = s.record;
        EXPECT_TRUE(try_save_settings());
        settings = settings_record{};
        EXPECT_EQ(load_settings(), 1);
        expect_same_settings(settings, s.record);
    }
}

TEST_F(settings_store, stored_values_that_cannot_work_load_as_their_defaults) {
    message_recorder messages;
    settings_record bad = changed_settings();
    bad.output_type = 255;
    bad.bpp = 0;
    bad.mipmaps = 255;
    bad.num_mipmaps = 0;
    bad.dither = 7;
    set_text(bad.suffix, 10, "/../../");
    set_text(bad.output_dir, 256, std::string(255, 'o'));
    settings = bad;
    EXPECT_TRUE(try_save_settings());
    settings = settings_record{};
    load_settings();
    const settings_record loaded = settings;
    set_default_settings();
    settings_record expected = changed_settings();
    expected.output_type = 2;
    expected.bpp = 24;
    expected.mipmaps = 0;
    expected.num_mipmaps = 1;
    expected.dither = 0;
    set_text(expected.suffix, 10, "_MM");
    std::memcpy(expected.output_dir, settings.output_dir, sizeof expected.output_dir);
    expect_same_settings(loaded, expected);
    // One message per setting, in the record's order, naming it.
    const std::vector<std::string> texts = messages.texts();
    ASSERT_EQ(texts.size(), 7u);
    const std::string where = settings_location() + ": ";
    EXPECT_EQ(texts[1], where + "output_type=255: must be 0 to 3; the default 2 is used");
    EXPECT_EQ(texts[5], where + "num_mipmaps=0: must be 1 or 5; the default 1 is used");
    EXPECT_EQ(texts[6], where + "dither=7: must be 0 or 1; the default 0 is used");
    EXPECT_EQ(texts[4].substr(0, where.size() + 15), where + "suffix=/../../:");
    EXPECT_EQ(texts[0].substr(0, where.size() + 11), where + "output_dir=");
}

// The dialog refuses an empty output folder; one stored empty or blank is
// no folder either, and conversions never write into whatever folder they
// run in because of it.
TEST_F(settings_store, empty_or_blank_output_folder_loads_as_its_default) {
    for (const std::string stored : {"", " ", " \t "}) {
        SCOPED_TRACE("[" + stored + "]");
        message_recorder messages;
        settings = changed_settings();
        set_text(settings.output_dir, 256, stored);
        EXPECT_TRUE(try_save_settings());
        settings = settings_record{};
        load_settings();
        const settings_record loaded = settings;
        set_default_settings();
        EXPECT_EQ(text_of(loaded.output_dir, 256), text_of(settings.output_dir, 256));
        const std::string where = settings_location() + ": ";
        EXPECT_EQ(messages.texts(),
                  std::vector<std::string>{where + "output_dir=" + stored +
                                           ": names no folder (. is the current one); the "
                                           "default " +
                                           text_of(settings.output_dir, 256) + " is used"});
    }
}

TEST_F(settings_store, save_writes_nothing_behind_a_terminator) {
    // Bytes left behind the text by an earlier, longer value are not data.
    settings = changed_settings();
    std::memset(settings.suffix, 'x', sizeof settings.suffix);
    std::memcpy(settings.suffix, "_a", 3);
    std::memset(settings.input_dir, 'y', sizeof settings.input_dir);
    std::memcpy(settings.input_dir, "in", 3);
    save_settings();
    settings = settings_record{};
    load_settings();
    EXPECT_EQ(text_of(settings.suffix, 10), "_a");
    EXPECT_EQ(text_of(settings.input_dir, 256), "in");
    EXPECT_EQ(settings.suffix[3], '\0');
    EXPECT_EQ(settings.input_dir[3], '\0');
}

TEST(set_setting, checks_each_value_before_storing_it) {
    struct sample {
        const char* name;
        std::string value;
        setting_check check;
        const char* reason; // setting_check_text, when refused
    };
    const std::string nul_free_255(255, 'f');
    const sample samples[] = {
        {"bpp", "24", setting_check::ok, ""},
        {"bpp", "32", setting_check::ok, ""},
        {"bpp", "16", setting_check::not_allowed, "must be 24 or 32"},
        {"bpp", "28", setting_check::not_allowed, "must be 24 or 32"},
        {"bpp", "288", setting_check::not_allowed, "must be 24 or 32"},
        {"bpp", " 32", setting_check::not_allowed, "must be 24 or 32"},
        {"bpp", "0x20", setting_check::not_allowed, "must be 24 or 32"},
        {"bpp", "", setting_check::not_allowed, "must be 24 or 32"},
        {"num_mipmaps", "5", setting_check::ok, ""},
        {"num_mipmaps", "3", setting_check::not_allowed, "must be 1 or 5"},
        {"num_mipmaps", "0", setting_check::not_allowed, "must be 1 or 5"},
        {"mipmaps", "1", setting_check::ok, ""},
        {"mipmaps", "2", setting_check::not_allowed, "must be 0 to 1"},
        {"dither", "0", setting_check::ok, ""},
        {"srgb_mips", "1", setting_check::ok, ""},
        {"alpha_mips", "2", setting_check::not_allowed, "must be 0 or 1"},
        {"dither", "on", setting_check::not_allowed, "must be 0 or 1"},
        {"input_type", "0", setting_check::ok, ""},
        {"input_type", "4", setting_check::ok, ""}, // PNG, after "All Files"
        {"input_type", "5", setting_check::not_allowed, "must be 0 to 4"},
        {"output_type", "3", setting_check::ok, ""}, // PNG
        {"output_type", "-1", setting_check::not_allowed, "must be 0 to 3"},
        {"output_type", "4", setting_check::not_allowed, "must be 0 to 3"},
        {"suffix", "ABCDEFGHI", setting_check::ok, ""},
        {"suffix", "", setting_check::ok, ""},
        {"suffix", "ABCDEFGHIJ", setting_check::too_long, "longer than 9 characters"},
        {"suffix", "a\nb", setting_check::line_break, "holds a line break"},
        {"output_dir", " /out put ", setting_check::ok, ""},
        {"output_dir", "", setting_check::blank_folder, "names no folder"},
        {"output_dir", " \t ", setting_check::blank_folder, "names no folder"},
        {"output_dir", nul_free_255.substr(1), setting_check::ok, ""},
        {"output_dir", nul_free_255, setting_check::no_room, "longer than 254 characters"},
        {"output_dir", nul_free_255.substr(1) + "/", setting_check::ok, ""},
        {"install_dir", nul_free_255, setting_check::ok, ""},
        {"suffix", "/../../", setting_check::holds_separator, "holds /, \\ or :"},
        {"suffix", "a\\b", setting_check::holds_separator, "holds /, \\ or :"},
        {"suffix", "c:", setting_check::holds_separator, "holds /, \\ or :"},
        {"suffix", "..", setting_check::ok, ""},
        {"output_dir", nul_free_255 + "f", setting_check::too_long, "longer than 255 characters"},
        {"install_dir", "/a\rb", setting_check::line_break, "holds a line break"},
        {"colour", "red", setting_check::unknown_name, "unknown setting"},
        {"BPP", "32", setting_check::unknown_name, "unknown setting"},
        {" bpp", "32", setting_check::unknown_name, "unknown setting"},
    };
    for (const auto& s : samples) {
        SCOPED_TRACE(std::string(s.name) + "=" + s.value);
        settings_record record = changed_settings();
        EXPECT_EQ(set_setting(record, s.name, s.value.c_str()), s.check);
        const setting_field* field = find_setting(s.name);
        if (s.check == setting_check::ok) {
            ASSERT_NE(field, nullptr);
            EXPECT_EQ(setting_value(record, *field), s.value);
            // Only the named field changed.
            const std::string kept = setting_value(changed_settings(), *field);
            set_setting(record, s.name, kept.c_str());
            expect_same_settings(record, changed_settings());
        } else {
            expect_same_settings(record, changed_settings());
            EXPECT_EQ(setting_check_text(s.check, s.name).rfind(s.reason, 0), 0u)
                << setting_check_text(s.check, s.name);
        }
    }
}

TEST(set_setting, names_every_field_in_the_records_order) {
    std::string names;
    for (const auto& field : setting_fields)
        names.append(field.name).append(" ");
    EXPECT_EQ(names, "install_dir input_dir output_dir input_type output_type bpp mipmaps "
                     "suffix num_mipmaps dither srgb_mips alpha_mips ");
    const settings_record record = changed_settings();
    std::string values;
    for (const auto& field : setting_fields)
        values.append(setting_value(record, field)).append("|");
    const std::string s(1, path_separator);
    EXPECT_EQ(values,
              s + "opt" + s + "kgf|" + s + "in put|" + s + "out" + s + "|3|1|32|1|-lvl|5|1|1|1|");
}

#ifndef _WIN32

// The defaults, leaving the record as it was.
settings_record default_settings() {
    const settings_record kept = settings;
    set_default_settings();
    const settings_record defaults = settings;
    settings = kept;
    return defaults;
}

const char* const full_file = "[KGF Tool]\n"
                              "install_dir=/opt/kgf\n"
                              "input_dir=/in put\n"
                              "output_dir=/out/\n"
                              "input_type=3\n"
                              "output_type=1\n"
                              "\n"
                              "[KGF Tool\\tga]\n"
                              "bpp=32\n"
                              "mipmaps=1\n"
                              "suffix=-lvl\n"
                              "\n"
                              "[KGF Tool\\kgf]\n"
                              "num_mipmaps=5\n"
                              "dither=1\n"
                              "srgb_mips=1\n"
                              "alpha_mips=1\n";

TEST_F(settings_store, file_holds_every_value_in_its_group) {
    settings = changed_settings();
    save_settings();
    const std::vector<uint8_t> bytes = read_file_bytes(file());
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), full_file);
    EXPECT_FALSE(file_exists(file() + ".new"));
}

// Replaces the first occurrence of what in text.
std::string replaced(std::string text, const std::string& what, const std::string& with) {
    const size_t at = text.find(what);
    EXPECT_NE(at, std::string::npos) << what;
    if (at != std::string::npos)
        text.replace(at, what.size(), with);
    return text;
}

// Takes the named fields from the defaults, all others from changed.
settings_record expected_mix(const std::vector<std::string>& defaulted) {
    const settings_record defaults = default_settings();
    settings_record result = changed_settings();
    for (const auto& name : defaulted) {
        const auto field = std::find_if(std::begin(record_fields), std::end(record_fields),
                                        [&](const record_field& f) { return f.name == name; });
        if (field == std::end(record_fields))
            ADD_FAILURE() << "no field " << name;
        else
            std::memcpy(reinterpret_cast<char*>(&result) + field->offset,
                        reinterpret_cast<const char*>(&defaults) + field->offset, field->size);
    }
    return result;
}

const std::vector<std::string> all_fields = [] {
    std::vector<std::string> names;
    for (const record_field& field : record_fields)
        names.push_back(field.name);
    return names;
}();

TEST_F(settings_store, damaged_file_falls_back_field_by_field) {
    struct damage {
        const char* what;
        std::string contents;
        std::vector<std::string> defaulted;
    };
    const std::string full = full_file;
    const std::string nul(1, '\0');
    const damage cases[] = {
        {"intact", full, {}},
        {"windows line ends",
         replaced(replaced(full, "bpp=32\n", "bpp=32\r\n"), "/in put\n", "/in put\r\n"),
         {}},
        {"no line end at the end", full.substr(0, full.size() - 1), {}},
        {"line without equals sign", replaced(full, "bpp=32\n", "bpp 32\nnonsense\n"), {"bpp"}},
        {"comments and blank lines",
         replaced(full, "[KGF Tool\\kgf]", "; note\n# note\n\n[KGF Tool\\kgf]"),
         {}},
        {"unknown names", replaced(full, "mipmaps=1\n", "mipmaps=1\ncolour=red\nbpp2=8\n"), {}},
        {"number above 255", replaced(full, "bpp=32", "bpp=256"), {"bpp"}},
        {"huge number",
         replaced(full, "num_mipmaps=5", "num_mipmaps=99999999999999999999"),
         {"num_mipmaps"}},
        {"negative number", replaced(full, "input_type=3", "input_type=-1"), {"input_type"}},
        {"signed number", replaced(full, "input_type=3", "input_type=+3"), {"input_type"}},
        {"hexadecimal number", replaced(full, "output_type=1", "output_type=0x1"), {"output_type"}},
        {"number with text", replaced(full, "mipmaps=1", "mipmaps=1 yes"), {"mipmaps"}},
        {"empty number", replaced(full, "mipmaps=1", "mipmaps="), {"mipmaps"}},
        {"folder of 256 characters",
         replaced(full, "/opt/kgf", "/" + std::string(255, 'a')),
         {"install_dir"}},
        {"suffix of 10 characters", replaced(full, "-lvl", "ABCDEFGHIJ"), {"suffix"}},
        {"text holding a NUL", replaced(full, "/out/", "/o" + nul + "ut/"), {"output_dir"}},
        {"garbage bytes on a line of their own",
         replaced(full, "[KGF Tool\\tga]", "\xff\xfe" + nul + "\x01\x80=\x7f\n[KGF Tool\\tga]"),
         {}},
        {"garbage in a name",
         replaced(full, "suffix=",
                  "suf\xfe"
                  "fix="),
         {"suffix"}},
        {"tga group missing",
         replaced(full, "[KGF Tool\\tga]\n", ""),
         {"bpp", "mipmaps", "suffix"}},
        {"main group missing",
         replaced(full, "[KGF Tool]\n", ""),
         {"install_dir", "input_dir", "output_dir", "input_type", "output_type"}},
        {"group name in other case",
         replaced(full, "[KGF Tool\\kgf]", "[KGF Tool\\KGF]"),
         {"num_mipmaps", "dither", "srgb_mips", "alpha_mips"}},
        {"unclosed group header",
         replaced(full, "[KGF Tool\\tga]", "[KGF Tool\\tga"),
         {"bpp", "mipmaps", "suffix"}},
        {"value in the wrong group",
         replaced(replaced(full, "num_mipmaps=5\n", ""), "bpp=32\n", "bpp=32\nnum_mipmaps=5\n"),
         {"num_mipmaps"}},
        {"later bad value keeps the earlier good one",
         replaced(full, "bpp=32\n", "bpp=32\nbpp=999\n"),
         {}},
        {"empty file", "", all_fields},
        {"only garbage", std::string("\x89PNG\r\n\x1a\n") + nul + nul + "\xff\xd8\xff", all_fields},
        {"larger than any settings file", full + std::string(70000, '#'), all_fields},
    };
    create_folder(folder().c_str());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        write_file_bytes(file(), std::vector<uint8_t>(c.contents.begin(), c.contents.end()));
        const settings_record expected = expected_mix(c.defaulted);
        settings = settings_record{};
        EXPECT_EQ(load_settings(), 1);
        expect_same_settings(settings, expected);
    }
}

TEST_F(settings_store, blanks_around_names_and_values_do_not_count) {
    struct layout {
        const char* what;
        std::string contents;
        std::string output_dir; // expected
        std::string suffix;
        uint8_t bpp;
    };
    const std::string full = full_file;
    const std::string output_line = "output_dir=/out/\n";
    const layout cases[] = {
        {"blanks around names and group names",
         replaced(
             replaced(replaced(full, output_line, "  output_dir \t=/out/\n"), "bpp=", "\tbpp ="),
             "[KGF Tool\\tga]", " [ KGF Tool\\tga\t]"),
         "/out/", "-lvl", 32},
        {"blanks around the value",
         replaced(replaced(full, output_line, "output_dir = /out/ \t\n"), "bpp=32", "bpp=  32 "),
         "/out/", "-lvl", 32},
        {"blanks inside stay", replaced(full, output_line, "output_dir = /o u t/ \r\n"), "/o u t/",
         "-lvl", 32},
        {"quotes keep blanks", replaced(full, output_line, "output_dir = \" /out/ \" \n"),
         " /out/ ", "-lvl", 32},
        {"empty quotes", replaced(full, "suffix=-lvl", "suffix = \"\""), "/out/", "", 32},
        {"quotes inside quotes", replaced(full, "suffix=-lvl", "suffix=\"\"a\"\""), "/out/",
         "\"a\"", 32},
        {"a lone quote is text", replaced(full, "suffix=-lvl", "suffix=\"ab"), "/out/", "\"ab", 32},
        {"quoted number", replaced(full, "bpp=32", "bpp=\"32\""), "/out/", "-lvl", 32},
        {"blanks inside a quoted number", replaced(full, "bpp=32", "bpp=\" 32\""), "/out/", "-lvl",
         24},
        {"quoted text too long once unquoted",
         replaced(full, "suffix=-lvl", "suffix=\"ABCDEFGHIJ\""), "/out/", "_MM", 32},
    };
    create_folder(folder().c_str());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        write_file_bytes(file(), std::vector<uint8_t>(c.contents.begin(), c.contents.end()));
        settings_record expected = changed_settings();
        set_text(expected.output_dir, 256, c.output_dir);
        set_text(expected.suffix, 10, c.suffix);
        expected.bpp = c.bpp;
        settings = settings_record{};
        load_settings();
        expect_same_settings(settings, expected);
    }
}

TEST_F(settings_store, texts_are_quoted_exactly_when_they_need_it) {
    struct text_case {
        std::string value;
        std::string line; // as written
    };
    const text_case cases[] = {
        {"/in put/", "input_dir=/in put/"}, {"", "input_dir="},
        {" /out", "input_dir=\" /out\""},   {"/out\t", "input_dir=\"/out\t\""},
        {" ", "input_dir=\" \""},           {"\"/out\"", "input_dir=\"\"/out\"\""},
        {"\"/out", "input_dir=\"/out"},     {"\"", "input_dir=\""},
        {"a=b;#c", "input_dir=a=b;#c"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        settings = changed_settings();
        set_text(settings.input_dir, 256, c.value);
        ASSERT_TRUE(try_save_settings());
        const std::vector<uint8_t> bytes = read_file_bytes(file());
        EXPECT_NE(std::string(bytes.begin(), bytes.end()).find("\n" + c.line + "\n"),
                  std::string::npos);
        settings = settings_record{};
        load_settings();
        EXPECT_EQ(text_of(settings.input_dir, 256), c.value);
    }
    EXPECT_EQ(settings_location(), file());
}

TEST_F(settings_store, folder_in_place_of_the_file_gives_defaults) {
    std::filesystem::create_directories(file());
    const settings_record defaults = default_settings();
    settings = changed_settings();
    EXPECT_EQ(load_settings(), 1);
    expect_same_settings(settings, defaults);
    // Saving cannot replace a folder; it gives up without touching it.
    settings = changed_settings();
    EXPECT_EQ(save_settings(), 1);
    EXPECT_TRUE(std::filesystem::is_directory(file()));
    EXPECT_FALSE(file_exists(file() + ".new"));
}

TEST_F(settings_store, save_creates_the_missing_folders) {
    scratch_folder deep;
    const std::string base = deep.path + "/a/b";
    environment_change nested("XDG_CONFIG_HOME", base.c_str());
    settings = changed_settings();
    save_settings();
    EXPECT_TRUE(file_exists(base + "/kgf-tool/settings.ini"));
    settings = settings_record{};
    load_settings();
    expect_same_settings(settings, changed_settings());
}

TEST_F(settings_store, home_config_folder_when_xdg_is_empty_or_relative) {
    scratch_folder home;
    environment_change home_change("HOME", home.path.c_str());
    for (const char* xdg : {"", "relative/config"}) {
        SCOPED_TRACE(xdg);
        environment_change xdg_change("XDG_CONFIG_HOME", xdg);
        current_folder_change here(work.path);
        settings = changed_settings();
        save_settings();
        EXPECT_TRUE(file_exists(home.path + "/.config/kgf-tool/settings.ini"));
        EXPECT_FALSE(file_exists(work.path + "/relative"));
        settings = settings_record{};
        load_settings();
        expect_same_settings(settings, changed_settings());
        std::filesystem::remove_all(home.path + "/.config");
    }
    // The home folder is also the default input folder.
    environment_change unset_xdg("XDG_CONFIG_HOME", "");
    load_settings();
    EXPECT_EQ(text_of(settings.input_dir, 256), home.path);
}

TEST_F(settings_store, text_with_a_line_break_is_not_saved) {
    settings = changed_settings();
    set_text(settings.output_dir, 256, "/out\nbpp=8");
    save_settings();
    settings = settings_record{};
    load_settings();
    expect_same_settings(settings, expected_mix({"output_dir"}));
}

// The old file must survive every failed save whole.
class failed_save : public settings_store {
  protected:
    std::vector<uint8_t> old_bytes;
    void SetUp() override {
        settings = changed_settings();
        save_settings();
        old_bytes = read_file_bytes(file());
        ASSERT_FALSE(old_bytes.empty());
        set_text(settings.output_dir, 256, "/elsewhere");
        settings.bpp = 24;
    }
    void expect_old_file() {
        EXPECT_EQ(read_file_bytes(file()), old_bytes);
        settings = settings_record{};
        load_settings();
        expect_same_settings(settings, changed_settings());
    }
};

TEST_F(failed_save, temporary_name_taken_by_a_folder) {
    std::filesystem::create_directories(file() + "." + std::to_string(getpid()) + ".new/inside");
    EXPECT_EQ(save_settings(), 1);
    expect_old_file();
    // The command line's save tells of the failure.
    settings.bpp = 24;
    EXPECT_FALSE(try_save_settings());
    expect_old_file();
}

TEST_F(failed_save, write_error_keeps_the_old_file) {
    // A file-size limit makes the write fail part way, as a full disk would.
    rlimit old_limit{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old_limit), 0);
    rlimit small = old_limit;
    small.rlim_cur = 16;
    const auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool saved = try_save_settings();
    setrlimit(RLIMIT_FSIZE, &old_limit);
    std::signal(SIGXFSZ, old_handler);
    EXPECT_FALSE(saved);
    EXPECT_FALSE(file_exists(file() + "." + std::to_string(getpid()) + ".new"));
    expect_old_file();
}

TEST(settings_store_replace, stale_temporary_files_are_replaced_not_followed) {
    scratch_folder config;
    environment_change xdg("XDG_CONFIG_HOME", config.path.c_str());
    const std::string folder = config.path + "/kgf-tool";
    create_folder(folder.c_str());
    // Left by an interrupted save: a plain file, then a link to another file.
    write_file_bytes(folder + "/settings.ini.new", {'o', 'l', 'd'});
    settings = changed_settings();
    save_settings();
    EXPECT_FALSE(file_exists(folder + "/settings.ini.new"));
    const std::string victim = config.path + "/victim";
    write_file_bytes(victim, {'k', 'e', 'e', 'p'});
    ASSERT_EQ(symlink(victim.c_str(), (folder + "/settings.ini.new").c_str()), 0);
    save_settings();
    EXPECT_EQ(read_file_bytes(victim), (std::vector<uint8_t>{'k', 'e', 'e', 'p'}));
    settings = settings_record{};
    load_settings();
    expect_same_settings(settings, changed_settings());
    reset_routines_state();
}

#endif

} // namespace

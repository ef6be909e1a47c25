#include "fuzz/fuzz_support.h"

#include "platform/message.h"
#include "settings/settings.h"

#include <cstdio>
#include <unistd.h>

namespace {
int swallow(const char*, const char*, unsigned style) {
    return (style & message_yes_no) ? answer_no : answer_ok;
}
} // namespace

const std::string& fuzz_input_file(const uint8_t* data, size_t size) {
    static const std::string path = "/tmp/kgf-fuzz-" + std::to_string(getpid()) + ".bin";
    static bool ready = false;
    if (!ready) {
        set_message_handler(swallow);
        set_default_settings();
        ready = true;
    }
    FILE* stream = std::fopen(path.c_str(), "wb");
    if (stream != nullptr) {
        if (size > 0)
            std::fwrite(data, 1, size, stream);
        std::fclose(stream);
    }
    return path;
}

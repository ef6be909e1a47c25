#include "resources/resource_ids.h"
#include "routines/batch.h"
#include "ui/ui.h"

void load_format_descriptions(HINSTANCE instance) {
    const UINT ids[format_count] = {IDS_KAF_DESCRIPTION, IDS_KGF_DESCRIPTION, IDS_TGA_DESCRIPTION,
                                    IDS_PNG_DESCRIPTION};
    for (int entry = 0; entry < format_count; ++entry) {
        char* text = format_descriptions[entry];
        text[0] = '\0';
        if (LoadStringA(instance, ids[entry], text, description_bytes) <= 0)
            text[0] = '\0';
    }
}

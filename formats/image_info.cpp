#include "formats/image_info.h"

image_info_record image_info = {};

#include "routines/image_info.h"

image_info_record image_info = {};

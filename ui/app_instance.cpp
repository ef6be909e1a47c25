#include "ui/ui.h"

HINSTANCE app_instance = nullptr;

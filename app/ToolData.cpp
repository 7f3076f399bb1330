#include "app/ToolData.h"

unsigned char g_bComMode = 0;

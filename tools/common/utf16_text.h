// Text for the library's W exports: UTF-16 on every platform.
#pragma once

#include <string>

#include "rkvtps32.h"

using WideText = std::basic_string<RK_WCHAR>;

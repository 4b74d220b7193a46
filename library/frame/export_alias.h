// Several export names that share one function body. On ELF the extra names
// are aliases of the body's symbol; on Windows the module-definition file
// maps them onto the body instead, so nothing is declared here.
#pragma once

#include <vostrel/hub_api.h>

#include <cstdint>

#if defined(_WIN32)
#define VOSTREL_EXPORT_ALIAS(name, params, target)
#else
#define VOSTREL_EXPORT_ALIAS(name, params, target) \
    HUB_API std::int32_t HUB_CALL name params __attribute__((alias(#target)));
#endif

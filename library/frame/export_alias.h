// Several export names that share one function body: the extra names are
// aliases of the body's symbol, so that code linking the library's objects
// directly reaches them too. On Windows the module-definition file maps the
// exported names onto the body as well; on 32-bit Windows it alone does,
// since there the body's symbol carries the size of its arguments
// (_Hub_GetStatus@8), which an alias cannot name.
#pragma once

#include <vostrel/hub_api.h>

#include <cstdint>

#if defined(_WIN32) && !defined(_WIN64)
#define VOSTREL_EXPORT_ALIAS(name, params, target)
#else
#define VOSTREL_EXPORT_ALIAS(name, params, target) \
    HUB_API std::int32_t HUB_CALL name params __attribute__((alias(#target)));
#endif

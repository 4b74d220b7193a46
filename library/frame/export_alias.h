// Several export names that share one function body: the extra names are
// aliases of the body's symbol, so that code linking the library's objects
// directly reaches them too. On Windows the module-definition file maps the
// exported names onto the body as well. On 32-bit Windows the body's symbol
// carries the size of its arguments (_Hub_GetStatus@8), which an alias
// cannot name: there the extra name is a function of its own that passes
// its two arguments on, for code linking the objects; the DLL exports the
// body under both names all the same.
#pragma once

#include <vostrel/hub_api.h>

#include <cstdint>

#if defined(_WIN32) && !defined(_WIN64)
#define VOSTREL_ALIAS_FIRST_(first, second) first
#define VOSTREL_ALIAS_SECOND_(first, second) second
#define VOSTREL_EXPORT_ALIAS(name, params, target)                                   \
    HUB_API std::int32_t HUB_CALL name(VOSTREL_ALIAS_FIRST_ params first,           \
                                       VOSTREL_ALIAS_SECOND_ params second) {       \
        return target(first, second);                                               \
    }
#else
#define VOSTREL_EXPORT_ALIAS(name, params, target) \
    HUB_API std::int32_t HUB_CALL name params __attribute__((alias(#target)));
#endif

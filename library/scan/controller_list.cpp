#include "scan/controller_list.h"

#include <algorithm>
#include <list>
#include <mutex>

#include "frame/locks.h"
#include <vostrel/hub_api.h>

namespace vostrel {
namespace {

// Never destroyed: a monitor thread may still scan at process exit, after
// the C++ statics of the library are gone.
std::list<std::u16string>& controllers() {
    static auto* list = new std::list<std::u16string>;
    return *list;
}

}  // namespace

bool controllerListed(const std::u16string& key) {
    const auto& list = controllers();
    return std::find(list.begin(), list.end(), key) != list.end();
}

void appendController(std::u16string key) { controllers().push_back(std::move(key)); }

void ClearControllerList() { controllers().clear(); }

}  // namespace vostrel

extern "C" HUB_API std::int32_t HUB_CALL Hub_CleanupInfoList(void) {
    std::lock_guard lock(vostrel::generalLock());
    vostrel::ClearControllerList();
    return 1;
}

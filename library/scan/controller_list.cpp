#include "scan/controller_list.h"

#include <algorithm>
#include <list>

namespace vostrel {
namespace {

// Never destroyed: a monitor thread may still scan at process exit, after
// the C++ statics of the library are gone.
std::list<std::u16string>& controllers() REQUIRES(generalLock) {
    static auto* list = new std::list<std::u16string>;
    return *list;
}

}  // namespace

bool controllerListed(const std::u16string& key) {
    const auto& list = controllers();
    return std::find(list.begin(), list.end(), key) != list.end();
}

std::size_t listedControllerCount() { return controllers().size(); }

void appendController(std::u16string key) { controllers().push_back(std::move(key)); }

void ClearControllerList() { controllers().clear(); }

}  // namespace vostrel

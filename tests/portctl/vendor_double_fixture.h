// The library's load steps with the recording vendor double reset before
// them; the double is linked into the test executable, so binding finds it.
#pragma once

#include <string>
#include <vector>

#include "hub_api.h"
#include "loaded_library.h"
#include "pt2lib_double.h"

namespace vostrel::test {

using Calls = std::vector<std::string>;

class VendorDouble : public LoadedLibrary {
protected:
    void SetUp() override {
        pt2DoubleReset();
        LoadedLibrary::SetUp();
    }

    // Binds and forgets the binding's own calls.
    static void bind() {
        ASSERT_EQ(Hub_InitPt2lib(), 1);
        pt2DoubleClearLog();
    }
};

}  // namespace vostrel::test

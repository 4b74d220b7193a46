#include "hub_listing.h"

namespace vostrel::anyhub {

// Windows shows no hub's port power to programs.
std::unique_ptr<HubListing> makeHostHubListing() { return nullptr; }
std::unique_ptr<HubPorts> makeHostHubPorts() { return nullptr; }

}  // namespace vostrel::anyhub

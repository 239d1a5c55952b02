// This machine's own adapters and Wi-Fi interfaces, read as the probe reads them.

#include <gtest/gtest.h>

#include <cstdlib>
#include <iostream>

#include "platform/host_network.h"

namespace rzl::platform {
namespace {

TEST(HostNetwork, TheAdapterListHoldsTheLoopback) {
    std::vector<AdapterFacts> adapters;
    std::string error;
    ASSERT_TRUE(ReadAdapters(adapters, error)) << error;
    const AdapterFacts* loopback = nullptr;
    for (const AdapterFacts& a : adapters)
        if (a.address == "127.0.0.1") loopback = &a;
    ASSERT_NE(loopback, nullptr);
    EXPECT_EQ(loopback->prefixLength, 8);
    EXPECT_EQ(loopback->interfaceType, 24) << "software loopback";
    EXPECT_EQ(loopback->operStatus, 1) << "up";
    EXPECT_TRUE(loopback->physicalAddress.empty() || loopback->physicalAddress == std::vector<std::uint8_t>(6, 0));
#if defined(_WIN32)
    // The adapter GUID, which the Wi-Fi interfaces' identifiers are spelt as.
    ASSERT_EQ(loopback->name.size(), 38u) << loopback->name;
    EXPECT_EQ(loopback->name.front(), '{');
    EXPECT_EQ(loopback->name.back(), '}');
    EXPECT_EQ(loopback->name.find_first_of("abcdef"), std::string::npos) << "in capitals";
#else
    EXPECT_EQ(loopback->name, "lo");
#endif
    for (const AdapterFacts& a : adapters) EXPECT_FALSE(a.name.empty());
}

// Wi-Fi may be missing (no wireless support, no WLAN service): then the read either finds no
// interfaces or says why it cannot ask; never a loopback among the interfaces.
TEST(HostNetwork, WifiInterfacesAreReadOrTheReasonIsGiven) {
    std::vector<WlanFacts> interfaces;
    std::string error;
    if (!ReadWlanInterfaces(interfaces, error)) {
        EXPECT_FALSE(error.empty());
        std::cout << "Wi-Fi interfaces not read: " << error << '\n';
        return;
    }
    EXPECT_TRUE(error.empty());
    std::cout << interfaces.size() << " Wi-Fi interface(s)\n";
    for (const WlanFacts& w : interfaces) {
        EXPECT_FALSE(w.id.empty());
        EXPECT_NE(w.id, "lo");
        if (w.bssid) {
            EXPECT_EQ(w.state, kWlanConnected) << w.id;
        }
    }
}

#if defined(_WIN32)
// Windows Server has no wlanapi.dll until its Wireless LAN feature is installed. The program
// must start there all the same (it loads the library itself, not through its imports) and the
// probe finds no Wi-Fi service. scripts/windows/test-platform.sh runs this program a second time
// with the library disabled in Wine and RZL_WLANAPI_MISSING set.
TEST(HostNetwork, WithoutTheWifiLibraryThereIsNoWifiService) {
    if (!std::getenv("RZL_WLANAPI_MISSING")) GTEST_SKIP() << "wlanapi.dll is there (RZL_WLANAPI_MISSING unset)";
    std::vector<WlanFacts> interfaces;
    std::string error;
    EXPECT_FALSE(ReadWlanInterfaces(interfaces, error));
    EXPECT_EQ(error.rfind("no Wi-Fi service (wlanapi.dll: ", 0), 0u) << error;
    EXPECT_TRUE(interfaces.empty());
    std::vector<AdapterFacts> adapters;
    EXPECT_TRUE(ReadAdapters(adapters, error)) << "the adapters are read all the same: " << error;
}
#endif

}  // namespace
}  // namespace rzl::platform

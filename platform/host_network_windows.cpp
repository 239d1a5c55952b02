// The network facts on Windows: adapters from IP Helper (GetAdaptersAddresses), Wi-Fi
// interfaces and their connection from Native Wi-Fi (the WLAN service). What the answers
// mean is read in windows_network_answers.cpp.
//
// Native Wi-Fi's library is loaded when it is first needed, from the system folder only:
// Windows Server has no wlanapi.dll until its Wireless LAN feature is installed, and a program
// that imported it would not start there at all. Without it there is no Wi-Fi service to ask.
#include "platform/host_network.h"

#include <memory>

#include "platform/windows_network_answers.h"
#include "platform/windows_text.h"

namespace rzl::platform {

namespace {

// The Native Wi-Fi calls the probe makes, found in wlanapi.dll.
struct WlanLibrary {
    decltype(&WlanOpenHandle) openHandle = nullptr;
    decltype(&WlanCloseHandle) closeHandle = nullptr;
    decltype(&WlanEnumInterfaces) enumInterfaces = nullptr;
    decltype(&WlanQueryInterface) queryInterface = nullptr;
    decltype(&WlanFreeMemory) freeMemory = nullptr;
    std::string missing;  // why the calls cannot be made; empty when they can
};

template <typename Function>
void find(HMODULE library, const char* name, Function& function) {
    function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

WlanLibrary loadWlanLibrary() {
    WlanLibrary wlan;
    // Loaded once and kept for the life of the program, as an import would be.
    const HMODULE library = LoadLibraryExW(L"wlanapi.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (!library) {
        wlan.missing = WlanLibraryMissing(GetLastError());
        return wlan;
    }
    find(library, "WlanOpenHandle", wlan.openHandle);
    find(library, "WlanCloseHandle", wlan.closeHandle);
    find(library, "WlanEnumInterfaces", wlan.enumInterfaces);
    find(library, "WlanQueryInterface", wlan.queryInterface);
    find(library, "WlanFreeMemory", wlan.freeMemory);
    if (!wlan.openHandle || !wlan.closeHandle || !wlan.enumInterfaces || !wlan.queryInterface || !wlan.freeMemory)
        wlan.missing = WlanLibraryMissing(GetLastError());
    return wlan;
}

const WlanLibrary& wlanLibrary() {
    static const WlanLibrary wlan = loadWlanLibrary();
    return wlan;
}

}  // namespace

bool ReadAdapters(std::vector<AdapterFacts>& adapters, std::string& error) {
    constexpr ULONG kFlags = GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER;
    ULONG size = 16 * 1024;
    std::unique_ptr<char[]> buffer;
    ULONG result = ERROR_BUFFER_OVERFLOW;
    // The list may grow between the calls: ask again with the size the last call wanted.
    for (int attempt = 0; attempt < 3 && result == ERROR_BUFFER_OVERFLOW; ++attempt) {
        buffer = std::make_unique<char[]>(size);
        result = GetAdaptersAddresses(AF_UNSPEC, kFlags, nullptr,
                                      reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.get()), &size);
    }
    if (result == ERROR_NO_DATA) {  // no adapters at all
        adapters.clear();
        return true;
    }
    if (result != NO_ERROR) {
        error = "GetAdaptersAddresses: " + SystemMessage(result);
        return false;
    }
    adapters = AdaptersFromAnswer(reinterpret_cast<const IP_ADAPTER_ADDRESSES*>(buffer.get()));
    return true;
}

bool ReadWlanInterfaces(std::vector<WlanFacts>& interfaces, std::string& error) {
    const WlanLibrary& wlan = wlanLibrary();
    if (!wlan.missing.empty()) {
        error = wlan.missing;
        return false;
    }
    DWORD version = 0;
    HANDLE client = nullptr;
    if (const DWORD opened = wlan.openHandle(2, nullptr, &version, &client); opened != ERROR_SUCCESS) {
        error = WlanFailure("WlanOpenHandle", opened);
        return false;
    }
    WLAN_INTERFACE_INFO_LIST* list = nullptr;
    if (const DWORD listed = wlan.enumInterfaces(client, nullptr, &list); listed != ERROR_SUCCESS) {
        error = WlanFailure("WlanEnumInterfaces", listed);
        wlan.closeHandle(client, nullptr);
        return false;
    }
    // Each interface's current connection; one that is not connected has none (the query fails
    // with ERROR_INVALID_STATE).
    std::vector<const WLAN_CONNECTION_ATTRIBUTES*> connections;
    const WLAN_INTERFACE_INFO* entries = list->InterfaceInfo;
    for (DWORD i = 0; i < list->dwNumberOfItems; ++i) {
        void* data = nullptr;
        DWORD size = 0;
        const DWORD queried = wlan.queryInterface(client, &entries[i].InterfaceGuid,
                                                  wlan_intf_opcode_current_connection, nullptr, &size, &data, nullptr);
        if (queried != ERROR_SUCCESS || size < sizeof(WLAN_CONNECTION_ATTRIBUTES)) {
            if (data) wlan.freeMemory(data);
            data = nullptr;
        }
        connections.push_back(static_cast<const WLAN_CONNECTION_ATTRIBUTES*>(data));
    }
    interfaces = WlanFromAnswers(*list, connections);
    for (const WLAN_CONNECTION_ATTRIBUTES* connection : connections)
        if (connection) wlan.freeMemory(const_cast<WLAN_CONNECTION_ATTRIBUTES*>(connection));
    wlan.freeMemory(list);
    wlan.closeHandle(client, nullptr);
    return true;
}

}  // namespace rzl::platform

// The network facts on Linux: adapters from getifaddrs and /sys/class/net, Wi-Fi interfaces
// and their connection from nl80211 (generic netlink, through libnl).
#include "platform/host_network.h"

#include <algorithm>
#include <bit>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if_arp.h>
#include <netpacket/packet.h>
#include <net/if.h>
#include <netinet/in.h>

#include <cerrno>
#include <cstring>

#include "platform/nl80211_answers.h"

#if defined(RZL_HAVE_LIBNL)
#include <linux/nl80211.h>
#include <netlink/genl/ctrl.h>
#include <netlink/genl/genl.h>
#include <netlink/msg.h>
#endif

namespace rzl::platform {

namespace {

std::filesystem::path sysfsPath(const std::string& name) { return std::filesystem::path("/sys/class/net") / name; }

// The file's text without the white space around it; empty when it cannot be read.
std::string sysfsText(const std::string& name, const char* leaf) {
    std::ifstream file(sysfsPath(name) / leaf);
    std::ostringstream text;
    text << file.rdbuf();
    const std::string all = text.str();
    const std::size_t first = all.find_first_not_of(" \t\n\r\f\v");
    if (first == std::string::npos) return {};
    return all.substr(first, all.find_last_not_of(" \t\n\r\f\v") - first + 1);
}

bool isWireless(const std::string& name) {
    std::error_code error;
    return std::filesystem::exists(sysfsPath(name) / "wireless", error) ||
           std::filesystem::exists(sysfsPath(name) / "phy80211", error);
}

// The interface type in the numbering the adapter table uses everywhere (IANA ifType).
std::uint8_t interfaceType(const std::string& name, unsigned short arpType) {
    switch (arpType) {
    case ARPHRD_ETHER: return isWireless(name) ? 71 : 6;
    case ARPHRD_LOOPBACK: return 24;
    case ARPHRD_PPP: return 23;
    case ARPHRD_IEEE80211:
    case ARPHRD_IEEE80211_PRISM:
    case ARPHRD_IEEE80211_RADIOTAP: return 71;
    case ARPHRD_TUNNEL:
    case ARPHRD_TUNNEL6:
    case ARPHRD_SIT:
    case ARPHRD_IPGRE:
    case ARPHRD_NONE: return 131;
    default: return 1;
    }
}

// Operational status as RFC 2863 numbers it (1 up, 2 down, ... 7 lower layer down).
std::uint8_t operStatus(const std::string& name, unsigned flags) {
    const std::string state = sysfsText(name, "operstate");
    if (state == "up") return 1;
    if (state == "down") return 2;
    if (state == "testing") return 3;
    if (state == "dormant") return 5;
    if (state == "notpresent") return 6;
    if (state == "lowerlayerdown") return 7;
    // Loopback and many virtual links say "unknown" while they carry traffic.
    return (flags & IFF_UP) && (flags & IFF_RUNNING) ? 1 : 4;
}

std::string driverName(const std::string& name) {
    std::error_code error;
    const std::filesystem::path link = std::filesystem::read_symlink(sysfsPath(name) / "device" / "driver", error);
    return error ? std::string() : link.filename().string();
}

unsigned short arpTypeNumber(const std::string& name) {
    unsigned short number = 0;
    std::istringstream(sysfsText(name, "type")) >> number;
    return number;
}

}  // namespace

bool ReadAdapters(std::vector<AdapterFacts>& adapters, std::string& error) {
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) {
        error = std::strerror(errno);
        return false;
    }
    struct Seen {
        std::string name;
        std::string address;
        std::uint8_t prefixLength = 0;
        const sockaddr_ll* link = nullptr;
        unsigned flags = 0;
    };
    std::vector<Seen> seen;  // in the order the system lists the interfaces
    auto entry = [&seen](const std::string& name) -> Seen& {
        for (Seen& s : seen)
            if (s.name == name) return s;
        return seen.emplace_back(Seen{name});
    };
    for (ifaddrs* it = list; it; it = it->ifa_next) {
        if (!it->ifa_name) continue;
        Seen& s = entry(it->ifa_name);
        s.flags = it->ifa_flags;
        if (!it->ifa_addr) continue;
        if (it->ifa_addr->sa_family == AF_PACKET) {
            s.link = reinterpret_cast<const sockaddr_ll*>(it->ifa_addr);
        } else if (it->ifa_addr->sa_family == AF_INET && s.address.empty()) {
            char text[INET_ADDRSTRLEN] = {};
            const auto* in = reinterpret_cast<const sockaddr_in*>(it->ifa_addr);
            if (inet_ntop(AF_INET, &in->sin_addr, text, sizeof text)) s.address = text;
            if (it->ifa_netmask && it->ifa_netmask->sa_family == AF_INET) {
                const auto* mask = reinterpret_cast<const sockaddr_in*>(it->ifa_netmask);
                s.prefixLength = static_cast<std::uint8_t>(std::popcount(ntohl(mask->sin_addr.s_addr)));
            }
        }
    }

    adapters.clear();
    for (const Seen& s : seen) {
        AdapterFacts& facts = adapters.emplace_back();
        facts.name = s.name;  // joins with the Wi-Fi interface of the same name
        facts.friendlyName = s.name;
        facts.address = s.address;
        facts.prefixLength = s.prefixLength;
        const std::string driver = driverName(s.name);
        facts.description = driver.empty() ? s.name : driver;
        unsigned short arpType = 0;
        if (s.link) {
            arpType = s.link->sll_hatype;
            const std::size_t length = std::min<std::size_t>(s.link->sll_halen, sizeof s.link->sll_addr);
            facts.physicalAddress.assign(s.link->sll_addr, s.link->sll_addr + length);
        } else {
            arpType = arpTypeNumber(s.name);
        }
        facts.interfaceType = interfaceType(s.name, arpType);
        facts.operStatus = operStatus(s.name, s.flags);
    }
    freeifaddrs(list);  // the link addresses above point into it
    return true;
}

#if defined(RZL_HAVE_LIBNL)

namespace {

int collectMessage(nl_msg* msg, void* arg) {
    nlmsghdr* header = nlmsg_hdr(msg);
    static_cast<std::vector<std::string>*>(arg)->emplace_back(static_cast<const char*>(nlmsg_data(header)),
                                                              static_cast<std::size_t>(nlmsg_datalen(header)));
    return NL_OK;
}

// One nl80211 dump; every answer message goes to `out` as it came.
int dump(nl_sock* socket, int family, std::uint8_t command, std::uint32_t ifindex, std::vector<std::string>& out) {
    nl_msg* msg = nlmsg_alloc();
    if (!msg) return -NLE_NOMEM;
    genlmsg_put(msg, NL_AUTO_PORT, NL_AUTO_SEQ, family, 0, NLM_F_DUMP, command, 0);
    if (ifindex != 0) nla_put_u32(msg, NL80211_ATTR_IFINDEX, ifindex);
    nl_socket_modify_cb(socket, NL_CB_VALID, NL_CB_CUSTOM, collectMessage, &out);
    int rc = nl_send_auto(socket, msg);
    nlmsg_free(msg);
    if (rc >= 0) rc = nl_recvmsgs_default(socket);
    return rc;
}

}  // namespace

bool ReadWlanInterfaces(std::vector<WlanFacts>& interfaces, std::string& error) {
    nl_sock* socket = nl_socket_alloc();
    if (!socket) {
        error = "no netlink socket";
        return false;
    }
    auto fail = [&](int rc) {
        error = nl_geterror(rc);
        nl_socket_free(socket);
        return false;
    };
    int rc = genl_connect(socket);
    if (rc < 0) return fail(rc);
    const int family = genl_ctrl_resolve(socket, "nl80211");
    if (family < 0) {
        // No wireless support in this kernel: no Wi-Fi interfaces, not a failure.
        nl_socket_free(socket);
        interfaces.clear();
        return true;
    }
    std::vector<std::string> answers;
    if ((rc = dump(socket, family, NL80211_CMD_GET_INTERFACE, 0, answers)) < 0) return fail(rc);
    std::vector<Nl80211Interface> found;
    for (const std::string& answer : answers)
        if (auto interface = ParseNl80211Interface(answer)) found.push_back(*interface);

    // The BSS an interface is associated with shows in its scan results.
    std::vector<Nl80211Bss> bsses;
    for (const Nl80211Interface& interface : found) {
        std::vector<std::string> scan;
        if (dump(socket, family, NL80211_CMD_GET_SCAN, interface.ifindex, scan) < 0) continue;
        for (const std::string& answer : scan)
            if (auto bss = ParseNl80211Bss(answer)) bsses.push_back(*bss);
    }
    nl_socket_free(socket);
    interfaces = WlanFromNl80211(found, bsses);
    return true;
}

#else

// Built without libnl: no way to ask about Wi-Fi, so there are no Wi-Fi interfaces.
bool ReadWlanInterfaces(std::vector<WlanFacts>& interfaces, std::string&) {
    interfaces.clear();
    return true;
}

#endif  // RZL_HAVE_LIBNL

}  // namespace rzl::platform

// The probe's facts on Linux: adapters from getifaddrs and /sys/class/net, Wi-Fi
// interfaces and their connection from nl80211 (generic netlink, through libnl).
#include "link/host_network.h"

#if defined(__linux__)

#include <algorithm>
#include <bit>
#include <QFile>
#include <QFileInfo>
#include <QList>

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if_arp.h>
#include <netpacket/packet.h>
#include <net/if.h>
#include <netinet/in.h>

#include <cerrno>
#include <cstring>

#include "link/nl80211_answers.h"

#if defined(RZL_HAVE_LIBNL)
#include <linux/nl80211.h>
#include <netlink/genl/ctrl.h>
#include <netlink/genl/genl.h>
#include <netlink/msg.h>
#endif

namespace rzl {

namespace {

QByteArray sysfsText(const QByteArray& name, const char* leaf) {
    QFile file(QStringLiteral("/sys/class/net/%1/%2").arg(QString::fromLocal8Bit(name), QLatin1String(leaf)));
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.readAll().trimmed();
}

bool isWireless(const QByteArray& name) {
    const QString base = QStringLiteral("/sys/class/net/%1/").arg(QString::fromLocal8Bit(name));
    return QFileInfo::exists(base + QLatin1String("wireless")) || QFileInfo::exists(base + QLatin1String("phy80211"));
}

// The interface type in the numbering the adapter table uses everywhere (IANA ifType).
std::uint8_t interfaceType(const QByteArray& name, unsigned short arpType) {
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
std::uint8_t operStatus(const QByteArray& name, unsigned flags) {
    const QByteArray state = sysfsText(name, "operstate");
    if (state == "up") return 1;
    if (state == "down") return 2;
    if (state == "testing") return 3;
    if (state == "dormant") return 5;
    if (state == "notpresent") return 6;
    if (state == "lowerlayerdown") return 7;
    // Loopback and many virtual links say "unknown" while they carry traffic.
    return (flags & IFF_UP) && (flags & IFF_RUNNING) ? 1 : 4;
}

QByteArray driverName(const QByteArray& name) {
    const QString link = QFileInfo(QStringLiteral("/sys/class/net/%1/device/driver").arg(QString::fromLocal8Bit(name)))
                             .symLinkTarget();
    return link.isEmpty() ? QByteArray() : QFileInfo(link).fileName().toLocal8Bit();
}

class LinuxHostNetwork : public HostNetwork {
public:
    bool readAdapters(NetworkSnapshot& probe, QString* error) override;
    bool readWlan(NetworkSnapshot& probe, QString* error) override;
};

bool LinuxHostNetwork::readAdapters(NetworkSnapshot& probe, QString* error) {
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) {
        if (error) *error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    struct Seen {
        QByteArray name;
        QByteArray address;
        std::uint8_t prefixLength = 0;
        const sockaddr_ll* link = nullptr;
        unsigned flags = 0;
    };
    QList<Seen> seen;  // in the order the system lists the interfaces
    auto entry = [&seen](const QByteArray& name) -> Seen& {
        for (Seen& s : seen)
            if (s.name == name) return s;
        seen.append(Seen{name});
        return seen.last();
    };
    for (ifaddrs* it = list; it; it = it->ifa_next) {
        if (!it->ifa_name) continue;
        Seen& s = entry(QByteArray(it->ifa_name));
        s.flags = it->ifa_flags;
        if (!it->ifa_addr) continue;
        if (it->ifa_addr->sa_family == AF_PACKET) {
            s.link = reinterpret_cast<const sockaddr_ll*>(it->ifa_addr);
        } else if (it->ifa_addr->sa_family == AF_INET && s.address.isEmpty()) {
            char text[INET_ADDRSTRLEN] = {};
            const auto* in = reinterpret_cast<const sockaddr_in*>(it->ifa_addr);
            if (inet_ntop(AF_INET, &in->sin_addr, text, sizeof text)) s.address = text;
            if (it->ifa_netmask && it->ifa_netmask->sa_family == AF_INET) {
                const auto* mask = reinterpret_cast<const sockaddr_in*>(it->ifa_netmask);
                s.prefixLength = static_cast<std::uint8_t>(std::popcount(ntohl(mask->sin_addr.s_addr)));
            }
        }
    }

    probe.adapterCount = 0;
    for (const Seen& s : seen) {
        if (probe.adapterCount >= NetworkSnapshot::kMaxAdapters) break;
        AdapterRow& row = probe.adapters[probe.adapterCount++];
        row = AdapterRow{};
        row.name = s.name;  // joins with the Wi-Fi interface of the same name
        row.friendlyName = s.name;
        row.address = s.address;
        row.prefixLength = s.prefixLength;
        const QByteArray driver = driverName(s.name);
        row.description = driver.isEmpty() ? s.name : driver;
        unsigned short arpType = 0;
        if (s.link) {
            arpType = s.link->sll_hatype;
            const int length = std::min<int>(s.link->sll_halen, sizeof s.link->sll_addr);
            const QByteArray bytes(reinterpret_cast<const char*>(s.link->sll_addr), length);
            row.physicalAddressText = bytes.toHex(':').toUpper();
            std::memcpy(row.physicalAddress.data(), bytes.constData(), std::min<int>(length, 6));
        } else {
            arpType = sysfsText(s.name, "type").toUShort();
        }
        row.interfaceType = interfaceType(s.name, arpType);
        row.operStatus = operStatus(s.name, s.flags);
    }
    freeifaddrs(list);
    return true;
}

#if defined(RZL_HAVE_LIBNL)

int collectMessage(nl_msg* msg, void* arg) {
    nlmsghdr* header = nlmsg_hdr(msg);
    static_cast<QList<QByteArray>*>(arg)->append(
        QByteArray(static_cast<const char*>(nlmsg_data(header)), nlmsg_datalen(header)));
    return NL_OK;
}

// One nl80211 dump; every answer message goes to `out` as it came.
int dump(nl_sock* socket, int family, std::uint8_t command, std::uint32_t ifindex, QList<QByteArray>& out) {
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

bool LinuxHostNetwork::readWlan(NetworkSnapshot& probe, QString* error) {
    nl_sock* socket = nl_socket_alloc();
    if (!socket) {
        if (error) *error = QStringLiteral("no netlink socket");
        return false;
    }
    auto fail = [&](int rc) {
        if (error) *error = QString::fromLocal8Bit(nl_geterror(rc));
        nl_socket_free(socket);
        return false;
    };
    int rc = genl_connect(socket);
    if (rc < 0) return fail(rc);
    const int family = genl_ctrl_resolve(socket, "nl80211");
    if (family < 0) {
        // No wireless support in this kernel: no Wi-Fi interfaces, not a failure.
        nl_socket_free(socket);
        FillWlanTable(probe, {}, {});
        return true;
    }
    QList<QByteArray> answers;
    if ((rc = dump(socket, family, NL80211_CMD_GET_INTERFACE, 0, answers)) < 0) return fail(rc);
    QList<Nl80211Interface> interfaces;
    for (const QByteArray& answer : answers)
        if (auto interface = ParseNl80211Interface(answer)) interfaces.append(*interface);

    // The BSS an interface is associated with shows in its scan results.
    QList<Nl80211Bss> bsses;
    for (const Nl80211Interface& interface : interfaces) {
        QList<QByteArray> scan;
        if (dump(socket, family, NL80211_CMD_GET_SCAN, interface.ifindex, scan) < 0) continue;
        for (const QByteArray& answer : scan)
            if (auto bss = ParseNl80211Bss(answer)) bsses.append(*bss);
    }
    nl_socket_free(socket);
    FillWlanTable(probe, interfaces, bsses);
    return true;
}

#else

// Built without libnl: no way to ask about Wi-Fi, so there are no Wi-Fi interfaces.
bool LinuxHostNetwork::readWlan(NetworkSnapshot& probe, QString*) {
    FillWlanTable(probe, {}, {});
    return true;
}

#endif  // RZL_HAVE_LIBNL

}  // namespace

std::unique_ptr<HostNetwork> makeHostNetwork() { return std::make_unique<LinuxHostNetwork>(); }

}  // namespace rzl

#elif !defined(_WIN32)

namespace rzl {
// No source of adapter facts on this platform: the tables stay empty.
std::unique_ptr<HostNetwork> makeHostNetwork() { return nullptr; }
}  // namespace rzl

#endif

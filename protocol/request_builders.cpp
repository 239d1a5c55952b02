#include "protocol/request_builders.h"
#include "app/context.h"
namespace rzl {
void QueueLocate(Context&) {}
void QueueIdentify(Context&) {}
void SendIdentify(Context&) {}
void SendChecksumQuery(Context&) {}
void SendImageActivate(Context&) {}
void SendReboot(Context&) {}
void SendWifiMode(Context&) {}
void SendWebKey(Context&) {}
void SendResetDefaults(Context&, std::uint8_t) {}
void QueueCounterRead(Context&) {}
void SendCounterClear(Context&, std::uint8_t) {}
void QueueSetOutput(Context&, std::uint8_t, std::uint8_t) {}
void SendPoll(Context&) {}
void SendModbusNotice(Context&) {}
void ReissuePending(Context&) {}
void SendQueued(Context&) {}
}  // namespace rzl

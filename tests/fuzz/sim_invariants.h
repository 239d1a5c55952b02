#pragma once
// What must hold of the simulated module's state whatever it was sent: every stored file has a
// name the store accepts, the store keeps within its bounds, and the state survives its own
// state file.

#include <cstdio>
#include <cstdlib>

#include "sim/frame_handler.h"
#include "sim/module_state.h"

namespace rzl::fuzz {

inline void Require(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "fuzz: %s\n", what);
    std::abort();
}

inline void CheckModuleState(const sim::ModuleState& state) {
    Require(state.files.size() <= sim::kMaxFiles, "the store holds more files than it takes");
    qint64 used = 0;
    for (auto it = state.files.cbegin(); it != state.files.cend(); ++it) {
        const QByteArray name = it.key().toLatin1();
        Require(QString::fromLatin1(name) == it.key(), "a stored file name is not 8-bit text");
        Require(sim::IsAcceptedFileName(name), "a stored file name is outside the store");
        Require(it.value().size() <= sim::kMaxFileBytes, "a stored file is larger than the store takes");
        used += it.value().size();
    }
    Require(used <= sim::kStoreBytes, "the stored files exceed the store");
    const QByteArray json = sim::StateToJson(state);
    Require(json.size() <= sim::kMaxStateFileBytes, "the state file outgrows what a start reads back");
    sim::ModuleState again;
    QString why;
    Require(sim::StateFromJson(json, again, &why), "the state file the simulator wrote is refused");
    Require(sim::StateToJson(again) == json, "the state changes when read back from its file");
}

}  // namespace rzl::fuzz

#pragma once

namespace rzl {

class Context;

// The working seams: the reply dispatcher, the link check and this platform's network.
void WireDefaultSeams(Context& ctx);

}  // namespace rzl

#include "protocol/model_catalogue.h"
namespace rzl {
ModelEntry ModelCatalogue::Lookup(std::uint8_t) { return {QStringLiteral("Unknow Device??")}; }
void ApplyModelLayout(Context&, std::uint8_t) {}
QString ApplyModel(Context&, std::uint8_t) { return {}; }
}  // namespace rzl

// The product's digest overlay: none. Every digest is the catalogue's own.
#include "catalogue/catalogue.h"

namespace tvl {

std::span<const DigestOverride> CatalogueDigestOverrides() { return {}; }

}  // namespace tvl

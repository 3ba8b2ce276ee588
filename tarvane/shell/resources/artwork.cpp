#include "tarvane/shell/resources/artwork.h"

namespace tarvane::artwork {

void InitArtwork() {}

}  // namespace tarvane::artwork

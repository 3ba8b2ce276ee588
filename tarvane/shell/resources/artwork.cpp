#include "tarvane/shell/resources/artwork.h"

#include <QtCore/qglobal.h>

// Q_INIT_RESOURCE must be used outside any namespace.
static void RegisterArtworkResources() {
    Q_INIT_RESOURCE(artwork);
}

namespace tarvane::artwork {

void InitArtwork() {
    RegisterArtworkResources();
}

}  // namespace tarvane::artwork

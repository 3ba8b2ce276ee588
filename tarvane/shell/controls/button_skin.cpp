#include "tarvane/shell/controls/button_skin.h"

namespace tarvane {

CButtonSkin::CButtonSkin() {}

void CButtonSkin::SetSkinParams(const SkinParams& params) {
    params_ = params;
    generated_ = false;
}

const QImage& CButtonSkin::GetSkinBitmap() {
    if (!generated_) {
        Generate();
        generated_ = true;
    }
    return skinBitmap_;
}

bool CButtonSkin::Generate() {
    return false;
}

}  // namespace tarvane

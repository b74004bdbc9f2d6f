#include "app/camera/hxFilmCollectionCell.h"

#include <cstdio>

#include "platform/ui/drawing/UIImage.h"
#include "platform/ui/interface/InterfaceClassRegistry.h"

namespace hx::app {

hxFilmCollectionCell::hxFilmCollectionCell(const CGRect& frame) : UICollectionViewCell(frame) {
    declareOutlet("titleImage", titleImage);
    declareOutlet("filmImage", filmImage);
    declareOutlet("maskImage", maskImage);
}

void hxFilmCollectionCell::showFilm(int64_t film) {
    char name[32];
    if (auto sample = filmImage.lock()) {
        std::snprintf(name, sizeof name, "film_s%lld", static_cast<long long>(film));
        sample->setImage(UIImage::imageNamed(name));
    }
    if (auto title = titleImage.lock()) {
        std::snprintf(name, sizeof name, "film_title_%lld", static_cast<long long>(film));
        title->setImage(UIImage::imageNamed(name));
    }
}

void hxFilmCollectionCell::markSelected(UICollectionViewCell* cell, bool selected) {
    auto film = dynamic_cast<hxFilmCollectionCell*>(cell);
    if (!film) return;
    if (auto mask = film->maskImage.lock())
        mask->setImage(UIImage::imageNamed(selected ? "maskimage_s" : "maskimage"));
}

void hxFilmCollectionCell::registerInterfaceClass() {
    InterfaceClassRegistry::shared().registerClass<hxFilmCollectionCell>("hxFilmCollectionCell",
                                                                         "UICollectionViewCell");
}

}  // namespace hx::app

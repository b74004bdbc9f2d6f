#include "app/camera/hxFilmCollectionCell.h"

#include "platform/ui/interface/InterfaceClassRegistry.h"

namespace hx::app {

hxFilmCollectionCell::hxFilmCollectionCell(const CGRect& frame) : UICollectionViewCell(frame) {
    declareOutlet("titleImage", titleImage);
    declareOutlet("filmImage", filmImage);
    declareOutlet("maskImage", maskImage);
}

void hxFilmCollectionCell::registerInterfaceClass() {
    InterfaceClassRegistry::shared().registerClass<hxFilmCollectionCell>("hxFilmCollectionCell",
                                                                         "UICollectionViewCell");
}

}  // namespace hx::app

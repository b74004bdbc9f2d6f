#pragma once
// A cell of the film grids (the camera screen's film picker and the re-filter screen), from
// the interface file "hxFilmCollectionCell": the film's title image, its sample image, and the
// mask over them, plain or marking the selected film.
//
// Threads: main thread only.

#include <cstdint>
#include <memory>

#include "platform/ui/controls/UIImageView.h"
#include "platform/ui/scroll/UICollectionViewCell.h"

namespace hx::app {

class hxFilmCollectionCell : public UICollectionViewCell {
  public:
    explicit hxFilmCollectionCell(const CGRect& frame = CGRectZero);

    // Registers the class under its name for interface files; once per program is enough,
    // again is harmless.
    static void registerInterfaceClass();

    // The sample and title images of that film ("film_sN", "film_title_N").
    void showFilm(int64_t film);
    // The mask of a film cell, marking it selected or not; other cells are left alone.
    static void markSelected(UICollectionViewCell* cell, bool selected);

    // The cell's subviews hold the image views.
    std::weak_ptr<UIImageView> titleImage;
    std::weak_ptr<UIImageView> filmImage;
    std::weak_ptr<UIImageView> maskImage;
};

}  // namespace hx::app

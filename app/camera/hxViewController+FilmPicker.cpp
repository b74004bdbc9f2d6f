// The film picker: the film button opens a strip of the films over the preview; choosing one
// makes it the current film at once (tone curve, settings, film button).

#include "app/camera/hxFilmCollectionCell.h"
#include "app/camera/hxViewController.h"
#include "platform/ui/interface/UINib.h"

namespace hx::app {

namespace {

constexpr const char* kFilmCellIdentifier = "Cell";
constexpr NSInteger kAllFilms = 13;
constexpr NSInteger kBlackAndWhiteFilms = 9;

}  // namespace

int32_t hxViewController::filmCount() const {
    return _onlyBW ? kBlackAndWhiteFilms : kAllFilms;
}

NSInteger hxViewController::collectionViewNumberOfItemsInSection(UICollectionView&, NSInteger) {
    return filmCount();
}

std::shared_ptr<UICollectionViewCell> hxViewController::collectionViewCellForItemAtIndexPath(
    UICollectionView& collectionView, const NSIndexPath& indexPath) {
    auto cell =
        collectionView.dequeueReusableCellWithReuseIdentifier(kFilmCellIdentifier, indexPath);
    auto film = std::dynamic_pointer_cast<hxFilmCollectionCell>(cell);
    if (!film) return cell;
    const auto row = indexPath.row();
    film->showFilm(row);
    hxFilmCollectionCell::markSelected(film.get(), row == _currentFilm);
    return cell;
}

void hxViewController::collectionViewDidSelectItemAtIndexPath(UICollectionView& collectionView,
                                                              const NSIndexPath& indexPath) {
    const auto film = static_cast<int32_t>(indexPath.row());
    // A cell drawn while another film was current keeps its selected mask until it is
    // deselected; the previous film's cell is put back here as well.
    if (film != _currentFilm)
        hxFilmCollectionCell::markSelected(
            collectionView.cellForItemAtIndexPath(NSIndexPath::indexPathForItem(_currentFilm, 0))
                .get(),
            false);
    _currentFilm = film;
    changeToneCurve(film);
    saveSettings();
    setFilmButton(film);
    hxFilmCollectionCell::markSelected(collectionView.cellForItemAtIndexPath(indexPath).get(),
                                       true);
}

void hxViewController::collectionViewDidDeselectItemAtIndexPath(UICollectionView& collectionView,
                                                                const NSIndexPath& indexPath) {
    hxFilmCollectionCell::markSelected(collectionView.cellForItemAtIndexPath(indexPath).get(),
                                       false);
}

void hxViewController::filmAction(UIControl*) {
    auto picker = _filmCollectionView;
    if (!picker) return;
    std::weak_ptr<hxViewController> self =
        std::static_pointer_cast<hxViewController>(weak_from_this().lock());
    if (picker->isHidden()) {
        picker->setHidden(false);
        UIView::animateWithDuration(
            0.2, 0, UIViewAnimationOptionCurveEaseOut, [picker] { picker->setAlpha(1); },
            [self, picker](bool) {
                auto controller = self.lock();
                if (!controller) return;
                // Opening re-applies the current film. A stored film the picker does not offer
                // (a black-and-white-only camera) stays current and is not selected.
                const NSInteger rows = picker->numberOfItemsInSection(0);
                if (controller->_currentFilm < 0 || controller->_currentFilm >= rows) return;
                const auto path = NSIndexPath::indexPathForItem(controller->_currentFilm, 0);
                picker->selectItemAtIndexPath(path, false, UICollectionViewScrollPositionNone);
                controller->collectionViewDidSelectItemAtIndexPath(*picker, path);
            });
    } else {
        UIView::animateWithDuration(
            0.2, 0, UIViewAnimationOptionCurveEaseOut, [picker] { picker->setAlpha(0); },
            [picker](bool finished) {
                if (finished) picker->setHidden(true);
            });
    }
}

}  // namespace hx::app

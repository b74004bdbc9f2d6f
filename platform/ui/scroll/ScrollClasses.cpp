// The scroll view, collection view and cell classes that interface files may name, and their
// properties.

#include "platform/ui/interface/InterfaceClassRegistry.h"
#include "platform/ui/interface/InterfaceValueReaders.h"
#include "platform/ui/interface/UINib.h"
#include "platform/ui/scroll/UICollectionView.h"

namespace hx::ui {

namespace {

using Registry = InterfaceClassRegistry;

template <typename V, typename Reader, typename Apply>
void property(Registry& registry, const std::string& className, const std::string& name,
              Reader read, Apply apply) {
    registry.registerParsedProperty<V>(className, name, read, apply);
}

const std::vector<std::pair<const char*, UIScrollViewIndicatorStyle>> kIndicatorStyles = {
    {"default", UIScrollViewIndicatorStyle::Default},
    {"black", UIScrollViewIndicatorStyle::Black},
    {"white", UIScrollViewIndicatorStyle::White},
};

const std::vector<std::pair<const char*, UICollectionViewScrollDirection>> kDirections = {
    {"vertical", UICollectionViewScrollDirection::Vertical},
    {"horizontal", UICollectionViewScrollDirection::Horizontal},
};

// "layout": {"itemSize": [w, h], "minimumInteritemSpacing": n, "minimumLineSpacing": n,
//            "scrollDirection": "vertical" | "horizontal", "sectionInset": [t, l, b, r]}
bool applyFlowLayout(UICollectionView& view, const InterfaceValue& value, std::string* error) {
    if (!value.isObject()) {
        if (error) *error = "expected an object of flow layout attributes";
        return false;
    }
    auto layout = std::make_shared<UICollectionViewFlowLayout>();
    for (const auto& [key, attribute] : value.members()) {
        std::string reason;
        bool applied = false;
        if (key == "itemSize") {
            if (auto size = readSize(attribute, &reason);
                size && size->width >= 0 && size->height >= 0) {
                layout->setItemSize(*size);
                applied = true;
            } else if (size) {
                reason = "sizes cannot be negative";
            }
        } else if (key == "minimumInteritemSpacing" || key == "minimumLineSpacing") {
            if (auto spacing = readNumber(attribute, &reason); spacing && *spacing >= 0) {
                if (key == "minimumInteritemSpacing")
                    layout->setMinimumInteritemSpacing(*spacing);
                else
                    layout->setMinimumLineSpacing(*spacing);
                applied = true;
            } else if (spacing) {
                reason = "spacing cannot be negative";
            }
        } else if (key == "scrollDirection") {
            if (auto direction = readChoice(attribute, kDirections, &reason)) {
                layout->setScrollDirection(*direction);
                applied = true;
            }
        } else if (key == "sectionInset") {
            if (auto insets = readInsets(attribute, &reason)) {
                layout->setSectionInset(*insets);
                applied = true;
            }
        } else {
            reason =
                "unknown attribute (a flow layout takes itemSize, minimumInteritemSpacing, "
                "minimumLineSpacing, scrollDirection, sectionInset)";
        }
        if (!applied) {
            if (error) *error = "\"" + key + "\": " + reason;
            return false;
        }
    }
    view.setCollectionViewLayout(std::move(layout));
    return true;
}

// "cells": {"Cell": {"class": "UICollectionViewCell", "subviews": [...]}, ...}: cells described
// in place, each registered for its reuse identifier as if it came from a cell interface file.
bool applyPrototypeCells(UICollectionView& view, const InterfaceValue& value, std::string* error) {
    if (!value.isObject()) {
        if (error) *error = "expected an object of reuse identifiers and their cells";
        return false;
    }
    for (const auto& [identifier, cell] : value.members()) {
        InterfaceValue document = InterfaceValue::object(
            {{"objects", InterfaceValue::list({cell}, cell.line())}}, cell.line());
        std::string reason;
        std::optional<InterfaceDocument> parsed =
            InterfaceDocument::fromValue(document, "cell \"" + identifier + "\"", &reason);
        if (!parsed) {
            if (error) *error = reason;
            return false;
        }
        if (!InterfaceClassRegistry::shared().hasClass(parsed->objects.front().className)) {
            if (error)
                *error = "cell \"" + identifier + "\": unknown class \"" +
                         parsed->objects.front().className + "\"";
            return false;
        }
        view.registerNib(std::make_shared<UINib>(std::move(*parsed)), identifier);
    }
    return true;
}

}  // namespace

void registerScrollClasses(InterfaceClassRegistry& r) {
    r.registerClass("UIScrollView", "UIView",
                    [](const InterfaceObject&) { return UIScrollView::make(); });
    const std::string s = "UIScrollView";
    property<UIScrollView>(r, s, "contentSize", readSize,
                           [](UIScrollView& v, CGSize x) { v.setContentSize(x); });
    property<UIScrollView>(r, s, "contentOffset", readPoint,
                           [](UIScrollView& v, CGPoint x) { v.setContentOffset(x); });
    property<UIScrollView>(r, s, "contentInset", readInsets,
                           [](UIScrollView& v, UIEdgeInsets x) { v.setContentInset(x); });
    property<UIScrollView>(r, s, "pagingEnabled", readBoolean,
                           [](UIScrollView& v, bool x) { v.setPagingEnabled(x); });
    property<UIScrollView>(r, s, "bounces", readBoolean,
                           [](UIScrollView& v, bool x) { v.setBounces(x); });
    property<UIScrollView>(r, s, "alwaysBounceHorizontal", readBoolean,
                           [](UIScrollView& v, bool x) { v.setAlwaysBounceHorizontal(x); });
    property<UIScrollView>(r, s, "alwaysBounceVertical", readBoolean,
                           [](UIScrollView& v, bool x) { v.setAlwaysBounceVertical(x); });
    property<UIScrollView>(r, s, "scrollEnabled", readBoolean,
                           [](UIScrollView& v, bool x) { v.setScrollEnabled(x); });
    property<UIScrollView>(r, s, "showsHorizontalScrollIndicator", readBoolean,
                           [](UIScrollView& v, bool x) { v.setShowsHorizontalScrollIndicator(x); });
    property<UIScrollView>(r, s, "showsVerticalScrollIndicator", readBoolean,
                           [](UIScrollView& v, bool x) { v.setShowsVerticalScrollIndicator(x); });
    property<UIScrollView>(r, s, "scrollsToTop", readBoolean,
                           [](UIScrollView& v, bool x) { v.setScrollsToTop(x); });
    property<UIScrollView>(
        r, s, "indicatorStyle",
        [](const InterfaceValue& value, std::string* error) {
            return readChoice(value, kIndicatorStyles, error);
        },
        [](UIScrollView& v, UIScrollViewIndicatorStyle x) { v.setIndicatorStyle(x); });

    r.registerClass("UICollectionView", "UIScrollView",
                    [](const InterfaceObject&) { return UICollectionView::make(CGRectZero); });
    const std::string c = "UICollectionView";
    r.registerProperty<UICollectionView>(c, "layout", applyFlowLayout);
    r.registerProperty<UICollectionView>(c, "cells", applyPrototypeCells);
    property<UICollectionView>(r, c, "allowsSelection", readBoolean,
                               [](UICollectionView& v, bool x) { v.setAllowsSelection(x); });
    property<UICollectionView>(
        r, c, "allowsMultipleSelection", readBoolean,
        [](UICollectionView& v, bool x) { v.setAllowsMultipleSelection(x); });

    r.registerClass<UICollectionViewCell>("UICollectionViewCell", "UIView");
    r.setSubviewContainer("UICollectionViewCell", [](UIView& view) -> std::shared_ptr<UIView> {
        auto* cell = dynamic_cast<UICollectionViewCell*>(&view);
        return cell ? cell->contentView() : nullptr;
    });
    property<UICollectionViewCell>(r, "UICollectionViewCell", "selectedBackgroundColor", readColor,
                                   [](UICollectionViewCell& v, UIColor x) {
                                       auto background = UIView::make();
                                       background->setBackgroundColor(x);
                                       v.setSelectedBackgroundView(background);
                                   });
}

}  // namespace hx::ui

// The view and control classes that interface files may name, and their properties.

#include <cmath>
#include <numbers>

#include "platform/log/Log.h"
#include "platform/ui/controls/UIActivityIndicatorView.h"
#include "platform/ui/controls/UIButton.h"
#include "platform/ui/controls/UIImageView.h"
#include "platform/ui/controls/UILabel.h"
#include "platform/ui/controls/UISlider.h"
#include "platform/ui/interface/InterfaceClassRegistry.h"
#include "platform/ui/interface/InterfaceValueReaders.h"

namespace hx::ui {

namespace {

using Registry = InterfaceClassRegistry;

// A property whose value one reader turns into what one setter takes.
template <typename V, typename Reader, typename Apply>
void property(Registry& registry, const std::string& className, const std::string& name,
              Reader read, Apply apply) {
    registry.registerParsedProperty<V>(className, name, read, apply);
}

// An image by resource name; a missing image is logged and leaves the view without one, as a
// missing picture should not take the whole screen down.
std::optional<UIImageRef> readImage(const InterfaceValue& value, std::string* error) {
    auto name = readString(value, error);
    if (!name) return std::nullopt;
    UIImageRef image = UIImage::imageNamed(*name);
    if (!image) hxLog("Interface file: image \"%s\" not found", name->c_str());
    return image;
}

const std::vector<std::pair<const char*, UIViewContentMode>> kContentModes = {
    {"scaleToFill", UIViewContentMode::ScaleToFill},
    {"scaleAspectFit", UIViewContentMode::ScaleAspectFit},
    {"scaleAspectFill", UIViewContentMode::ScaleAspectFill},
    {"redraw", UIViewContentMode::Redraw},
    {"center", UIViewContentMode::Center},
    {"top", UIViewContentMode::Top},
    {"bottom", UIViewContentMode::Bottom},
    {"left", UIViewContentMode::Left},
    {"right", UIViewContentMode::Right},
    {"topLeft", UIViewContentMode::TopLeft},
    {"topRight", UIViewContentMode::TopRight},
    {"bottomLeft", UIViewContentMode::BottomLeft},
    {"bottomRight", UIViewContentMode::BottomRight},
};

const std::vector<std::pair<const char*, UIButtonType>> kButtonTypes = {
    {"custom", UIButtonType::Custom},
    {"system", UIButtonType::System},
    {"detailDisclosure", UIButtonType::DetailDisclosure},
    {"infoLight", UIButtonType::InfoLight},
    {"infoDark", UIButtonType::InfoDark},
    {"contactAdd", UIButtonType::ContactAdd},
};

const std::vector<std::pair<const char*, UIControlState>> kControlStates = {
    {"normal", UIControlStateNormal},
    {"highlighted", UIControlStateHighlighted},
    {"selected", UIControlStateSelected},
    {"disabled", UIControlStateDisabled},
};

const std::vector<std::pair<const char*, NSTextAlignment>> kTextAlignments = {
    {"left", NSTextAlignment::Left},       {"center", NSTextAlignment::Center},
    {"right", NSTextAlignment::Right},     {"justified", NSTextAlignment::Justified},
    {"natural", NSTextAlignment::Natural},
};

const std::vector<std::pair<const char*, NSLineBreakMode>> kLineBreakModes = {
    {"wordWrap", NSLineBreakMode::ByWordWrapping},
    {"charWrap", NSLineBreakMode::ByCharWrapping},
    {"clip", NSLineBreakMode::ByClipping},
    {"truncateHead", NSLineBreakMode::ByTruncatingHead},
    {"truncateTail", NSLineBreakMode::ByTruncatingTail},
    {"truncateMiddle", NSLineBreakMode::ByTruncatingMiddle},
};

const std::vector<std::pair<const char*, UIActivityIndicatorViewStyle>> kIndicatorStyles = {
    {"large", UIActivityIndicatorViewStyle::Large},
    {"medium", UIActivityIndicatorViewStyle::Medium},
    {"whiteLarge", UIActivityIndicatorViewStyle::WhiteLarge},
    {"white", UIActivityIndicatorViewStyle::White},
    {"gray", UIActivityIndicatorViewStyle::Gray},
};

const std::vector<std::pair<const char*, UIControlContentHorizontalAlignment>> kHorizontal = {
    {"center", UIControlContentHorizontalAlignment::Center},
    {"left", UIControlContentHorizontalAlignment::Left},
    {"right", UIControlContentHorizontalAlignment::Right},
    {"fill", UIControlContentHorizontalAlignment::Fill},
};

const std::vector<std::pair<const char*, UIControlContentVerticalAlignment>> kVertical = {
    {"center", UIControlContentVerticalAlignment::Center},
    {"top", UIControlContentVerticalAlignment::Top},
    {"bottom", UIControlContentVerticalAlignment::Bottom},
    {"fill", UIControlContentVerticalAlignment::Fill},
};

auto choice = [](const auto& table) {
    return [&table](const InterfaceValue& value, std::string* error) {
        return readChoice(value, table, error);
    };
};

void registerView(Registry& r) {
    r.registerClass<UIView>("UIView", "");
    const std::string c = "UIView";
    property<UIView>(r, c, "frame", readRect, [](UIView& v, CGRect x) { v.setFrame(x); });
    property<UIView>(r, c, "center", readPoint, [](UIView& v, CGPoint x) { v.setCenter(x); });
    // Degrees, turning clockwise on screen, about the centre.
    property<UIView>(r, c, "rotation", readNumber, [](UIView& v, double degrees) {
        v.setTransform(CGAffineTransformMakeRotation(degrees * std::numbers::pi / 180));
    });
    property<UIView>(r, c, "backgroundColor", readColor,
                     [](UIView& v, UIColor x) { v.setBackgroundColor(x); });
    property<UIView>(r, c, "tintColor", readColor, [](UIView& v, UIColor x) { v.setTintColor(x); });
    property<UIView>(r, c, "alpha", readNumber, [](UIView& v, double x) { v.setAlpha(x); });
    property<UIView>(r, c, "hidden", readBoolean, [](UIView& v, bool x) { v.setHidden(x); });
    property<UIView>(r, c, "opaque", readBoolean, [](UIView& v, bool x) { v.setOpaque(x); });
    property<UIView>(r, c, "tag", readNumber,
                     [](UIView& v, double x) { v.setTag(static_cast<int>(x)); });
    property<UIView>(r, c, "userInteractionEnabled", readBoolean,
                     [](UIView& v, bool x) { v.setUserInteractionEnabled(x); });
    property<UIView>(r, c, "multipleTouchEnabled", readBoolean,
                     [](UIView& v, bool x) { v.setMultipleTouchEnabled(x); });
    property<UIView>(r, c, "clipsToBounds", readBoolean,
                     [](UIView& v, bool x) { v.setClipsToBounds(x); });
    property<UIView>(r, c, "contentMode", choice(kContentModes),
                     [](UIView& v, UIViewContentMode x) { v.setContentMode(x); });
    property<UIView>(r, c, "cornerRadius", readNumber,
                     [](UIView& v, double x) { v.layer().setCornerRadius(x); });
    property<UIView>(r, c, "borderWidth", readNumber,
                     [](UIView& v, double x) { v.layer().setBorderWidth(x); });
    property<UIView>(r, c, "borderColor", readColor,
                     [](UIView& v, UIColor x) { v.layer().setBorderColor(x); });
}

// "states": {"normal": {"image": ..., "backgroundImage": ..., "title": ..., "titleColor": ...},
// "highlighted": {...}, "selected": {...}, "disabled": {...}}
bool applyButtonStates(UIButton& button, const InterfaceValue& value, std::string* error) {
    if (!value.isObject()) {
        if (error)
            *error = "expected an object of states (normal, highlighted, selected, disabled)";
        return false;
    }
    for (const auto& [stateName, attributes] : value.members()) {
        std::string stateError;
        auto state = readChoice(InterfaceValue::string(stateName), kControlStates, &stateError);
        if (!state) {
            if (error) *error = "state \"" + stateName + "\": " + stateError;
            return false;
        }
        if (!attributes.isObject()) {
            if (error) *error = "state \"" + stateName + "\": expected an object";
            return false;
        }
        for (const auto& [key, attribute] : attributes.members()) {
            std::string reason;
            bool applied = false;
            if (key == "image" || key == "backgroundImage") {
                if (auto image = readImage(attribute, &reason)) {
                    if (key == "image")
                        button.setImage(*image, *state);
                    else
                        button.setBackgroundImage(*image, *state);
                    applied = true;
                }
            } else if (key == "title") {
                if (auto title = readString(attribute, &reason)) {
                    button.setTitle(*title, *state);
                    applied = true;
                }
            } else if (key == "titleColor") {
                if (auto color = readColor(attribute, &reason)) {
                    button.setTitleColor(*color, *state);
                    applied = true;
                }
            } else {
                reason =
                    "unknown attribute (a state takes image, backgroundImage, title, titleColor)";
            }
            if (!applied) {
                if (error) *error = "state \"" + stateName + "\", \"" + key + "\": " + reason;
                return false;
            }
        }
    }
    return true;
}

void registerButton(Registry& r) {
    r.registerClass("UIButton", "UIControl", [](const InterfaceObject& object) {
        auto type = UIButtonType::Custom;
        for (const auto& [key, value] : object.properties)
            if (key == "buttonType") type = readChoice(value, kButtonTypes, nullptr).value_or(type);
        return UIButton::buttonWithType(type);
    });
    const std::string b = "UIButton";
    // Chosen when the button is made; here it is only checked.
    property<UIButton>(r, b, "buttonType", choice(kButtonTypes), [](UIButton&, UIButtonType) {});
    r.registerProperty<UIButton>(b, "states", applyButtonStates);
    property<UIButton>(r, b, "font", readFont,
                       [](UIButton& v, UIFont x) { v.titleLabel()->setFont(x); });
    property<UIButton>(r, b, "adjustsImageWhenHighlighted", readBoolean,
                       [](UIButton& v, bool x) { v.setAdjustsImageWhenHighlighted(x); });
}

void registerControls(Registry& r) {
    r.registerClass("UIControl", "UIView",
                    [](const InterfaceObject&) { return std::make_shared<UIControl>(); });
    const std::string c = "UIControl";
    property<UIControl>(r, c, "enabled", readBoolean,
                        [](UIControl& v, bool x) { v.setEnabled(x); });
    property<UIControl>(r, c, "selected", readBoolean,
                        [](UIControl& v, bool x) { v.setSelected(x); });
    property<UIControl>(r, c, "contentHorizontalAlignment", choice(kHorizontal),
                        [](UIControl& v, UIControlContentHorizontalAlignment x) {
                            v.setContentHorizontalAlignment(x);
                        });
    property<UIControl>(r, c, "contentVerticalAlignment", choice(kVertical),
                        [](UIControl& v, UIControlContentVerticalAlignment x) {
                            v.setContentVerticalAlignment(x);
                        });

    r.registerClass<UIImageView>("UIImageView", "UIView");
    property<UIImageView>(r, "UIImageView", "image", readImage,
                          [](UIImageView& v, UIImageRef x) { v.setImage(std::move(x)); });
    property<UIImageView>(
        r, "UIImageView", "highlightedImage", readImage,
        [](UIImageView& v, UIImageRef x) { v.setHighlightedImage(std::move(x)); });

    registerButton(r);

    r.registerClass<UILabel>("UILabel", "UIView");
    const std::string l = "UILabel";
    property<UILabel>(r, l, "text", readString, [](UILabel& v, std::string x) { v.setText(x); });
    property<UILabel>(r, l, "font", readFont, [](UILabel& v, UIFont x) { v.setFont(x); });
    property<UILabel>(r, l, "textColor", readColor,
                      [](UILabel& v, UIColor x) { v.setTextColor(x); });
    property<UILabel>(r, l, "textAlignment", choice(kTextAlignments),
                      [](UILabel& v, NSTextAlignment x) { v.setTextAlignment(x); });
    property<UILabel>(r, l, "numberOfLines", readNumber,
                      [](UILabel& v, double x) { v.setNumberOfLines(static_cast<int>(x)); });
    property<UILabel>(r, l, "lineBreakMode", choice(kLineBreakModes),
                      [](UILabel& v, NSLineBreakMode x) { v.setLineBreakMode(x); });
    property<UILabel>(r, l, "adjustsFontSizeToFitWidth", readBoolean,
                      [](UILabel& v, bool x) { v.setAdjustsFontSizeToFitWidth(x); });
    property<UILabel>(r, l, "minimumScaleFactor", readNumber,
                      [](UILabel& v, double x) { v.setMinimumScaleFactor(x); });
    property<UILabel>(r, l, "enabled", readBoolean, [](UILabel& v, bool x) { v.setEnabled(x); });

    r.registerClass<UISlider>("UISlider", "UIControl");
    const std::string s = "UISlider";
    property<UISlider>(r, s, "minimumValue", readNumber,
                       [](UISlider& v, double x) { v.setMinimumValue(static_cast<float>(x)); });
    property<UISlider>(r, s, "maximumValue", readNumber,
                       [](UISlider& v, double x) { v.setMaximumValue(static_cast<float>(x)); });
    property<UISlider>(r, s, "value", readNumber,
                       [](UISlider& v, double x) { v.setValue(static_cast<float>(x)); });
    property<UISlider>(r, s, "continuous", readBoolean,
                       [](UISlider& v, bool x) { v.setContinuous(x); });
    property<UISlider>(r, s, "thumbImage", readImage, [](UISlider& v, UIImageRef x) {
        v.setThumbImage(x, UIControlStateNormal);
        v.setThumbImage(x, UIControlStateHighlighted);
    });
    property<UISlider>(r, s, "minimumTrackImage", readImage, [](UISlider& v, UIImageRef x) {
        v.setMinimumTrackImage(std::move(x), UIControlStateNormal);
    });
    property<UISlider>(r, s, "maximumTrackImage", readImage, [](UISlider& v, UIImageRef x) {
        v.setMaximumTrackImage(std::move(x), UIControlStateNormal);
    });
    property<UISlider>(r, s, "minimumTrackTintColor", readColor,
                       [](UISlider& v, UIColor x) { v.setMinimumTrackTintColor(x); });
    property<UISlider>(r, s, "maximumTrackTintColor", readColor,
                       [](UISlider& v, UIColor x) { v.setMaximumTrackTintColor(x); });
    property<UISlider>(r, s, "thumbTintColor", readColor,
                       [](UISlider& v, UIColor x) { v.setThumbTintColor(x); });

    r.registerClass("UIActivityIndicatorView", "UIView", [](const InterfaceObject& object) {
        auto style = UIActivityIndicatorViewStyle::Medium;
        for (const auto& [key, value] : object.properties)
            if (key == "style")
                style = readChoice(value, kIndicatorStyles, nullptr).value_or(style);
        return std::make_shared<UIActivityIndicatorView>(style);
    });
    const std::string a = "UIActivityIndicatorView";
    property<UIActivityIndicatorView>(
        r, a, "style", choice(kIndicatorStyles),
        [](UIActivityIndicatorView& v, UIActivityIndicatorViewStyle x) {
            v.setActivityIndicatorViewStyle(x);
        });
    property<UIActivityIndicatorView>(r, a, "color", readColor,
                                      [](UIActivityIndicatorView& v, UIColor x) { v.setColor(x); });
    property<UIActivityIndicatorView>(
        r, a, "hidesWhenStopped", readBoolean,
        [](UIActivityIndicatorView& v, bool x) { v.setHidesWhenStopped(x); });
    property<UIActivityIndicatorView>(r, a, "animating", readBoolean,
                                      [](UIActivityIndicatorView& v, bool x) {
                                          if (x)
                                              v.startAnimating();
                                          else
                                              v.stopAnimating();
                                      });
}

}  // namespace

void registerViewClasses(InterfaceClassRegistry& registry) {
    registerView(registry);
    registerControls(registry);
}

}  // namespace hx::ui

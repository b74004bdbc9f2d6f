#pragma once
// Widgets as an extension declares them: a bundle of widgets, each with a kind, the families
// it offers, a display name and description, a timeline provider and the view it shows each
// entry with. An extension is a shared library with one exported C function,
// hxWidgetExtensionMain, that returns its bundle; the widget host loads it and takes it from
// there (WidgetExtension.h).
//
// Threads: made and used on the host's main thread.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/widgetkit/Timeline.h"
#include "platform/widgetkit/TimelineProvider.h"
#include "platform/widgetkit/WidgetFamily.h"
#include "platform/widgetkit/WidgetViews.h"

namespace hx {

// What a widget's body is: its declaration for the host.
class WidgetConfiguration {
  public:
    using Content = std::function<ViewRef(const TimelineEntry& entry)>;

    WidgetConfiguration(std::string kind, std::string intentClassName,
                        std::shared_ptr<AnyTimelineProvider> provider, Content content)
        : kind_(std::move(kind)),
          intentClassName_(std::move(intentClassName)),
          provider_(std::move(provider)),
          content_(std::move(content)) {}

    WidgetConfiguration& configurationDisplayName(std::string name) {
        displayName_ = std::move(name);
        return *this;
    }
    WidgetConfiguration& description(std::string text) {
        description_ = std::move(text);
        return *this;
    }
    WidgetConfiguration& supportedFamilies(std::vector<WidgetFamily> families) {
        families_ = std::move(families);
        return *this;
    }

    const std::string& kind() const { return kind_; }
    // Empty for a widget without a configuration intent.
    const std::string& intentClassName() const { return intentClassName_; }
    const std::string& displayName() const { return displayName_; }
    const std::string& descriptionText() const { return description_; }
    // Every family when none were given.
    std::vector<WidgetFamily> families() const {
        return families_.empty() ? allWidgetFamilies() : families_;
    }
    AnyTimelineProvider& provider() const { return *provider_; }
    // The entry's view; null when the widget has none for it.
    ViewRef makeView(const TimelineEntry& entry) const {
        return content_ ? content_(entry) : nullptr;
    }

  private:
    std::string kind_;
    std::string intentClassName_;
    std::shared_ptr<AnyTimelineProvider> provider_;
    Content content_;
    std::string displayName_;
    std::string description_;
    std::vector<WidgetFamily> families_;
};

// A widget configured with an intent of type Provider::IntentType; `content` makes the view of
// each entry (of type Provider::EntryType).
template <class Provider, class Content>
WidgetConfiguration IntentConfiguration(std::string kind, std::shared_ptr<Provider> provider,
                                        Content content) {
    using Entry = typename Provider::EntryType;
    using Intent = typename Provider::IntentType;
    return WidgetConfiguration(
        std::move(kind), Intent().intentClassName(),
        std::make_shared<TimelineProviderAdapter<Provider>>(std::move(provider)),
        [content](const TimelineEntry& entry) -> ViewRef {
            const auto* typed = dynamic_cast<const Entry*>(&entry);
            return typed ? ViewRef(content(*typed)) : nullptr;
        });
}

class Widget {
  public:
    virtual ~Widget() = default;
    virtual WidgetConfiguration body() const = 0;
};

class WidgetBundle {
  public:
    // Changes whenever these declarations change shape: a host refuses an extension built
    // against other ones.
    static constexpr int kInterfaceVersion = 1;

    virtual ~WidgetBundle() = default;
    virtual std::vector<std::shared_ptr<const Widget>> body() const = 0;
    // Compiled into the extension, so it says what the extension was built against.
    virtual int interfaceVersion() const { return kInterfaceVersion; }
};

}  // namespace hx

// The one function an extension exports, with C linkage: a new bundle, owned by the caller.
using hxWidgetExtensionMainFunction = hx::WidgetBundle* (*)();
#define HX_WIDGET_EXTENSION_MAIN_SYMBOL "hxWidgetExtensionMain"

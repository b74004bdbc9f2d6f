// Interface files: the JSON reader and its messages, the document's shape, and building views
// of registered classes with their properties, outlets and actions, with a clear message for
// every mistake a file can make.

#include <gtest/gtest.h>

#include <numbers>

#include "ControllerTestSupport.h"
#include "platform/log/CaptureScope.h"
#include "platform/ui/controls/UIActivityIndicatorView.h"
#include "platform/ui/controls/UIButton.h"
#include "platform/ui/controls/UIImageView.h"
#include "platform/ui/controls/UILabel.h"
#include "platform/ui/controls/UISlider.h"
#include "platform/ui/interface/InterfaceClassRegistry.h"
#include "platform/ui/interface/InterfaceDocument.h"
#include "platform/ui/interface/InterfaceOwner.h"
#include "platform/ui/interface/UINib.h"
#include "platform/ui/scroll/UICollectionView.h"

namespace hx::testing {
namespace {

using ui::InterfaceValue;

// ------------------------------------------------------------------------------------------
// JSON

TEST(InterfaceJson, ObjectsKeepTheOrderTheirMembersWereWrittenIn) {
    auto value = ui::parseInterfaceJson(
        R"({"zeta": 1, "alpha": [true, null, -2.5e1], "mid": {"b": "\u00e9\ud83d\ude00\n"}})");
    ASSERT_TRUE(value);
    ASSERT_EQ(value->members().size(), 3u);
    EXPECT_EQ(value->members()[0].first, "zeta");
    EXPECT_EQ(value->members()[1].first, "alpha");
    const InterfaceValue& list = *value->member("alpha");
    ASSERT_EQ(list.items().size(), 3u);
    EXPECT_TRUE(list.items()[0].asBoolean());
    EXPECT_TRUE(list.items()[1].isNull());
    EXPECT_EQ(list.items()[2].asNumber(), -25);
    EXPECT_EQ(value->member("mid")->member("b")->asString(), "\u00e9\U0001F600\n");
    EXPECT_FALSE(value->member("missing"));
}

TEST(InterfaceJson, MistakesAreReportedWithLineAndColumn) {
    // Each mistake: where the reader stopped, and words of the reason.
    const struct {
        std::string text;
        std::string place;
        std::string reason;
    } cases[] = {
        {"{\n  \"a\": 1\n  \"b\": 2\n}", "line 3, column 5: ", "expected '}'"},
        {"{\"a\": 1, \"a\": 2}", "line 1, column 13: ", "member \"a\" appears twice"},
        {"[1, 2] x", "line 1, column 8: ", "expected end of input"},
        {"\"open", "line 1, column 6: ", "missing closing quote"},
        {"[01]", "line 1, column 3: ", "expected ']'"},
        {"[\"\\ud800\"]", "line 1, column 9: ", "surrogate"},
        {"", "line 1, column 1: ", "unexpected end of input"},
        {"{\"a\": [1,\n\n  tru]}", "line 3, column 6: ", "invalid literal"},
        {std::string(100, '[') + std::string(100, ']'), "line 1, column 66: ", "nested too deeply"},
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_FALSE(ui::parseInterfaceJson(c.text, &error)) << c.text;
        EXPECT_EQ(error.rfind(c.place, 0), 0u) << c.text << " gave: " << error;
        EXPECT_NE(error.find(c.reason), std::string::npos) << c.text << " gave: " << error;
    }
}

TEST(InterfaceJson, ValuesKnowTheLineTheyStartOn) {
    auto value =
        ui::parseInterfaceJson("{\n\"n\": 12\n,\"list\": [\ntrue,\n-3.5e2\n],\n\"s\": \"x\"}");
    ASSERT_TRUE(value);
    EXPECT_EQ(value->line(), 1);
    EXPECT_EQ(value->member("n")->line(), 2) << "a number ended by the line's end";
    const InterfaceValue& list = *value->member("list");
    EXPECT_EQ(list.line(), 3);
    EXPECT_EQ(list.items()[0].line(), 4);
    EXPECT_EQ(list.items()[1].line(), 5);
    EXPECT_EQ(list.items()[1].asNumber(), -350);
    EXPECT_EQ(value->member("s")->line(), 7);
}

TEST(InterfaceDocumentTest, TheShapeOfTheFileIsChecked) {
    auto reason = [](std::string_view text) {
        std::string error;
        EXPECT_FALSE(ui::InterfaceDocument::parse(text, "Screen", &error)) << text;
        return error;
    };
    EXPECT_EQ(reason("[]"), "Screen: line 1: the document must be an object");
    EXPECT_EQ(reason("{\"views\": []}"), "Screen: line 1: unknown top-level member \"views\"");
    EXPECT_EQ(reason("{\"objects\": [{\"frame\": [0, 0, 1, 1]}]}"),
              "Screen: line 1: objects[0] has no \"class\"");
    EXPECT_EQ(reason("{\"objects\": [{\"class\": \"UIView\",\n \"subviews\": {}}]}"),
              "Screen: line 2: objects[0]: \"subviews\" must be a list");
    EXPECT_EQ(reason("{\"objects\": [{\"class\": \"UIButton\", \"actions\": {\"touchDown\": 3}}]}"),
              "Screen: line 1: objects[0]: the action for \"touchDown\" must be a name");
    EXPECT_EQ(reason("{\"objects\": [").rfind("Screen: line 1, column 14: ", 0), 0u);

    auto document = ui::InterfaceDocument::parse(
        R"({"comment": "x", "objects": [{"class": "UIView", "outlet": "view", "comment": "y",
             "subviews": [{"class": "UILabel", "text": "a", "frame": [0, 0, 1, 1]}]}]})",
        "Screen");
    ASSERT_TRUE(document);
    const ui::InterfaceObject& label = document->objects[0].subviews[0];
    EXPECT_EQ(label.path, "objects[0].subviews[0]");
    EXPECT_EQ(label.line, 2);
    ASSERT_EQ(label.properties.size(), 2u);
    EXPECT_EQ(label.properties[0].first, "text");
    EXPECT_TRUE(document->objects[0].properties.empty()) << "comments are not properties";
}

// ------------------------------------------------------------------------------------------
// Building views

class Owner : public InterfaceOwner {
  public:
    Owner() {
        declareOutlet("title", title);
        declareOutlet("slider", slider);
        declareOutlet("panel", panel);
        declareAction("apply:", this, &Owner::apply);
    }
    void apply(UIButton* sender) { applied.push_back(sender); }
    void awakeFromNib() override { woke.push_back("owner"); }

    std::shared_ptr<UILabel> title;
    std::weak_ptr<UISlider> slider;
    std::shared_ptr<UIView> panel;
    std::vector<UIButton*> applied;
    std::vector<std::string> woke;
};

// A view class that takes outlets of its own, as a cell does.
class Panel : public UIView, public InterfaceOwner {
  public:
    Panel() { declareOutlet("caption", caption); }
    void awakeFromNib() override { woke = caption != nullptr; }
    std::shared_ptr<UILabel> caption;
    bool woke = false;
};

class InterfaceBuildTest : public ControllerTest {
  protected:
    void SetUp() override {
        ControllerTest::SetUp();
        InterfaceClassRegistry::shared().registerClass<Panel>("TestPanel", "UIView");
    }
    std::vector<std::shared_ptr<UIView>> build(std::string_view text, InterfaceOwner* target) {
        auto nib = UINib::nibWithText(text, "Test");
        if (!nib) return {};
        return nib->instantiateWithOwner(target, &error);
    }
    std::string failure(std::string_view text) {
        log::CaptureScope quiet;
        EXPECT_TRUE(build(text, &owner).empty()) << text;
        return error;
    }

    Owner owner;
    std::string error;
};

TEST_F(InterfaceBuildTest, PropertiesAreAppliedInTheOrderWritten) {
    auto views = build(R"({ "objects": [
      { "class": "UIView", "frame": [0, 0, 390, 844], "backgroundColor": "#ff800080",
        "subviews": [
          { "class": "UILabel", "outlet": "title", "frame": [10, 20, 200, 30], "text": "Films",
            "font": {"bold": 20}, "textAlignment": "center", "textColor": {"white": 1, "alpha": 0.5},
            "adjustsFontSizeToFitWidth": true, "minimumScaleFactor": 0.5, "tag": 4 },
          { "class": "UILabel", "frame": [100, 100, 60, 20], "rotation": 90, "cornerRadius": 3,
            "borderWidth": 2, "borderColor": "orange", "hidden": true, "alpha": 0.25 },
          { "class": "UISlider", "outlet": "slider", "frame": [0, 0, 54, 29],
            "value": 5, "maximumValue": 10, "minimumValue": 2, "continuous": false },
          { "class": "UIActivityIndicatorView", "style": "large", "hidesWhenStopped": true },
          { "class": "UICollectionView", "frame": [0, 0, 320, 72], "allowsMultipleSelection": true,
            "layout": { "itemSize": [64, 72], "minimumLineSpacing": 2, "scrollDirection": "horizontal" } }
        ] } ] })",
                       &owner);
    ASSERT_EQ(views.size(), 1u) << error;
    const auto& root = views.front();
    EXPECT_EQ(root->backgroundColor(), UIColor::colorWithRed(1, 128 / 255.0, 0, 128 / 255.0));
    ASSERT_EQ(root->subviews().size(), 5u);

    ASSERT_TRUE(owner.title);
    EXPECT_EQ(owner.title->text(), "Films");
    EXPECT_EQ(owner.title->font(), UIFont::boldSystemFontOfSize(20));
    EXPECT_EQ(owner.title->textAlignment(), NSTextAlignment::Center);
    EXPECT_EQ(owner.title->textColor(), UIColor::colorWithWhite(1, 0.5));
    EXPECT_TRUE(owner.title->adjustsFontSizeToFitWidth());
    EXPECT_EQ(owner.title->minimumScaleFactor(), 0.5);
    EXPECT_EQ(owner.title->tag(), 4);

    const auto& turned = root->subviews()[1];
    EXPECT_NEAR(turned->frame().width(), 20, 1e-9) << "a quarter turn swaps the frame's sides";
    EXPECT_NEAR(turned->frame().height(), 60, 1e-9);
    EXPECT_NEAR(turned->transform().rotationAngle(), std::numbers::pi / 2, 1e-9);
    EXPECT_EQ(turned->layer().borderColor(), UIColor::orangeColor());
    EXPECT_TRUE(turned->isHidden());

    auto slider = owner.slider.lock();
    ASSERT_TRUE(slider);
    // The value was set while the maximum was still 1, so it was clamped there.
    EXPECT_EQ(slider->value(), 2.0f) << "then raised to the new minimum";
    EXPECT_EQ(slider->maximumValue(), 10.0f);
    EXPECT_FALSE(slider->isContinuous());

    auto indicator = std::dynamic_pointer_cast<UIActivityIndicatorView>(root->subviews()[3]);
    ASSERT_TRUE(indicator);
    EXPECT_EQ(indicator->activityIndicatorViewStyle(), UIActivityIndicatorViewStyle::Large);

    auto collection = std::dynamic_pointer_cast<UICollectionView>(root->subviews()[4]);
    ASSERT_TRUE(collection);
    EXPECT_EQ(collection->collectionViewLayout()->itemSize(), CGSizeMake(64, 72));
    EXPECT_EQ(collection->collectionViewLayout()->scrollDirection(),
              UICollectionViewScrollDirection::Horizontal);
    EXPECT_TRUE(collection->allowsMultipleSelection());
}

TEST_F(InterfaceBuildTest, ButtonsTakeTheirTypeAndStatesAndSendTheirActions) {
    auto views = build(R"({ "objects": [
      { "class": "UIView", "frame": [0, 0, 390, 844], "subviews": [
        { "class": "UIButton", "buttonType": "system", "frame": [20, 20, 44, 44], "selected": true,
          "states": { "normal": { "image": "demo_button", "title": "Grid" },
                      "selected": { "image": "demo_button_selected", "titleColor": "red" } },
          "actions": { "touchUpInside": "apply:" } } ] } ] })",
                       &owner);
    ASSERT_EQ(views.size(), 1u) << error;
    auto button = std::dynamic_pointer_cast<UIButton>(views[0]->subviews()[0]);
    ASSERT_TRUE(button);
    EXPECT_EQ(button->buttonType(), UIButtonType::System);
    EXPECT_TRUE(button->isSelected());
    ASSERT_TRUE(button->imageForState(UIControlStateNormal));
    EXPECT_EQ(button->imageForState(UIControlStateNormal)->size(), CGSizeMake(44, 44))
        << "the @2x image is 88 pixels at scale 2";
    EXPECT_NE(button->currentImage(), button->imageForState(UIControlStateNormal));
    EXPECT_EQ(button->titleForState(UIControlStateSelected), "Grid") << "from the normal state";
    EXPECT_EQ(button->titleColorForState(UIControlStateSelected), UIColor::redColor());

    window->addSubview(views[0]);
    tap(*button);
    EXPECT_EQ(owner.applied, std::vector<UIButton*>{button.get()});
}

TEST_F(InterfaceBuildTest, OutletsBindOnTheNearestOwnerAndOwnersWakeInnermostFirst) {
    auto views = build(R"({ "objects": [
      { "class": "TestPanel", "outlet": "panel", "subviews": [
          { "class": "UILabel", "outlet": "caption", "text": "inside" } ] },
      { "class": "UILabel", "outlet": "title", "text": "outside" } ] })",
                       &owner);
    ASSERT_EQ(views.size(), 2u) << error;
    auto panel = std::dynamic_pointer_cast<Panel>(owner.panel);
    ASSERT_TRUE(panel);
    ASSERT_TRUE(panel->caption);
    EXPECT_EQ(panel->caption->text(), "inside");
    EXPECT_TRUE(panel->woke) << "its outlets were bound before it woke";
    EXPECT_EQ(owner.title->text(), "outside");
    EXPECT_EQ(owner.woke, std::vector<std::string>{"owner"});

    // Every instantiation makes new views.
    auto again =
        UINib::nibWithText(R"({"objects": [{"class": "UILabel", "outlet": "title"}]})", "T")
            ->instantiateWithOwner(&owner);
    ASSERT_EQ(again.size(), 1u);
    EXPECT_NE(again[0], views[1]);
    EXPECT_EQ(owner.title, again[0]);
}

TEST_F(InterfaceBuildTest, EveryMistakeNamesTheFileTheLineAndWhatWouldDo) {
    EXPECT_EQ(failure(R"({"objects": [
        {"class": "UIVeiw"}]})")
                  .substr(0, 64),
              "Test: line 2: objects[0] (UIVeiw): unknown class \"UIVeiw\" (known");
    std::string unknown = failure(R"({"objects": [{"class": "UISlider", "maximum": 3}]})");
    EXPECT_NE(unknown.find("unknown property \"maximum\" (UISlider takes: "), std::string::npos)
        << unknown;
    EXPECT_NE(unknown.find("maximumValue"), std::string::npos) << "it lists its own";
    EXPECT_NE(unknown.find("backgroundColor"), std::string::npos) << "and its base's";
    EXPECT_EQ(
        failure(R"({"objects": [{"class": "UIView", "frame": [1, 2, 3]}]})"),
        "Test: line 1: objects[0] (UIView): property \"frame\": expected [x, y, width, height]");
    EXPECT_NE(failure(R"({"objects": [{"class": "UIView", "backgroundColor": "#12"}]})")
                  .find("expected a colour"),
              std::string::npos);
    EXPECT_NE(failure(R"({"objects": [{"class": "UIView", "contentMode": "fit"}]})")
                  .find("expected one of \"scaleToFill\""),
              std::string::npos);
    EXPECT_NE(failure(R"({"objects": [{"class": "UIButton", "states": {"pressed": {}}}]})")
                  .find("state \"pressed\""),
              std::string::npos);
    EXPECT_EQ(failure(R"({"objects": [{"class": "UIView", "outlet": "tilte"}]})"),
              "Test: line 1: objects[0] (UIView): no outlet \"tilte\" (its outlets: panel, "
              "slider, title)");
    EXPECT_EQ(failure(R"({"objects": [{"class": "UIView", "outlet": "title"}]})"),
              "Test: line 1: objects[0] (UIView): outlet \"title\" does not take a view of this "
              "class");
    EXPECT_EQ(
        failure(R"({"objects": [{"class": "UILabel", "actions": {"touchUpInside": "apply:"}}]})"),
        "Test: line 1: objects[0] (UILabel): \"actions\" on a view that is not a control");
    EXPECT_NE(failure(R"({"objects": [{"class": "UIButton", "actions": {"tap": "apply:"}}]})")
                  .find("unknown control event \"tap\""),
              std::string::npos);
    EXPECT_EQ(failure(R"({"objects": [{"class": "UIButton", "actions": {"touchDown": "save:"}}]})"),
              "Test: line 1: objects[0] (UIButton): no action \"save:\" (actions: apply:)");
}

TEST_F(InterfaceBuildTest, CollectionViewsCarryTheirCellsInPlace) {
    auto views = build(R"({ "objects": [
      { "class": "UICollectionView", "frame": [0, 0, 320, 100],
        "layout": { "itemSize": [80, 100], "scrollDirection": "horizontal" },
        "cells": { "filterCell": { "class": "UICollectionViewCell", "subviews": [
            { "class": "UIImageView", "tag": 998, "frame": [0, 0, 80, 80] },
            { "class": "UIImageView", "tag": 999, "frame": [0, 80, 80, 20] } ] } } } ] })",
                       &owner);
    ASSERT_EQ(views.size(), 1u) << error;
    auto collection = std::dynamic_pointer_cast<UICollectionView>(views[0]);
    ASSERT_TRUE(collection);
    auto first = collection->dequeueReusableCellWithReuseIdentifier("filterCell", {0, 0});
    auto second = collection->dequeueReusableCellWithReuseIdentifier("filterCell", {0, 1});
    ASSERT_TRUE(first && second);
    EXPECT_NE(first, second);
    auto thumbnail = first->viewWithTag(998);
    ASSERT_TRUE(thumbnail);
    EXPECT_EQ(thumbnail->superview(), first->contentView());
    EXPECT_TRUE(std::dynamic_pointer_cast<UIImageView>(first->viewWithTag(999)));

    EXPECT_NE(failure(R"({"objects": [{"class": "UICollectionView",
                         "cells": {"Cell": {"class": "NoSuchCell"}}}]})")
                  .find("cell \"Cell\": unknown class \"NoSuchCell\""),
              std::string::npos)
        << error;
}

TEST_F(InterfaceBuildTest, AMissingImageIsLoggedAndTheViewStillBuilt) {
    log::CaptureScope log;
    auto views =
        build(R"({"objects": [{"class": "UIImageView", "image": "no-such-picture"}]})", &owner);
    ASSERT_EQ(views.size(), 1u) << error;
    EXPECT_TRUE(log.contains("no-such-picture")) << ::testing::PrintToString(log.messages());
}

TEST_F(InterfaceBuildTest, OutletsWithoutAnOwnerAreAMistake) {
    log::CaptureScope quiet;
    auto nib = UINib::nibWithText(R"({"objects": [{"class": "UILabel", "outlet": "title"}]})", "T");
    EXPECT_TRUE(nib->instantiateWithOwner(nullptr, &error).empty());
    EXPECT_NE(error.find("loaded without an owner"), std::string::npos) << error;
}

}  // namespace
}  // namespace hx::testing

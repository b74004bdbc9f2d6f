#pragma once
// The widget's timeline entry: a title and the date it is shown from.

#include <string>

#include "platform/widgetkit/Timeline.h"

namespace hx {

struct SimpleEntry : TimelineEntry {
    std::string title;

    SimpleEntry(Date entryDate, std::string entryTitle)
        : TimelineEntry(entryDate), title(std::move(entryTitle)) {}
};

}  // namespace hx

#include "platform/intents/INIntent.h"

#include <atomic>
#include <cstdio>
#include <random>

namespace hx {

namespace {

std::string newIdentifier() {
    static std::atomic<unsigned> counter{0};
    static const unsigned long long start = std::random_device{}();
    char text[48];
    std::snprintf(text, sizeof text, "%016llX-%u", start, counter.fetch_add(1));
    return text;
}

}  // namespace

INIntent::INIntent() : identifier_(newIdentifier()) {}

INIntent::INIntent(const NSCoder& coder)
    : identifier_(coder.decodeObjectForKey("identifier").value_or(newIdentifier())) {}

void INIntent::encodeWithCoder(NSCoder& coder) const {
    coder.encodeObject(identifier_, "identifier");
    coder.encodeObject(intentClassName(), "class");
}

}  // namespace hx

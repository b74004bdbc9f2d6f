#pragma once
// The base of every intent: a request a widget is configured with, or an action a person can
// ask a program for. Subclasses add their parameters and write them in encodeWithCoder.
//
// Threads: a value; one thread at a time.

#include <memory>
#include <string>

#include "platform/intents/NSCoder.h"

namespace hx {

class INIntent {
  public:
    INIntent();
    explicit INIntent(const NSCoder& coder);  // initWithCoder:
    virtual ~INIntent() = default;

    // A name unique to this intent object, kept through an archive.
    const std::string& identifier() const { return identifier_; }
    // The class's name, as intents are told apart by the programs that handle them.
    virtual std::string intentClassName() const { return "INIntent"; }

    virtual void encodeWithCoder(NSCoder& coder) const;

  private:
    std::string identifier_;
};

}  // namespace hx

#pragma once
// What every library object has: a local identifier that stays the same for the object's whole
// life and names it in fetches, change requests and change details. Objects are snapshots:
// they never change after they are made; a fetch made later gives the newer state.
//
// Threads: immutable, so any thread may read one.

#include <memory>
#include <string>

namespace hx::photos {

class Object {
  public:
    virtual ~Object() = default;
    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;

    const std::string& localIdentifier() const { return localIdentifier_; }

  protected:
    explicit Object(std::string localIdentifier) : localIdentifier_(std::move(localIdentifier)) {}

  private:
    std::string localIdentifier_;
};
using ObjectRef = std::shared_ptr<const Object>;

// Stands for an asset or album that a change request is creating, so that the same change
// block can refer to it (adding a new asset to an album, say) before it exists. After the
// change is committed, its identifier fetches the new object.
class ObjectPlaceholder final : public Object {
  public:
    explicit ObjectPlaceholder(std::string localIdentifier) : Object(std::move(localIdentifier)) {}
};
using ObjectPlaceholderRef = std::shared_ptr<const ObjectPlaceholder>;

}  // namespace hx::photos

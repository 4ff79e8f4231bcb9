#include "motion/joint.h"

#include <utility>
#include <vector>

Joint::Joint(std::string name) : name_(std::move(name)) {}

// Unlinks the whole subtree into a flat list first, so that no destructor below runs with a
// child or sibling still attached: a chain of a million joints would otherwise recurse a
// million times and overflow the stack.
Joint::~Joint() {
    std::vector<std::unique_ptr<Joint>> pending;
    if (firstChild_)
        pending.push_back(std::move(firstChild_));
    if (nextSibling_)
        pending.push_back(std::move(nextSibling_));
    while (!pending.empty()) {
        std::unique_ptr<Joint> joint = std::move(pending.back());
        pending.pop_back();
        if (joint->firstChild_)
            pending.push_back(std::move(joint->firstChild_));
        if (joint->nextSibling_)
            pending.push_back(std::move(joint->nextSibling_));
        joint->lastChild_ = nullptr;
    }
}

void Joint::appendChild(std::unique_ptr<Joint> child) {
    Joint* added = child.get();
    if (!firstChild_) {
        firstChild_ = std::move(child);
    } else {
        lastChild_->nextSibling_ = std::move(child);
    }
    lastChild_ = added;
}

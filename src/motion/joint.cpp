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

std::unique_ptr<Joint> copySkeleton(const Joint& root) {
    auto copyOne = [](const Joint& joint) {
        auto copy = std::make_unique<Joint>(joint.name());
        copy->setOffset(joint.offset()[0], joint.offset()[1], joint.offset()[2]);
        copy->setChannels(joint.channels());
        return copy;
    };
    std::unique_ptr<Joint> top = copyOne(root);
    // Pairs of a joint whose children are still to be copied and its copy; children are
    // appended in file order, so each copy keeps the order of the original.
    std::vector<std::pair<const Joint*, Joint*>> pending{{&root, top.get()}};
    while (!pending.empty()) {
        const auto [original, copy] = pending.back();
        pending.pop_back();
        for (const Joint* child = original->firstChild(); child != nullptr;
             child = child->nextSibling()) {
            std::unique_ptr<Joint> childCopy = copyOne(*child);
            childCopy->setParent(copy);
            pending.emplace_back(child, childCopy.get());
            copy->appendChild(std::move(childCopy));
        }
    }
    return top;
}

#include "view/view_options.h"

const ViewOptionRow* viewOptionRow(int n) {
    for (const ViewOptionRow& row : kViewOptions) {
        if (row.option == n)
            return &row;
    }
    return nullptr;
}

ViewOptions::ViewOptions() {
    for (const ViewOptionRow& row : kViewOptions)
        flags_.set(static_cast<std::size_t>(row.option), row.initially);
}

bool ViewOptions::on(int n) const {
    return viewOptionRow(n) != nullptr && flags_.test(static_cast<std::size_t>(n));
}

void ViewOptions::set(int n, bool on) {
    if (viewOptionRow(n) != nullptr)
        flags_.set(static_cast<std::size_t>(n), on);
}

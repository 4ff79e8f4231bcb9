#include "app/file_chooser.h"

#include <FL/Fl.H>
#include <FL/Fl_File_Chooser.H>
#include <FL/Fl_File_Input.H>
#include <FL/Fl_Window.H>

#include <cstdlib>
#include <string>

namespace {

// The chooser's name field, whose own callback (FLTK's completion and folder changes) runs after
// the typed text was made a full path: left to itself it takes a relative name under the
// process's working folder and a name at the root ("/" itself) for the list of file systems.
struct NameField {
    Fl_File_Chooser* chooser = nullptr;
    Fl_Callback* chooserCallback = nullptr;
    void* chooserData = nullptr;
};

std::string homeFolder() {
    const char* home = std::getenv("HOME");
    return home != nullptr ? home : "";
}

// The path a name typed into the chooser stands for: `typed` itself when absolute (or empty, or
// while no folder is shown), under `home` for "~" and "~/...", else under `folder`.
std::string typedPath(const std::string& typed, const std::string& folder,
                      const std::string& home) {
    if (typed.empty() || typed[0] == '/')
        return typed;
    if (typed[0] == '~' && (typed.size() == 1 || typed[1] == '/'))
        return home + typed.substr(1);
    if (folder.empty())
        return typed;
    return folder + (folder.back() == '/' ? "" : "/") + typed;
}

Fl_File_Input* findNameInput(Fl_Group& group) {
    for (int i = 0; i < group.children(); ++i) {
        Fl_Widget* child = group.child(i);
        if (auto* input = dynamic_cast<Fl_File_Input*>(child))
            return input;
        if (Fl_Group* inner = child->as_group())
            if (Fl_File_Input* input = findNameInput(*inner))
                return input;
    }
    return nullptr;
}

void nameEdited(Fl_Widget* widget, void* data) {
    const NameField& field = *static_cast<NameField*>(data);
    auto* input = static_cast<Fl_Input*>(widget);
    const std::string shown = field.chooser->directory();
    const std::string path = typedPath(input->value(), shown, homeFolder());
    if (!path.empty() && path.rfind('/') == 0 && shown != "/")
        field.chooser->directory("/");  // rewrites the field, which is set again below
    if (path != input->value()) {
        input->value(path.c_str());
        input->position(static_cast<int>(path.size()));
    }
    field.chooserCallback(widget, field.chooserData);
}

// One chooser for the whole run, so that it opens again where the user left it.
Fl_File_Chooser& sharedChooser(const char* title, const char* pattern) {
    static NameField field;
    if (field.chooser == nullptr) {
        field.chooser = new Fl_File_Chooser(".", pattern, Fl_File_Chooser::CREATE, title);
        Fl_Window* window = field.chooser->newButton->window();
        if (Fl_File_Input* input = window ? findNameInput(*window) : nullptr) {
            field.chooserCallback = input->callback();
            field.chooserData = input->user_data();
            input->callback(nameEdited, &field);
        }
    }
    return *field.chooser;
}

}  // namespace

const char* chooseFileName(const char* title, const char* pattern, const char* preset) {
    static std::string chosen;
    Fl_File_Chooser& chooser = sharedChooser(title, pattern);
    chooser.label(title);
    chooser.filter(pattern);
    if (preset != nullptr && preset[0] != '\0') {
        chooser.value(preset);
    } else {
        const std::string folder = chooser.directory();
        chooser.directory(folder.c_str());  // shows it anew, the field holding the folder alone
    }
    chooser.show();
    while (chooser.shown())
        Fl::wait();
    const char* value = chooser.value();
    if (value == nullptr)
        return nullptr;
    chosen = typedPath(value, chooser.directory(), homeFolder());
    return chosen.c_str();
}
